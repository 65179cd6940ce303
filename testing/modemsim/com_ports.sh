# Sourced (after scripts/common.sh) by the scripts that give a test COM
# ports of its Wine prefix backed by pseudo-terminals. Sets $dev (the
# prefix's dosdevices folder) and $work (a scratch folder); every peer
# started through com_port_start is stopped, and the prefix's own links of
# the ports taken are put back, when the script ends.
prefix=$(test_prefix)
dev=$prefix/dosdevices
[ -d "$dev" ] || { echo "no Wine prefix at $prefix"; exit 1; }

work=$(mktemp -d) || exit 1
com_pids=()
com_names=()
com_cleanup() {
  local pid port
  for pid in "${com_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${com_pids[@]}"; do wait "$pid" 2>/dev/null; done
  for port in "${com_names[@]}"; do
    rm -f "$dev/$port"
    [ -f "$work/$port.saved" ] && ln -s "$(cat "$work/$port.saved")" "$dev/$port"
  done
  rm -rf "$work"
}
trap com_cleanup EXIT

# com_port_take PORT: the prefix's link of PORT is kept and removed.
com_port_take() {
  com_names+=("$1")
  [ -L "$dev/$1" ] && readlink "$dev/$1" >"$work/$1.saved"
  rm -f "$dev/$1"
}

# com_peer_start COMMAND...: starts a peer that links ports taken before
# (and writes $work/PORT.ready for each once it is up).
com_peer_start() {
  "$@" &
  com_pids+=($!)
}

# com_port_start PORT COMMAND...: takes PORT and starts the peer that links
# it (and writes $work/PORT.ready once it is up).
com_port_start() {
  local port=$1
  shift
  com_port_take "$port"
  com_peer_start "$@"
}

# com_ports_ready PORT...: false when a peer is not up within 10 seconds.
com_ports_ready() {
  local port
  for port in "$@"; do
    for _ in $(seq 100); do
      [ -f "$work/$port.ready" ] && break
      sleep 0.1
    done
    [ -f "$work/$port.ready" ] || return 1
  done
}
