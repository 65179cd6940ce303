#!/usr/bin/env bash
# Runs the modem category's end-to-end test with two COM ports of the test's
# Wine prefix backed by pseudo-terminals: COM5 answers as a modem (the
# simulator of testing/modemsim with modem/modem.json), COM6 is silent.
# Every simulator started here is stopped, and the prefix's own COM5 and
# COM6 links are put back, whatever the test does.
# Usage: modem_ports.sh <wine runner> <test program> <modemsim.py>
runner=$1
program=$2
sim=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$(dirname "$runner")/common.sh"

prefix=$(ctest_prefix)
dev=$prefix/dosdevices
[ -d "$dev" ] || { echo "no Wine prefix at $prefix"; exit 1; }

work=$(mktemp -d) || exit 1
pids=()
saved=()
cleanup() {
  local pid port
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  for port in com5 com6; do
    if [ -f "$work/$port.saved" ]; then
      rm -f "$dev/$port"
      ln -s "$(cat "$work/$port.saved")" "$dev/$port"
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

start_sim() {  # port profile
  local port=$1 profile=$2
  [ -L "$dev/$port" ] && readlink "$dev/$port" >"$work/$port.saved"
  python3 "$sim" --profile "$profile" --link "$dev/$port" --ready "$work/$port.ready" \
    --log "$work/$port.log" --lifetime 600 &
  pids+=($!)
}
start_sim com5 "$here/modem/modem.json"
start_sim com6 "$here/modem/silent.json"
for _ in $(seq 100); do
  [ -f "$work/com5.ready" ] && [ -f "$work/com6.ready" ] && break
  sleep 0.1
done
[ -f "$work/com5.ready" ] && [ -f "$work/com6.ready" ] || { echo "the modem simulators did not start"; exit 1; }

export HALVIX_MODEM_PORTS=1
"$runner" "$program" --gtest_brief=1 || exit 1

# What the ports heard: the category probed each once (ATZ, twice on the
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
[ $fail = 0 ] && echo "the simulated ports heard what they should"
exit $fail
