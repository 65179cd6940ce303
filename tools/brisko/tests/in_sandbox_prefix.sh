#!/usr/bin/env bash
# Runs a test program of the clean-up tool in a Wine prefix of its own whose
# drives are scratch folders only: C: is the sandbox prefix's own drive_c
# and D: an empty scratch folder holding "sandbox.marker". Wine's default
# drive Z: (the whole file system) and the user folders that link to $HOME
# are removed there, and HOME points into the scratch folder, so that no
# deletion can reach anything outside it. The prefix is made from the
# pool's template (its system folder as hard links, which Wine only reads)
# and removed afterwards with everything in it.
#
# Unix-side helper: a test running in Wine cannot make a Unix symbolic link
# (Wine's own calls follow one, and CreateSymbolicLinkW makes none), so a
# small agent does it on request. The test writes a line of three
# tab-separated fields, "ln TARGET LINK", "mv FROM TO" or "cp FROM TO" (Unix
# paths inside the scratch folder), to C:\brisko-agent\NAME.req; the agent
# does it and answers NAME.done ("ok" or "failed"). BRISKO_SANDBOX_UNIX
# tells the test the scratch folder's Unix path; "outside" there is a folder
# on no drive at all.
# Usage: in_sandbox_prefix.sh <suite dir> <test program> [args...]
set -u
source "$(dirname "$0")/../../../scripts/common.sh"
wine_tools
suite=$1
program=$2
shift 2

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brisko-sandbox.XXXXXX")
prefix=$scratch/prefix
AGENT_PID=""
cleanup() {
  [ -n "$AGENT_PID" ] && kill "$AGENT_PID" 2>/dev/null
  WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null
  WINEPREFIX=$prefix "$WINESERVER" -w 2>/dev/null
  rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

template=$POOL/template
if pool_prefix_ready "$template"; then
  copy_prefix "$template" "$prefix"
else
  make_prefix "$prefix" >/dev/null
fi

# Drives: C: and the scratch D: only.
rm -f "$prefix/dosdevices/z:"
mkdir -p "$scratch/d"
echo sandbox >"$scratch/d/sandbox.marker"
ln -s "$scratch/d" "$prefix/dosdevices/d:"
# A tree of many empty folders, on no drive until a test defines one over it:
# a search of it takes a while.
mkdir -p "$scratch/tree"
(cd "$scratch/tree" && mkdir -p {a..t}/{a..t}/{a..t})
export BRISKO_TREE_UNIX=$scratch/tree
# User folders become plain folders of the prefix.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link" && mkdir "$link"; fi
done
export HOME=$scratch/home XDG_DATA_HOME=$scratch/home/.local/share XDG_CONFIG_HOME=$scratch/home/.config
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
export WINEPREFIX=$prefix
unset HALVIX_SUITE

# The program under test and the parts of the suite it needs, on C:.
mkdir -p "$prefix/drive_c/halvix/suite" "$prefix/drive_c/halvix/tests"
cp "$suite/brisko.mod" "$suite/ombrix.dll" "$prefix/drive_c/halvix/suite/"
cp "$program" "$prefix/drive_c/halvix/tests/"
name=$(basename "$program")

# The agent (see above). Every path must lie inside the scratch folder.
agent_dir=$prefix/drive_c/brisko-agent
mkdir -p "$agent_dir" "$scratch/outside"
inside_scratch() {
  case "$1" in "$scratch"/*) ;; *) return 1 ;; esac
  case "$1" in */../* | */.. | */./*) return 1 ;; esac
}
# The agent's pause between looks is a read with a time-out on a FIFO of its
# own that no one writes: a shell builtin, no process started per look.
mkfifo "$scratch/agent.pause"
agent() {
  local req op a b verdict pause
  exec {pause}<>"$scratch/agent.pause"
  while :; do
    for req in "$agent_dir"/*.req; do
      [ -f "$req" ] || continue
      verdict=failed
      IFS=$'\t' read -r op a b <"$req" || true
      if inside_scratch "$a" && inside_scratch "$b"; then
        case "$op" in
          ln) ln -s -- "$a" "$b" && verdict=ok ;;
          mv) mv -T -- "$a" "$b" && verdict=ok ;;
          cp) cp -pR -- "$a" "$b" && verdict=ok ;;
        esac
      fi
      mv -f -- "$req" "${req%.req}.taken"
      echo "$verdict" >"${req%.req}.done"
    done
    read -r -t 0.05 -u "$pause" _ || true
  done
}
agent </dev/null >/dev/null 2>&1 &
AGENT_PID=$!
export BRISKO_SANDBOX_UNIX=$scratch

cd "$scratch/d"
(setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true)
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1
"$WINE" "C:\\halvix\\tests\\$name" "$@"
