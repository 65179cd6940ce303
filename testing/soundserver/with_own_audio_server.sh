#!/usr/bin/env bash
# Runs a test program (through the given Wine wrapper) on an audio server of
# its own, started here and stopped at the end, which the test may stop in
# the middle of a play. The test writes a request into the folder
# AUDIO_SERVER_CONTROL names and gets "<request>.done" back: "freeze" stops
# the server where it stands (as a server that gets no time on a busy
# machine), "thaw" lets it run again, "kill" kills it (as a crashed server
# ends, without a word to its clients). The prefix's own server, which
# later tests use, is never touched. In place of the program a script that
# wraps one in the same way (a file ending in .sh, which takes the Wine
# wrapper first) runs inside: what it starts beside the program plays on
# this server too.
# Usage: with_own_audio_server.sh <wine-test> <program> [args...]
#        with_own_audio_server.sh <wine-test> <wrapper.sh> [its args...]
set -u
runner=$1
shift
source "$(dirname "$runner")/common.sh"
if [[ $1 == *.sh ]]; then
  set -- bash "$1" "$runner" "${@:2}"
else
  set -- "$runner" "$@"
fi

control=$(mktemp -d "${TMPDIR:-/tmp}/own-audio.XXXXXX") || exit 1
test_pid=""
signal_server() {
  local pid
  for pid in "${PULSE_PIDS[@]}"; do kill "-$1" "$pid" 2>/dev/null; done
}
cleanup() {
  [ -n "$test_pid" ] && kill "$test_pid" 2>/dev/null
  signal_server CONT
  stop_audio
  rm -rf "$control"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

start_audio 1
if [ -z "${HALVIX_AUDIO:-}" ]; then
  echo "no audio server of its own could start: the test skips what needs one"
else
  export AUDIO_SERVER_CONTROL=$control
fi

"$@" &
test_pid=$!
# A pause without starting a process: a read that times out on a pipe
# nothing writes to.
exec {tick}<> <(:)
while kill -0 "$test_pid" 2>/dev/null; do
  for request in freeze thaw kill; do
    [ -e "$control/$request" ] || continue
    rm -f "$control/$request"
    case $request in
      freeze) signal_server STOP ;;
      thaw) signal_server CONT ;;
      kill)
        signal_server KILL
        for pid in "${PULSE_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
        ;;
    esac
    touch "$control/$request.done"
  done
  read -rt 0.1 -u "$tick" _ || :
done
wait "$test_pid"
status=$?
test_pid=""
exit "$status"
