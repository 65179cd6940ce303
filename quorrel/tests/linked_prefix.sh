# Sourced by the scripts that run tests in a Wine prefix of their own (after
# common.sh's wine_tools): make_own_prefix makes $work, a fresh directory,
# with $WINEPREFIX=$work/prefix in it, a linked copy of the pool's template:
# files linked, not copied (Wine replaces its registry files when it saves
# them, and writes nothing else there), the registry itself copied. The
# copy, and the server and programs running in it, are removed again on exit
# whatever the tests do.
make_own_prefix() {
  local template=$POOL/template reg
  pool_prefix_ready "$template" || { echo "no prepared Wine prefix at $template"; return 1; }
  work=$(mktemp -d) || return 1
  export WINEPREFIX=$work/prefix
  trap '"$WINESERVER" -k 2>/dev/null; rm -rf "$work"' EXIT
  cp -al "$template" "$WINEPREFIX" || return 1
  for reg in "$WINEPREFIX"/*.reg; do
    rm -f "$reg" && cp -p "$template/${reg##*/}" "$reg" || return 1
  done
}
