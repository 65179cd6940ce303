#!/usr/bin/env bash
# Runs the modem category's end-to-end test with COM ports of the test's
# Wine prefix backed by pseudo-terminals: COM5 answers as a modem (the
# simulator of testing/modemsim with modem/modem.json), COM6 to COM8 are
# silent, and COM9, the last port, has a second modem (modem/lastport.json).
# The simulator started here is stopped, and the prefix's own links of
# the ports are put back, whatever the test does.
# Usage: modem_ports.sh <wine runner> <test program> <modemsim.py>
runner=$1
program=$2
sim=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$(dirname "$runner")/common.sh"

source "$(dirname "$sim")/com_ports.sh"

# One simulator process serves the five ports, each with a copy of its
# profile as the file it watches.
sims=()
port_sim() {  # port profile
  local body
  IFS= read -rd '' body <"$2"
  printf '%s' "$body" >"$work/sim-$1.json"
  sims+=(--port "$work/sim-$1.json" "$dev/$1" "$work/$1.ready" "$work/$1.log")
}
port_sim com5 "$here/modem/modem.json"
port_sim com6 "$here/modem/silent.json"
port_sim com7 "$here/modem/silent.json"
port_sim com8 "$here/modem/silent.json"
port_sim com9 "$here/modem/lastport.json"
com_port_take com5 com6 com7 com8 com9
com_peer_start python3 "$sim" "${sims[@]}" --lifetime 600
com_ports_ready com5 com6 com7 com8 com9 || { echo "the modem simulators did not start"; exit 1; }

export HALVIX_MODEM_PORTS=1
"$runner" "$program" --gtest_brief=1 || exit 1

# What the ports heard: the category probed each once (ATZ, twice on a
# silent port, and then no more) and its second request asked the modem
# again without ATZ; the summary probes always.
count() { grep -cx "$1" "$work/$2.log" 2>/dev/null; }
fail=0
expect() {  # what port count
  local n
  n=$(count "$1" "$2")
  if [ "${n:-0}" != "$3" ]; then
    echo "$2 received \"$1\" ${n:-0} times, expected $3"
    fail=1
  fi
}
expect ATZ com5 2
expect ATI3 com5 2
expect ATI6 com5 2
expect ATZ com6 4
expect ATZ com7 4
expect ATZ com8 4
expect ATZ com9 2
expect ATI3 com9 2
[ $fail = 0 ] && echo "the simulated ports heard what they should"
exit $fail
