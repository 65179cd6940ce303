#!/usr/bin/env bash
# Runs the FullDrive tests on a small drive of their own: a file system in
# memory (8 MB, 64 files at most) mounted in a private mount namespace, so
# that no other program sees it and it goes with the tests. Wine's server
# opens and renames the files of its programs, so it has to run in that
# namespace as well: the tests get a Wine prefix of their own (see
# linked_prefix.sh) whose server starts there. Exits 77 (skipped) when no
# namespace or mount can be made here.
# Usage: full_drive.sh <wine runner> <test program>
runner=$1
program=$2
source "$(dirname "$runner")/common.sh"
wine_tools
source "$(dirname "$0")/linked_prefix.sh"
unshare -m true 2>/dev/null || exit 77
make_own_prefix || exit 1
# The test's own copy of the suite, as every test of the pool runs from.
program=$(run_program "$program" make) || exit 1
drive=$work/drive
mkdir -p "$drive" || exit 1
unset CTEST_RESOURCE_GROUP_0_WINEPREFIX
export HALVIX_FULL_DRIVE="Z:${drive//\//\\}"
unshare -m bash -c '
  mount -t tmpfs -o size=8m,nr_inodes=64 halvix-full "$1" || exit 77
  "$2" "$3" --gtest_brief=1 --gtest_filter="FullDrive.*"
  status=$?
  "$WINESERVER" -k 2>/dev/null
  exit $status' bash "$drive" "$runner" "$program"
