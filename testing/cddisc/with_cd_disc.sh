#!/usr/bin/env bash
# Runs a test program (through the given Wine wrapper) with a folder that
# stands for a data CD: a 6,000,000-byte test file where the control looks
# first (testdata\test6\test1.dat) and a few small files beside it; and a
# second folder without a test file whose two links lead back to itself.
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
"$runner" "$@"
