#!/usr/bin/env bash
# Runs a test program (through the given Wine wrapper) with a folder that
# stands for a data CD: a 6,000,000-byte test file where the control looks
# first (testdata\test6\test1.dat) and a few small files beside it; a
# second folder without a test file whose two links lead back to itself; a
# third whose large files have names that cannot be opened as they are
# listed (a final dot, a final blank, characters outside the ANSI code page)
# beside one good file; and a fourth whose only large file has such a name.
# The test defines a CD-ROM drive of its prefix over these folders.
# Usage: with_cd_disc.sh <wine-test> <program> [args...]
set -u
runner=$1
shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/cdrom-disc.XXXXXX")
cleanup() { rm -rf "$dir"; }
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

mkdir -p "$dir/disc/testdata/test6" "$dir/disc/docs"
head -c 6000000 /dev/urandom >"$dir/disc/testdata/test6/test1.dat"
echo "Halvix test disc" >"$dir/disc/readme.txt"
head -c 4096 /dev/urandom >"$dir/disc/docs/small.bin"
export CDROM_DISC_DIR=$dir/disc

mkdir -p "$dir/loops/docs"
echo "Halvix looping disc" >"$dir/loops/readme.txt"
head -c 4096 /dev/urandom >"$dir/loops/docs/small.bin"
ln -s . "$dir/loops/again"
ln -s . "$dir/loops/more"
export CDROM_LOOP_DISC_DIR=$dir/loops

# Files of 5,000,000 bytes (as sparse files where they are never read).
mkdir -p "$dir/names/data" "$dir/badname"
for name in "x.bin." "y.bin " "$(printf '\346\226\207\345\255\227.bin')"; do
  truncate -s 5000000 "$dir/names/$name"
done
head -c 5000000 /dev/urandom >"$dir/names/data/good.bin"
export CDROM_NAMES_DISC_DIR=$dir/names
truncate -s 5000000 "$dir/badname/x.bin."
export CDROM_BADNAME_DISC_DIR=$dir/badname
"$runner" "$@"
