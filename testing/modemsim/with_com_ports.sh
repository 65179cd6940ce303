#!/usr/bin/env bash
# Runs a test program with COM ports of the test's Wine prefix set up as
# asked: backed by a pseudo-terminal with an echo peer (a loopback plug), by
# one with a silent peer, or not there at all. Every peer started here is
# stopped, and the prefix's own links are put back, whatever the test does.
# Usage: with_com_ports.sh <wine runner> <echopeer.py> <ports> <program> [args...]
#   <ports>: comma-separated com<n>=echo|silent|none, e.g. com1=echo,com3=none
runner=$1
peer=$2
ports=$3
shift 3
source "$(dirname "$runner")/common.sh"

prefix=$(ctest_prefix)
dev=$prefix/dosdevices
[ -d "$dev" ] || { echo "no Wine prefix at $prefix"; exit 1; }

work=$(mktemp -d) || exit 1
pids=()
names=()
cleanup() {
  local pid port
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  for port in "${names[@]}"; do
    rm -f "$dev/$port"
    [ -f "$work/$port.saved" ] && ln -s "$(cat "$work/$port.saved")" "$dev/$port"
  done
  rm -rf "$work"
}
trap cleanup EXIT

IFS=, read -ra specs <<<"$ports"
for spec in "${specs[@]}"; do
  port=${spec%%=*}
  kind=${spec#*=}
  names+=("$port")
  [ -L "$dev/$port" ] && readlink "$dev/$port" >"$work/$port.saved"
  rm -f "$dev/$port"
  case $kind in
    echo) python3 "$peer" --link "$dev/$port" --ready "$work/$port.ready" --lifetime 600 & pids+=($!) ;;
    silent) python3 "$peer" --silent --link "$dev/$port" --ready "$work/$port.ready" --lifetime 600 & pids+=($!) ;;
    none) touch "$work/$port.ready" ;;
    *) echo "unknown port kind: $spec"; exit 1 ;;
  esac
done
for port in "${names[@]}"; do
  for _ in $(seq 100); do
    [ -f "$work/$port.ready" ] && break
    sleep 0.1
  done
  [ -f "$work/$port.ready" ] || { echo "the peer on $port did not start"; exit 1; }
done

export HALVIX_COM_PORTS=$ports
"$runner" "$@"
