#!/usr/bin/env bash
# Runs the network and CD-ROM categories' end-to-end tests in a Wine prefix
# of their own, a linked copy of the pool's template, with what the pool's
# prefixes lack:
# - drive R: is a CD-ROM drive: a directory with a volume label and a serial
#   number of ours, declared in HKLM\Software\Wine\Drives before the
#   prefix's server starts (Wine reads its drive types when its server
#   starts);
# - a network provider of ours (halvixnp.dll beside the test program) is
#   registered, which reports three connected drives.
# The copy, and the server and programs running in it, are removed again
# whatever the tests do.
# Usage: own_prefix.sh <wine runner> <test program>
runner=$1
program=$2
source "$(dirname "$runner")/common.sh"
wine_tools
source "$(dirname "$0")/linked_prefix.sh"
make_own_prefix || exit 1

label=HALVIX_CD
serial=1A2B3C
disc=$work/disc
mkdir -p "$disc/DATA"
printf '%s\n' "$label" >"$disc/.windows-label"
printf '%s\n' "$serial" >"$disc/.windows-serial"
printf 'a file on the disc\n' >"$disc/DATA/README.TXT"
rm -f "$WINEPREFIX/dosdevices/r:" "$WINEPREFIX/dosdevices/r::"
ln -s "$disc" "$WINEPREFIX/dosdevices/r:"
# The test's own copy of the suite, as every test of the pool runs from.
program=$(run_program "$program" make) || exit 1
dir=$(cd "$(dirname "$program")" && pwd)
provider="Z:${dir//\//\\}\\halvixnp.dll"
[ -f "$dir/halvixnp.dll" ] || { echo "no $dir/halvixnp.dll"; exit 1; }
# Written into the copy's registry file before any Wine program starts in
# it: the prefix's server reads the drive type when it starts, and no
# regedit run (a server started and ended once more) is needed. The file's
# own format: key names and strings with their backslashes doubled.
stamp=$(date +%s)
cat >>"$WINEPREFIX/system.reg" <<REG || exit 1

[Software\\\\Wine\\\\Drives] $stamp
"r:"="cdrom"

[System\\\\CurrentControlSet\\\\Control\\\\NetworkProvider\\\\Order] $stamp
"ProviderOrder"="HalvixNet"

[System\\\\CurrentControlSet\\\\Services\\\\HalvixNet\\\\NetworkProvider] $stamp
"Name"="Halvix Test Network"
"ProviderPath"="${provider//\\/\\\\}"
REG

unset CTEST_RESOURCE_GROUP_0_WINEPREFIX
export HALVIX_CDROM_DRIVE=R HALVIX_CDROM_LABEL=$label HALVIX_CDROM_SERIAL=$serial
export HALVIX_NET_PROVIDER="Halvix Test Network"
"$runner" "$program" --gtest_brief=1 --gtest_filter='CdromServer.*:NetworkServer.*'
