# Shared set-up of scripts/run and scripts/test: packages, builds, Wine prefix.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${HALVIX_BUILD:-$ROOT/build}
PACKAGES="cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools googletest wine wine64 xvfb xauth"

say() { echo "== $*"; }

ensure_packages() {
  local missing=()
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# build ARCH: configure and build one architecture (x86_64 or i686).
build_arch() {
  local arch=$1 dir=$BUILD/$1
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" >/dev/null
  fi
  cmake --build "$dir"
}

build_all() {
  say "building x86_64"
  build_arch x86_64
  say "building i686"
  build_arch i686
}

wine_env() {
  export WINEPREFIX=${HALVIX_WINEPREFIX:-$BUILD/wineprefix}
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
  [ -x "$WINE" ] || WINE=/usr/lib/wine/wine64
  export WINE
  WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
  [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver64
  export WINESERVER
}

# A prefix of the project's own, with a virtual desktop set once.
prepare_prefix() {
  wine_env
  if [ ! -f "$WINEPREFIX/.halvix-ready" ]; then
    say "preparing Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 </dev/null
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 </dev/null
    "$WINESERVER" -w
    touch "$WINEPREFIX/.halvix-ready"
  fi
}

# Our own X display when there is none (or always with $1 = force).
XVFB_PID=""
start_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != force ]; then return 0; fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=":$n"
      local i
      for i in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
      done
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}
