#!/usr/bin/env bash
# Runs a test program (through the given Wine wrapper) with folders for the
# drives it defines: a scratch folder, a full file system and two read-only
# ones (with and without the test folder). The small file systems are tmpfs
# mounts, made only when this user may mount; without them the test skips
# what needs them.
# Usage: with_small_volumes.sh <wine-test> <program> [args...]
set -u
runner=$1
shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/fenwold-volumes.XXXXXX")
mounts=()
cleanup() {
  local m
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null; done
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

mkdir -p "$dir/scratch" "$dir/scratch2" "$dir/full" "$dir/readonly" "$dir/readonly-bare"
export FENWOLD_SCRATCH_DIR=$dir/scratch FENWOLD_SCRATCH2_DIR=$dir/scratch2
if mount -t tmpfs -o size=1m tmpfs "$dir/full" 2>/dev/null; then
  mounts+=("$dir/full")
  # Fill it to the last block.
  dd if=/dev/zero of="$dir/full/filler" bs=4k >/dev/null 2>&1
  export FENWOLD_FULL_DIR=$dir/full
fi
if mount -t tmpfs -o size=1m tmpfs "$dir/readonly" 2>/dev/null; then
  mounts+=("$dir/readonly")
  mkdir "$dir/readonly/DISKTEST"
  mount -o remount,ro "$dir/readonly" 2>/dev/null && export FENWOLD_READONLY_DIR=$dir/readonly
fi
# A read-only one without the test folder.
if mount -t tmpfs -o size=1m,ro tmpfs "$dir/readonly-bare" 2>/dev/null; then
  mounts+=("$dir/readonly-bare")
  export FENWOLD_READONLY_BARE_DIR=$dir/readonly-bare
fi
"$runner" "$@"
