#!/usr/bin/env bash
# Runs a modem test program with COM1 to COM9 of its Wine prefix in the
# hands of the test: each port has a modem simulator (testing/modemsim) on
# a pseudo-terminal whose profile is a file the test writes at run time
# (MODEMSIM_DIR/portN.json; "present": false takes the port away). Every
# simulator started here is stopped and the prefix's own port links are put
# back, whatever the test does.
# Usage: with_modems.sh <wine runner> <test program> <modemsim.py> [args...]
runner=$1
program=$2
sim=$3
shift 3
source "$(dirname "$runner")/common.sh"

# The prefix the runner picks for this test (see scripts/wine-test).
prefix=$(test_prefix)
dev=$prefix/dosdevices
[ -d "$dev" ] || { echo "no Wine prefix at $prefix"; exit 1; }

work=$(mktemp -d) || exit 1
chmod 755 "$work"
pids=()
cleanup() {
  local pid n
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  for n in 1 2 3 4 5 6 7 8 9; do
    rm -f "$dev/com$n"
    [ -f "$work/com$n.saved" ] && ln -s "$(cat "$work/com$n.saved")" "$dev/com$n"
  done
  rm -rf "$work"
}
trap cleanup EXIT

for n in 1 2 3 4 5 6 7 8 9; do
  [ -L "$dev/com$n" ] && readlink "$dev/com$n" >"$work/com$n.saved"
  # Not "comN.json": under Wine that name is the device COMN.
  echo '{"present": false, "serial": 0}' >"$work/port$n.json"
  python3 "$sim" --control "$work/port$n.json" --link "$dev/com$n" --ready "$work/port$n.ready" \
    --log "$work/port$n.log" --lifetime 1200 &
  pids+=($!)
done
for _ in $(seq 100); do
  ready=1
  for n in 1 2 3 4 5 6 7 8 9; do [ -f "$work/port$n.ready" ] || ready=0; done
  [ $ready = 1 ] && break
  sleep 0.1
done
[ $ready = 1 ] || { echo "the modem simulators did not start"; exit 1; }

# A test asks for a picture of the screen by writing its file name into
# shot.request; it lands beside the test program.
shooter() {
  while :; do
    if [ -f "$work/shot.request" ]; then
      name=$(cat "$work/shot.request")
      rm -f "$work/shot.request"
      command -v import >/dev/null && import -window root "$(dirname "$program")/$name" 2>/dev/null
      touch "$work/shot.done"
    fi
    sleep 0.2
  done
}
shooter &
pids+=($!)

export MODEMSIM_DIR=$work
"$runner" "$program" "$@"
