#!/usr/bin/env bash
# Signed installers with a throwaway certificate (made here; no key is kept)
# and osslsigncode:
#   signing_test.sh native MKSETUP STUB   a signed stub given to the packer, the
#                                         finished installer signed after and by --sign
#   signing_test.sh wine MKSETUP.EXE SETUP.EXE
#                                         the signed installer under Wine: verified,
#                                         installed unattended, its uninstall.exe a
#                                         well-formed unsigned PE; a flipped payload
#                                         byte ends in the data error, nothing written
set -uo pipefail
mode=$1 mksetup=$2 stub=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in osslsigncode openssl; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
if [ ! -f "$stub" ]; then
  [ -n "${SETUP_REQUIRE_DIST:-}" ] && fail "missing $stub"
  echo "SKIP: no $stub yet (make builds it)"; exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Setup signing test" >/dev/null 2>&1 || fail "openssl could not make a certificate"
sign() { osslsigncode sign -certs cert.pem -key key.pem -n "Setup test" -in "$1" -out "$2" >/dev/null || fail "osslsigncode sign $1"; }
verify_signed() {
  osslsigncode verify -CAfile cert.pem -in "$1" >verify.txt 2>&1 || { cat verify.txt >&2; fail "osslsigncode verify $1"; }
  grep -q "Signature verification: ok" verify.txt || fail "$1: no verified signature"
}
# An unsigned file: osslsigncode finds no signature and no checksum problem.
check_unsigned_pe() {
  osslsigncode verify -in "$1" >verify.txt 2>&1 && fail "$1 verifies as signed"
  grep -q "No signature found" verify.txt || { cat verify.txt >&2; fail "$1: osslsigncode does not call it unsigned"; }
  grep -qi "mismatch\|invalid\|corrupt" verify.txt && { cat verify.txt >&2; fail "$1: osslsigncode complains"; }
  # A correct field is printed once ("PE checksum"); a wrong one as "Current"
  # beside "Calculated", with a warning.
  checksum=$(sed -n 's/^PE checksum *: *//p' verify.txt)
  [ -n "$checksum" ] && [ "$checksum" != 00000000 ] || { cat verify.txt >&2; fail "$1: checksum not right"; }
  x86_64-w64-mingw32-objdump -p "$1" >headers.txt || fail "objdump $1"
  grep -Eq "^Entry 4 0+ 0+ Security Directory" headers.txt || fail "$1: security directory not empty"
}

mkdir files
head -c 40000 /dev/urandom >files/b.bin
yes "signed installer test line" | head -n 3000 >files/a.txt
printf '%s\r\n' \
  'action=path,PgmPath=*Programs*\SigningTest\,Registry=Brumo\SigningTest,Version=1.0,Lng=EN' \
  'action=save,Source=files/a.txt,Filename=*PgmPath*\a.txt' \
  'action=save,Source=files/b.bin,Filename=*PgmPath*\b.bin' \
  'action=uninst,pgm=*PgmPath*\uninstall.exe,param=/uninst,name=SigningTest' >test.pkg

if [ "$mode" = native ]; then
  # A signed stub: the packer drops the signature and says so; the result
  # is unsigned, well-formed and signs like any other installer.
  sign "$stub" stub-signed.exe
  verify_signed stub-signed.exe
  "$mksetup" build test.pkg -o packed.exe --stub stub-signed.exe --quiet 2>err.txt || fail "build with a signed stub"
  grep -q "is signed; its signature (.* bytes of certificate) is removed" err.txt || fail "no word of the removed signature: $(cat err.txt)"
  check_unsigned_pe packed.exe
  "$mksetup" verify packed.exe | grep -q "installer OK: not signed" || fail "verify packed.exe"
  sign packed.exe packed-signed.exe
  verify_signed packed-signed.exe
  "$mksetup" verify packed-signed.exe | grep -q "installer OK: signed, [0-9]* bytes of certificate" || fail "verify packed-signed.exe"
  # Signed in one step.
  "$mksetup" build test.pkg -o one-step.exe --stub "$stub" --quiet \
    --sign "osslsigncode sign -certs cert.pem -key key.pem -in {} -out {}.tmp && mv {}.tmp {}" >/dev/null 2>err.txt \
    || fail "build --sign: $(cat err.txt)"
  verify_signed one-step.exe
  [ -z "$(ls | grep -E 'signing|tmp|partial')" ] || fail "left behind: $(ls)"
  echo "signed stub, signing after the build and --sign: OK"
  exit 0
fi

# wine: the Windows packer and Setup.exe of this build.
winpath() { echo "Z:${1//\//\\}"; }
wine_run() { "$root/scripts/wine-run.sh" "$@"; }
wine_run "$mksetup" build "$(winpath "$work/test.pkg")" -o "$(winpath "$work/Setup-Test.exe")" \
  --stub "$(winpath "$stub")" --quiet || fail "mksetup.exe build"
sign Setup-Test.exe signed.exe
verify_signed signed.exe
wine_run "$mksetup" verify "$(winpath "$work/signed.exe")" | tr -d '\r' | grep -q "installer OK: signed, [0-9]* bytes of certificate" \
  || fail "mksetup.exe verify signed.exe"

# One flipped byte in the middle of the payload: the data error, before any
# file, and the exit code of a damaged installer.
read -r offset size < <(wine_run "$mksetup" list "$(winpath "$work/signed.exe")" | tr -d '\r' | awk '$3 == "Section:Setup.bin" {print $1, $2}')
[ -n "${offset:-}" ] || fail "no payload section listed"
at=$((offset + 19 + 4 + size / 2))
cp signed.exe flipped.exe
byte=$(od -An -tu1 -j "$at" -N1 signed.exe | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 32)))" | dd of=flipped.exe bs=1 seek="$at" conv=notrunc status=none
wine_run flipped.exe /S "/D=$(winpath "$work/flipped")" 2>flipped-err.txt
status=$?
[ "$status" = 7 ] || fail "the flipped installer ended with $status, not 7"
[ ! -e "$work/flipped" ] || [ -z "$(ls -A "$work/flipped")" ] || fail "the flipped installer wrote: $(ls -A "$work/flipped")"

wine_run signed.exe /S "/D=$(winpath "$work/installed")" || fail "the signed installer failed"
cmp -s files/a.txt installed/a.txt && cmp -s files/b.bin installed/b.bin || fail "installed files differ"
[ -f installed/uninstall.exe ] || fail "no uninstall.exe"
check_unsigned_pe installed/uninstall.exe
wine_run "$mksetup" verify "$(winpath "$work/installed/uninstall.exe")" | tr -d '\r' | grep -q "uninstaller OK: not signed" \
  || fail "mksetup.exe verify uninstall.exe"
# Removal, which also leaves the prefix's registry as it was.
wine_run installed/uninstall.exe /S || fail "the uninstaller failed"
[ ! -e installed/a.txt ] || fail "the uninstaller left a.txt"
echo "signed installer: verified, installed, flipped byte refused, uninstall.exe unsigned with its checksum: OK"
