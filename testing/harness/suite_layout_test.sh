#!/usr/bin/env bash
# The build's layout: the programs, controls and libraries of the suite lie
# in <build>/suite, where they find each other and the tests start them, and
# none of them among the test programs in <build>/tests, wherever the
# checkout lies.
# Usage: suite_layout_test.sh <build directory>
build=$1
failures=0
for f in halvix.exe runvek.exe Runvek.dll zentrel.mod ZENTREL.OCX MODEM.OCX QUORREL.OCX ombrix.dll whet.dll \
  netrick.exe Tamblet.MOD; do
  [ -f "$build/suite/$f" ] || { echo "FAILED: $f is not in the suite"; failures=$((failures + 1)); }
  [ -e "$build/tests/$f" ] && { echo "FAILED: $f is among the test programs"; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ] || exit 1
echo "the suite lies in $build/suite"
