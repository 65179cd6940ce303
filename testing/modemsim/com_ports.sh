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

# com_port_take PORT...: the prefix's links of the PORTs are kept and
# removed (one readlink and one rm for them all: a process start costs).
com_port_take() {
  local port links=() names=() target i=0
  for port in "$@"; do
    com_names+=("$port")
    [ -L "$dev/$port" ] && links+=("$dev/$port") && names+=("$port")
  done
  if [ ${#links[@]} -gt 0 ]; then
    while IFS= read -r target; do
      printf '%s\n' "$target" >"$work/${names[i]}.saved"
      i=$((i + 1))
    done < <(readlink "${links[@]}")
  fi
  rm -f "${@/#/$dev/}"
}

# com_sleep SECONDS: a pause without starting a process (a read that times
# out on a pipe nothing writes to).
exec {com_tick}<> <(:)
com_sleep() {
  read -rt "$1" -u "$com_tick" _ || :
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
  local tries=0
  for port in "$@"; do
    until [ -f "$work/$port.ready" ]; do
      [ $((tries += 1)) -le 200 ] || return 1
      com_sleep 0.05
    done
  done
}
