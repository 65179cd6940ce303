#!/usr/bin/env bash
# Runs a test program with COM ports of the test's Wine prefix set up as
# asked: backed by a pseudo-terminal with an echo peer (a loopback plug), by
# one with a silent peer, or not there at all.
# Usage: with_com_ports.sh <wine runner> <echopeer.py> <ports> <program> [args...]
#   <ports>: comma-separated com<n>=echo|silent|none, e.g. com2=echo,com4=none
runner=$1
peer=$2
ports=$3
shift 3
source "$(dirname "$runner")/common.sh"
source "$(dirname "$0")/com_ports.sh"

IFS=, read -ra specs <<<"$ports"
taken=()
for spec in "${specs[@]}"; do
  port=${spec%%=*}
  taken+=("$port")
  case ${spec#*=} in
    echo) com_port_start "$port" python3 "$peer" --link "$dev/$port" --ready "$work/$port.ready" --lifetime 600 ;;
    silent) com_port_start "$port" python3 "$peer" --silent --link "$dev/$port" --ready "$work/$port.ready" --lifetime 600 ;;
    none) com_port_take "$port"; touch "$work/$port.ready" ;;
    *) echo "unknown port kind: $spec"; exit 1 ;;
  esac
done
com_ports_ready "${taken[@]}" || { echo "a peer did not start"; exit 1; }

export HALVIX_COM_PORTS=$ports
"$runner" "$@"
