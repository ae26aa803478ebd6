#!/bin/sh
# Runs a command with drive R: of the Wine prefix mapped to a 2 MB tmpfs, so
# that the full-disk cases have a drive to fill. Where mounting is not allowed
# the command runs without it and those cases skip. The mount goes again
# whatever the command's outcome.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
prefix="${SETUP_WINEPREFIX:-$root/build/wine}"
[ -d "$prefix/dosdevices" ] || "$root/scripts/wine-prefix.sh" >/dev/null
mountpoint=$(mktemp -d "${TMPDIR:-/tmp}/setup-small-drive.XXXXXX")
link="$prefix/dosdevices/r:"
linked=
cleanup() {
  [ -n "$linked" ] && rm -f "$link"
  if mountpoint -q "$mountpoint"; then umount "$mountpoint" 2>/dev/null || umount -l "$mountpoint"; fi
  rmdir "$mountpoint"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
if [ -e "$link" ] || [ -L "$link" ]; then
  echo "with_small_drive: drive R: is taken in $prefix; the full-disk cases skip" >&2
elif mount -t tmpfs -o size=2m setup-small-drive "$mountpoint" 2>/dev/null; then
  ln -s "$mountpoint" "$link" && linked=1
  SETUP_SMALL_DRIVE='R:'
  export SETUP_SMALL_DRIVE
else
  echo "with_small_drive: mounting a tmpfs is not allowed here; the full-disk cases skip" >&2
fi
"$@"
