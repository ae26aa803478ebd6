#!/usr/bin/env bash
# The packer when its output cannot be written whole, and when it is stopped:
#   full_disk_test.sh native MKSETUP STUB     both cases
#   full_disk_test.sh wine MKSETUP.EXE STUB   the full disk, under Wine
# A package larger than a 4 MB tmpfs ends with exit 4, a message naming the
# file and the bytes missing, and no temporary left; a run stopped by SIGTERM
# while packing leaves no temporary either.
set -uo pipefail
mode=$1 mksetup=$(realpath -m "$2") stub=$(realpath -m "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ ! -f "$stub" ]; then
  [ -n "${SETUP_REQUIRE_DIST:-}" ] && fail "missing $stub"
  echo "SKIP: no $stub yet (make builds it)"; exit 77
fi
work=$(mktemp -d)
mnt=$work/small
mkdir "$mnt"
cleanup() {
  [ -n "${pid:-}" ] && kill -KILL "$pid" 2>/dev/null
  mountpoint -q "$mnt" && umount "$mnt"
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

mkdir files
head -c 2600000 /dev/urandom >files/random.bin
printf '%s\r\n' 'action=path,PgmPath=*Programs*\Full\,Registry=Brumo\Full,Version=1,Lng=EN' \
  'action=save,Source=files/random.bin,Filename=*PgmPath*\random.bin' >full.pkg

if [ "$mode" = native ]; then
  # Stopped while packing: the spool exists, then SIGTERM.
  head -c 24000000 /dev/urandom | base64 >files/large.txt
  printf '%s\r\n' 'action=path,PgmPath=*Programs*\Stop\,Registry=Brumo\Stop,Version=1,Lng=EN' \
    'action=save,Source=files/large.txt,Filename=*PgmPath*\large.txt' >stop.pkg
  "$mksetup" build stop.pkg -o stop.exe --stub "$stub" --quiet --jobs 1 --level 12 &
  pid=$!
  for _ in $(seq 400); do [ -e stop.exe.mksetup-payload ] || ! kill -0 "$pid" 2>/dev/null && break; sleep 0.05; done
  [ -e stop.exe.mksetup-payload ] || fail "no stop.exe.mksetup-payload within 20 s"
  # Frozen with its temporary in place (compressing 32 MB takes seconds), then stopped.
  kill -STOP "$pid"
  [ -e stop.exe.mksetup-payload ] || fail "the build ended before it could be stopped"
  kill -TERM "$pid"
  kill -CONT "$pid"
  wait "$pid"
  status=$?
  pid=
  [ "$status" = 143 ] || fail "the stopped build ended with $status, not by SIGTERM"
  left=$(ls -A | grep '^stop\.exe')
  [ -z "$left" ] || fail "a stopped build left: $left"
fi

if ! mount -t tmpfs -o size=4m setup-full-disk "$mnt" 2>/dev/null; then
  echo "SKIP: cannot mount a tmpfs here (needs root)"; exit 77
fi
if [ "$mode" = native ]; then
  "$mksetup" build full.pkg -o "$mnt/out.exe" --stub "$stub" --quiet >out.txt 2>err.txt
  status=$?
  out=$mnt/out.exe
else
  winpath() { echo "Z:${1//\//\\}"; }
  "$root/scripts/wine-run.sh" "$mksetup" build "$(winpath "$work/full.pkg")" -o "$(winpath "$mnt/out.exe")" \
    --stub "$(winpath "$stub")" --quiet >out.txt 2>err.txt
  status=$?
  out=$(winpath "$mnt/out.exe")
fi
[ "$status" = 4 ] || fail "a full disk ended with $status, not 4: $(cat err.txt)"
tr -d '\r' <err.txt | grep -Fq "mksetup: cannot write $out.mksetup-" \
  && tr -d '\r' <err.txt | grep -Eq ": the disk is full: at least [1-9][0-9]* more bytes are needed$" \
  || fail "no clear message: $(cat err.txt)"
[ -z "$(ls -A "$mnt")" ] || fail "a full disk left: $(ls -A "$mnt")"
echo "full disk ($mode): exit 4, $(cat err.txt), nothing left: OK"
