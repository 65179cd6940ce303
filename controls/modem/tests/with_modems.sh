#!/usr/bin/env bash
# Runs a modem test program with COM1 to COM9 of its Wine prefix in the
# hands of the test: each port has a modem simulator (testing/modemsim, one
# process for the nine) on a pseudo-terminal whose profile is a file the
# test writes at run time
# (MODEMSIM_DIR/portN.json; "present": false takes the port away). Every
# simulator started here is stopped and the prefix's own port links are put
# back, whatever the test does.
# Usage: with_modems.sh <wine runner> <test program> <modemsim.py> [args...]
runner=$1
program=$2
sim=$3
shift 3
source "$(dirname "$runner")/common.sh"

source "$(dirname "$sim")/com_ports.sh"
chmod 755 "$work"

ports=()
sims=()
for n in 1 2 3 4 5 6 7 8 9; do
  # Not "comN.json": under Wine that name is the device COMN.
  echo '{"present": false, "serial": 0}' >"$work/port$n.json"
  sims+=(--port "$work/port$n.json" "$dev/com$n" "$work/com$n.ready" "$work/port$n.log")
  ports+=("com$n")
done
com_port_take "${ports[@]}"
com_peer_start python3 "$sim" "${sims[@]}" --lifetime 1200
com_ports_ready "${ports[@]}" || { echo "the modem simulators did not start"; exit 1; }

# A test asks for a picture of the screen by writing its file name into
# shot.request; it lands beside the test program (its run copy).
shooter() {
  while :; do
    if [ -f "$work/shot.request" ]; then
      name=$(cat "$work/shot.request")
      rm -f "$work/shot.request"
      command -v import >/dev/null && import -window root "$(dirname "$(run_program "$program")")/$name" 2>/dev/null
      touch "$work/shot.done"
    fi
    com_sleep 0.2
  done
}
shooter &
com_pids+=($!)

export MODEMSIM_DIR=$work
"$runner" "$program" "$@"
