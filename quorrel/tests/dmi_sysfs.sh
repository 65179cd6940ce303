#!/bin/sh
# Runs the DMI sheet's end-to-end test in a private mount namespace whose
# /sys/class/dmi/id holds known firmware values: Wine builds the SMBIOS table
# it hands out from those files. Exits 77 (skipped) when no namespace can be
# made here.
# Usage: dmi_sysfs.sh <wine runner> <test program>
runner=$1
program=$2
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
id=$dir/dmi/id
mkdir -p "$id"
printf '%s\n' "Fenmoor Firmware Works" >"$id/bios_vendor"
printf '%s\n' "FW 7.31" >"$id/bios_version"
printf '%s\n' "02/29/2024" >"$id/bios_date"
printf '%s\n' "Fenmoor Instruments" >"$id/sys_vendor"
printf '%s\n' "Larkspur 9" >"$id/product_name"
printf '%s\n' "1.0" >"$id/product_version"
printf '%s\n' "LK9-000314" >"$id/product_serial"
printf '%s\n' "Fenmoor Instruments" >"$id/board_vendor"
printf '%s\n' "LK9 Mainboard" >"$id/board_name"
printf '%s\n' "Fenmoor Instruments" >"$id/chassis_vendor"
printf '%s\n' "10" >"$id/chassis_type"
unshare -m true 2>/dev/null || exit 77
export HALVIX_DMI_FAKE_SYSFS=1
unshare -m sh -c 'mount --bind "$1" /sys/class && exec "$2" "$3" --gtest_brief=1 --gtest_filter=DmiSheet.*' \
  sh "$dir" "$runner" "$program"
