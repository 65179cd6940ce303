#!/usr/bin/env bash
# Runs a test program (through the given Wine wrapper) with a small disk of
# its own that the test may fill: a 16 MB tmpfs with 512 file entries on a
# folder of its own under $TMPDIR, given to the test in HALVIX_SMALL_DISK.
# It is mounted where the Wine server sees it (the server resolves every
# file name with realpath, which a path into another mount namespace does
# not survive) and taken away when the program ends, or, should this script
# be killed, by a watcher once it is gone. Without the rights to mount (not
# root) the program runs without the disk and the tests that need it skip.
# Usage: with_small_disk.sh <wine-test> <program> [args...]
set -u
runner=$1
shift
point=$(mktemp -d "${TMPDIR:-/tmp}/small-disk.XXXXXX")
cleanup() {
  umount -l "$point" 2>/dev/null
  rmdir "$point" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

if mount -t tmpfs -o size=16m,nr_inodes=512,mode=0777 halvix-small-disk "$point" 2>/dev/null; then
  export HALVIX_SMALL_DISK=$point
  # A watcher of its own session, apart from the test's pipes.
  setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; umount -l "$2"; rmdir "$2"' \
    small-disk-watch "$$" "$point" </dev/null >/dev/null 2>&1 &
else
  echo "with_small_disk.sh: no small disk could be mounted; its tests skip" >&2
fi
"$runner" "$@"
