# Shared set-up of scripts/run and scripts/test: packages, builds, Wine prefix.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${HALVIX_BUILD:-$ROOT/build}
PACKAGES="cmake ninja-build python3 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools googletest wine wine64 xvfb xauth cups printer-driver-cups-pdf poppler-utils pulseaudio pulseaudio-utils fonts-wine ccache"

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

# build_arch ARCH [TARGET...]: configure and build one architecture (x86_64
# or i686); without targets the suite alone, without its test programs.
build_arch() {
  local arch=$1 dir=$BUILD/$1
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    # ccache keeps the objects of other checkouts and earlier builds: a fresh
    # build of an unchanged tree then takes seconds.
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" "${launcher[@]}" >/dev/null
  fi
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  CCACHE_BASEDIR=$ROOT CCACHE_NOHASHDIR=1 cmake --build "$dir" "${targets[@]}"
}

# Both architectures, each with its test programs.
build_all() {
  say "building x86_64"
  build_arch x86_64 all halvix_tests
  say "building i686"
  build_arch i686 all halvix_tests
}

# The Wine programs and the variables every Wine process of ours gets.
wine_tools() {
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko installs, and no desktop menu entries for the prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
  [ -x "$WINE" ] || WINE=/usr/lib/wine/wine64
  export WINE
  WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
  [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver64
  export WINESERVER
}

# The prefix that scripts/run starts Halvix in.
wine_env() {
  export WINEPREFIX=${HALVIX_WINEPREFIX:-$BUILD/wineprefix}
  wine_tools
}

# What a prepared prefix holds; pool prefixes whose marker says otherwise
# (or nothing, as older scripts wrote it) are made again. The Wine version is
# part of it: pool prefixes share Wine's files with the template, so a new
# Wine makes the whole pool again rather than letting Wine update one copy.
# Asked of Wine once per script: "wine --version" costs a Wine start.
PREFIX_LAYOUT=""
prefix_layout() {
  [ -n "$PREFIX_LAYOUT" ] ||
    PREFIX_LAYOUT="halvix prefix 3: virtual desktop 1024x768, Wine fonts, $("$WINE" --version 2>/dev/null)"
  echo "$PREFIX_LAYOUT"
}

# make_prefix DIR: a new prefix in DIR with the virtual desktop set; the
# marker file is written last, so a prefix without it is incomplete.
make_prefix() {
  local dir=$1
  say "preparing Wine prefix $dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  (
    export WINEPREFIX=$dir
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 </dev/null
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 </dev/null
    "$WINESERVER" -w
  )
  # Wine's own fonts where Windows keeps its fonts: this Wine reads only the
  # Windows font folder and the system's font folders, and without Marlett
  # every caption button reads "0 1 r".
  if [ -d /usr/share/wine/fonts ]; then
    mkdir -p "$dir/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/* "$dir/drive_c/windows/Fonts/"
  fi
  prefix_layout >"$dir/.halvix-ready"
}

# A prefix of the project's own, with a virtual desktop set once.
prepare_prefix() {
  wine_env
  [ -f "$WINEPREFIX/.halvix-ready" ] || make_prefix "$WINEPREFIX"
}

# The test pool: prefixes 1..N under $POOL, each a copy of one prepared
# template ($POOL/template), so that only the template pays for wineboot.
POOL=${HALVIX_WINE_POOL:-$BUILD/wineprefixes}

# The id of the pool prefix that ctest handed the running test (resource
# "wineprefix": CTEST_RESOURCE_GROUP_0_WINEPREFIX is "id:<id>,slots:1");
# nothing without one.
test_pool_id() {
  local group=${CTEST_RESOURCE_GROUP_0_WINEPREFIX:-} id
  [ -n "$group" ] || return 0
  id=${group#id:}
  echo "${id%%,*}"
}

# The prefix of the pool that ctest handed the running test; without one
# $WINEPREFIX when set, else the pool's first prefix.
test_prefix() {
  local id
  id=$(test_pool_id)
  if [ -n "$id" ]; then
    echo "$POOL/$id"
  else
    echo "${WINEPREFIX:-$POOL/1}"
  fi
}

# run_program PROGRAM [make]: the path a test program of <build>/tests runs
# from under the pool (<build>/run/<id>/tests/..., see make_run_dir), or
# PROGRAM itself when the test has no prefix of the pool or PROGRAM is not
# such a program. With "make", the run directory is made afresh first.
run_program() {
  local program=$1 id root
  id=$(test_pool_id)
  case "$program" in
    /*/tests/*) root=${program%/tests/*} ;;
    *) root="" ;;
  esac
  if [ -z "$id" ] || [ -z "$root" ] || [ ! -d "$root/suite" ]; then
    echo "$program"
    return 0
  fi
  if [ "${2:-}" = make ]; then make_run_dir "$root" "$root/run/$id" || return 1; fi
  echo "$root/run/$id/tests/${program#"$root"/tests/}"
}

# make_run_dir ARCHDIR DST: DST/suite and DST/tests as ARCHDIR's suite and
# test programs, made afresh, for the tests of one pool prefix: what the
# programs write beside themselves (logs, information files, benchmark
# results, settings files) then stays with that test. Programs and
# libraries are hard links (nothing writes them in place); every other file
# is a copy, so that a file written in place changes no other test's copy.
# The suite is the suite as built, whatever a run of the installed one
# (scripts/run) wrote or changed there: of its other files only those the
# build makes (suite_files), its data files as they stand in the sources.
make_run_dir() {
  local src=$1 dst=$2 binaries='.*\.(exe|dll|mod|ocx|tlb)'
  rm -rf "$dst"
  mkdir -p "$dst"
  (
    cd "$src"
    if [ -d tests ]; then
      # All of it as links in one go; then each file that is not a program
      # or library becomes a copy of its own. Temporary files (*.tmp) are
      # left out: they belong to whatever made them, which may delete them
      # while this runs (the copy is then made file by file).
      if cp -al tests "$dst/" 2>/dev/null; then
        find "$dst/tests" -type f -iname '*.tmp' -delete
      else
        rm -rf "$dst/tests"
        find tests -type d -print0 | (cd "$dst" && xargs -0 mkdir -p)
        find tests -type f -regextype posix-extended -iregex "$binaries" -print0 |
          xargs -0 -r cp -l --parents -t "$dst"
      fi
      find tests ! -type d ! -iname '*.tmp' -regextype posix-extended ! -iregex "$binaries" -print0 |
        xargs -0 -r cp -a --parents --remove-destination -t "$dst"
    fi
    if [ -d suite ]; then
      find suite -type f -regextype posix-extended -iregex "$binaries" -print0 | xargs -0 -r cp -l --parents -t "$dst"
      suite_files . | grep -Eiv "^$binaries\$" | while IFS= read -r f; do
        [ -f "$f" ] && printf '%s\0' "$f"
      done | xargs -0 -r cp -a --parents -t "$dst"
      if [ -f suite-data.txt ]; then
        local path source
        while IFS=$'\t' read -r path source; do
          [ -n "$path" ] || continue
          mkdir -p "$(dirname "$dst/suite/$path")" && cp "$source" "$dst/suite/$path" || exit 1
        done <suite-data.txt
      fi
    fi
  ) || return 1
}

# suite_files ARCHDIR: the files the build of ARCHDIR makes in its suite
# (paths from ARCHDIR, "suite/..."), as its Ninja build names them; without
# a Ninja build every file that lies there.
suite_files() {
  local list
  if list=$(ninja -C "$1" -t targets all 2>/dev/null); then
    printf '%s\n' "$list" | sed -n 's#^\(suite/[^:]*\): .*#\1#p'
  else
    (cd "$1" && find suite -type f)
  fi
}

pool_prefix_ready() {
  local marker=""
  prefix_layout >/dev/null
  IFS= read -r marker 2>/dev/null <"$1/.halvix-ready" || true
  [ "$marker" = "$PREFIX_LAYOUT" ]
}

# copy_prefix SRC DST: a copy of the prepared prefix SRC. Wine's own program
# files in system32 (nine tenths of a prefix, and nothing of ours writes
# them) are hard links shared with SRC; everything else is a real copy.
copy_prefix() {
  local src=$1 dst=$2 shared
  mkdir -p "$dst"
  shared=$(cd "$src" && find ./drive_c/windows/system32 -type f -regextype posix-extended \
    -iregex '.*\.(dll|exe|nls|sys|drv|ocx|cpl|acm|tlb|com|ax)')
  tar -C "$src" -X <(printf '%s\n' "$shared") -cf - . | tar -C "$dst" -xf -
  # Across file systems no link can be made: a real copy then.
  (cd "$src" && printf '%s\n' "$shared" | tr '\n' '\0' | xargs -0 -r cp -a --link --parents -t "$dst" 2>/dev/null) ||
    (cd "$src" && printf '%s\n' "$shared" | tr '\n' '\0' | xargs -0 -r cp -a --parents -t "$dst")
}

# prepare_pool N
prepare_pool() {
  local n=$1 i
  wine_tools
  mkdir -p "$POOL"
  for i in $(seq 1 "$n"); do
    pool_prefix_ready "$POOL/$i" && continue
    pool_prefix_ready "$POOL/template" || make_prefix "$POOL/template"
    say "copying Wine prefix $POOL/$i"
    rm -rf "$POOL/$i" "$POOL/$i.new"
    copy_prefix "$POOL/template" "$POOL/$i.new"
    mv "$POOL/$i.new" "$POOL/$i"
  done
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

# A CUPS server of our own with the PDF printer "PDF" as its default, so
# that Wine has a printer: its configuration, spool and socket live in a
# private directory, and stop_printer stops exactly this server. cups-pdf
# writes each job into the submitting user's PDF folder (HALVIX_PDF_DIR).
CUPSD_PID=""
CUPS_DIR=""
start_printer() {
  command -v cupsd >/dev/null && [ -e /usr/lib/cups/backend/cups-pdf ] || return 0
  CUPS_DIR=$(mktemp -d /tmp/halvix-cups.XXXXXX) || return 0
  chmod 755 "$CUPS_DIR"
  mkdir -p "$CUPS_DIR/conf" "$CUPS_DIR/spool" "$CUPS_DIR/cache" "$CUPS_DIR/state" "$CUPS_DIR/tmp" "$CUPS_DIR/log"
  chmod 1777 "$CUPS_DIR/tmp"
  cat >"$CUPS_DIR/conf/cupsd.conf" <<EOF
LogLevel warn
Listen $CUPS_DIR/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
EOF
  cat >"$CUPS_DIR/conf/cups-files.conf" <<EOF
ServerRoot $CUPS_DIR/conf
RequestRoot $CUPS_DIR/spool
CacheDir $CUPS_DIR/cache
StateDir $CUPS_DIR/state
TempDir $CUPS_DIR/tmp
AccessLog $CUPS_DIR/log/access_log
ErrorLog $CUPS_DIR/log/error_log
PageLog $CUPS_DIR/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
EOF
  cupsd -f -c "$CUPS_DIR/conf/cupsd.conf" -s "$CUPS_DIR/conf/cups-files.conf" </dev/null >"$CUPS_DIR/log/cupsd.out" 2>&1 &
  CUPSD_PID=$!
  local i
  for i in $(seq 1 50); do
    [ -S "$CUPS_DIR/cups.sock" ] && break
    kill -0 "$CUPSD_PID" 2>/dev/null || break
    sleep 0.1
  done
  export CUPS_SERVER=$CUPS_DIR/cups.sock
  if ! { lpadmin -p PDF -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -E && lpadmin -d PDF; } >/dev/null 2>&1; then
    echo "no PDF printer: printing tests are skipped" >&2
    stop_printer
    return 0
  fi
  # cups-pdf's output folder: its "Out" setting, normally ${HOME}/PDF.
  local out
  out=$(sed -n 's/^Out[[:space:]]*//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n 1) || true
  [ -n "$out" ] || out='${HOME}/PDF'
  out=${out//'${HOME}'/$HOME}
  mkdir -p "$out" || true
  export HALVIX_PDF_DIR=$out
}

stop_printer() {
  if [ -n "$CUPSD_PID" ]; then
    kill "$CUPSD_PID" 2>/dev/null
    wait "$CUPSD_PID" 2>/dev/null
  fi
  [ -n "$CUPS_DIR" ] && rm -rf "$CUPS_DIR"
  CUPSD_PID=""
  CUPS_DIR=""
  unset CUPS_SERVER HALVIX_PDF_DIR
}

# PulseAudio servers of our own (start_audio [N]: N of them, default one),
# each with one null sink "halvix" as its default sink and that sink's
# monitor as the default source, so that Wine has wave-out, wave-in and
# mixer devices and wave-in records what wave-out plays. scripts/test starts
# one per prefix of its pool, so that a test records only its own sound
# (audio_server ID names the one of pool prefix ID). Sockets, state and
# configuration live in a private directory; PULSE_SERVER names the first
# server; stop_audio stops exactly these servers. Without pulseaudio the
# tests run on a machine without sound devices.
PULSE_PIDS=()
PULSE_DIR=""
audio_server() {
  echo "unix:$HALVIX_AUDIO_SERVERS/$1/runtime/native"
}
start_audio() {
  local count=${1:-1} n i dir ok=1
  command -v pulseaudio >/dev/null && command -v pactl >/dev/null || return 0
  PULSE_DIR=$(mktemp -d /tmp/halvix-pulse.XXXXXX) || return 0
  export HALVIX_AUDIO_SERVERS=$PULSE_DIR
  for n in $(seq 1 "$count"); do
    dir=$PULSE_DIR/$n
    mkdir -p "$dir/runtime" "$dir/state" "$dir/home"
    chmod 700 "$dir/runtime"
    # The daemon stays in the foreground of a background job, so that its
    # pid is ours to stop.
    HOME=$dir/home XDG_RUNTIME_DIR=$dir/runtime XDG_CONFIG_HOME=$dir/home \
      PULSE_RUNTIME_PATH=$dir/runtime PULSE_STATE_PATH=$dir/state \
      pulseaudio --daemonize=no --system=no --exit-idle-time=-1 --use-pid-file=no \
        --disallow-module-loading=no -n \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/runtime/native" \
        --load="module-null-sink sink_name=halvix sink_properties=device.description=Halvix" \
        --load="module-always-sink" \
        </dev/null >"$dir/pulseaudio.log" 2>&1 &
    PULSE_PIDS+=($!)
  done
  for n in $(seq 1 "$count"); do
    export PULSE_SERVER
    PULSE_SERVER=$(audio_server "$n")
    for i in $(seq 1 50); do
      pactl info >/dev/null 2>&1 && break
      kill -0 "${PULSE_PIDS[$((n - 1))]}" 2>/dev/null || break
      sleep 0.1
    done
    { pactl set-default-sink halvix && pactl set-default-source halvix.monitor; } >/dev/null 2>&1 || ok=0
  done
  if [ "$ok" = 0 ]; then
    echo "no audio server: sound tests take the no-device paths" >&2
    stop_audio
    return 0
  fi
  PULSE_SERVER=$(audio_server 1)
  export HALVIX_AUDIO=1
}

stop_audio() {
  local pid
  for pid in "${PULSE_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${PULSE_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  [ -n "$PULSE_DIR" ] && rm -rf "$PULSE_DIR"
  PULSE_PIDS=()
  PULSE_DIR=""
  unset PULSE_SERVER HALVIX_AUDIO HALVIX_AUDIO_SERVERS
}

# Under scripts/test every test plays and records on the audio server of its
# pool prefix. Each script of a test sources this file, so that the test
# program and what a script starts beside it (a modem simulator's speaker)
# use the same server. A server the test names itself stays.
test_audio() {
  local id own
  [ -n "${HALVIX_AUDIO_SERVERS:-}" ] || return 0
  id=$(test_pool_id)
  [ -n "$id" ] || return 0
  own=$(audio_server "$id")
  [ -S "${own#unix:}" ] || return 0
  case "${PULSE_SERVER:-}" in
    "" | "$(audio_server 1)") export PULSE_SERVER=$own ;;
  esac
}
test_audio
