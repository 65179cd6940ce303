#!/usr/bin/env bash
# A test's copy of the suite (make_run_dir of scripts/common.sh) over a
# small build of its own: the suite as the build made it, whatever a run of
# the installed suite wrote or changed there; programs as links, the rest
# as copies of the test's own.
# Usage: run_copy_test.sh <scripts/common.sh>
set -u
source "$1"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
src=$work/source arch=$work/build dst=$work/run/1
mkdir -p "$src" "$arch"

# The sources: two lists and a help page shipped as they stand, and the
# scripts that draw a page and a picture.
printf 'Memory Test|zentrel.mod|-AutoRun||KytMEM.LOG|1\r\nDisk Test|fenwold.mod|-AutoRun||KytDISK.LOG|1\r\n' \
  >"$src/modules.dat"
printf 'CD-ROM|cdrom.mod|-Bench|1\r\n' >"$src/bnchmark.dat"
printf '<A NAME="memory"></A>\n' >"$src/errhelp.htm"
cat >"$arch/build.ninja" <<EOF
rule copy
  command = mkdir -p \$\$(dirname \$out) && cp \$in \$out
rule draw
  command = mkdir -p \$\$(dirname \$out) && echo drawn >\$out
rule link
  command = mkdir -p \$\$(dirname \$out) && echo program >\$out
rule runner
  command = mkdir -p \$\$(dirname \$out) && echo runner >\$out && cp \$out suite/zentrel.mod
build suite/halvix.exe: link
build suite/runvek.exe: runner
build suite/modules.dat: copy $src/modules.dat
build suite/bnchmark.dat: copy $src/bnchmark.dat
build suite/help/errhelp.htm: copy $src/errhelp.htm
build suite/help/DGMEM.HTM: draw
build suite/TESTDATA/LOGO.BMP: draw
build tests/page_test.exe: link
EOF
printf 'modules.dat\t%s\nbnchmark.dat\t%s\nhelp/errhelp.htm\t%s\n' \
  "$src/modules.dat" "$src/bnchmark.dat" "$src/errhelp.htm" >"$arch/suite-data.txt"
ninja -C "$arch" >/dev/null || { echo "the fixture's build failed"; exit 1; }
printf 'beside the test program\n' >"$arch/tests/page_test.ini"

# A run of the installed suite: rows switched off, results and settings written.
printf 'Memory Test|zentrel.mod|-AutoRun||KytMEM.LOG|0\r\nDisk Test|fenwold.mod|-AutoRun||KytDISK.LOG|0\r\n' \
  >"$arch/suite/modules.dat"
printf 'CD-ROM|cdrom.mod|-Bench|0\r\n' >"$arch/suite/bnchmark.dat"
for f in KytMEM.LOG BNCHMARK.BNH KytMEM.IFO Brantel.ini cpuspeed.dat TESTDATA/scratch.txt help/notes.htm; do
  printf 'the user run\n' >"$arch/suite/$f"
done

make_run_dir "$arch" "$dst" || { echo "make_run_dir failed"; exit 1; }

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
same_file() { [ "$(stat -c %d:%i "$1")" = "$(stat -c %d:%i "$2")" ]; }

# path in the copy | what it must be
while IFS='|' read -r path want; do
  copy=$dst/$path built=$arch/$path
  case "$want" in
    shipped)
      name=${path##*/}
      cmp -s "$copy" "$src/$name" || fail "$path is not the shipped $name"
      ;;
    built-copy)
      [ -f "$copy" ] || { fail "$path is missing"; continue; }
      cmp -s "$copy" "$built" || fail "$path differs from the build's"
      same_file "$copy" "$built" && fail "$path is the build's own file, not a copy"
      ;;
    link)
      [ -f "$copy" ] || { fail "$path is missing"; continue; }
      same_file "$copy" "$built" || fail "$path is not a link to the build's program"
      ;;
    absent)
      [ -e "$copy" ] && fail "$path, written by a run of the installed suite, is in the copy"
      ;;
  esac
done <<'EOF'
suite/modules.dat|shipped
suite/bnchmark.dat|shipped
suite/help/errhelp.htm|shipped
suite/help/DGMEM.HTM|built-copy
suite/TESTDATA/LOGO.BMP|built-copy
suite/halvix.exe|link
suite/zentrel.mod|link
tests/page_test.exe|link
tests/page_test.ini|built-copy
suite/KytMEM.LOG|absent
suite/BNCHMARK.BNH|absent
suite/KytMEM.IFO|absent
suite/Brantel.ini|absent
suite/cpuspeed.dat|absent
suite/TESTDATA/scratch.txt|absent
suite/help/notes.htm|absent
EOF

# What the test changes stays in its copy.
printf 'changed by the test\r\n' >"$dst/suite/modules.dat"
cmp -s "$src/modules.dat" <(printf 'Memory Test|zentrel.mod|-AutoRun||KytMEM.LOG|1\r\nDisk Test|fenwold.mod|-AutoRun||KytDISK.LOG|1\r\n') ||
  fail "a list written in the copy changed its source"
grep -q '|0' "$arch/suite/modules.dat" || fail "a list written in the copy changed the installed suite's"

# A second copy for the same prefix starts afresh.
make_run_dir "$arch" "$dst" || fail "make_run_dir failed the second time"
cmp -s "$dst/suite/modules.dat" "$src/modules.dat" || fail "the second copy kept the first one's list"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "the copy holds the suite as built"
