#!/usr/bin/env bash
# Reads the newest report that the wizard test printed to the PDF printer:
# its first page carries the header and the report's first lines, headings
# without their "@3"; the page is rendered to /tmp/tamblet_page1.png. The
# long report holds exactly 49 pages. Skipped (77) without a PDF printer.
set -u
dir=${HALVIX_PDF_DIR:-}
[ -n "$dir" ] && [ -d "$dir" ] || { echo "no PDF printer"; exit 77; }
pdf=$(ls -t "$dir"/*TambletPrint*.pdf 2>/dev/null | head -n 1)
[ -n "$pdf" ] || { echo "no printed report in $dir"; exit 77; }
fail=0
page1=$(pdftotext -f 1 -l 1 -layout "$pdf" - 2>/dev/null)
echo "$page1" | head -n 12
check() {
  if echo "$page1" | grep -q -- "$1"; then echo "ok: $2"; else echo "FAILED: $2"; fail=1; fi
}
check 'TambletPrint[0-9]* .* -  *Page 1' "header line with title, date and page number"
check '^ *TEST RESULTS' "heading without its prefix"
check 'Walking Ones *PASSED' "tabbed result line"
check 'Operating System: *Windows' "information line"
if echo "$page1" | grep -q '@3'; then echo "FAILED: a heading prefix was printed"; fail=1; fi
if echo "$page1" | grep -q 'Video Info'; then echo "FAILED: a marker line was printed"; fail=1; fi
pages=$(pdfinfo "$pdf" | sed -n 's/^Pages:[[:space:]]*//p')
echo "pages: $pages"
[ "${pages:-0}" -ge 2 ] || { echo "FAILED: the report should take two pages"; fail=1; }
long=$(ls -t "$dir"/*TambletLong*.pdf 2>/dev/null | head -n 1)
if [ -n "$long" ]; then
  lp=$(pdfinfo "$long" | sed -n 's/^Pages:[[:space:]]*//p')
  echo "long report pages: $lp"
  [ "$lp" = 49 ] || { echo "FAILED: the long report should stop at 49 pages"; fail=1; }
fi
pdftoppm -f 1 -l 1 -r 72 -png -singlefile "$pdf" /tmp/tamblet_page1 || fail=1
# What the page shows, not only what its text says: count the printed rows
# of the rendered page (an opaque text cell could blank the line above it).
rows=$(pdftoppm -f 1 -l 1 -r 72 -gray -singlefile "$pdf" | python3 -c '
import sys
data = sys.stdin.buffer.read()
fields, pos = [], 0
while len(fields) < 4 and pos < len(data):
    while pos < len(data) and data[pos:pos + 1].isspace(): pos += 1
    end = pos
    while end < len(data) and not data[end:end + 1].isspace(): end += 1
    fields.append(data[pos:end]); pos = end
pos += 1
if len(fields) < 4 or not fields[1].isdigit() or not fields[2].isdigit():
    print(0)  # no image came: nothing printed
    sys.exit(0)
w, h = int(fields[1]), int(fields[2])
inked = [any(b < 128 for b in data[pos + y * w:pos + (y + 1) * w]) for y in range(h)]
print(sum(1 for y in range(h) if inked[y] and (y == 0 or not inked[y - 1])))
')
echo "printed rows on page 1: $rows"
[ "${rows:-0}" -ge 70 ] || { echo "FAILED: page 1 should show at least 70 printed rows"; fail=1; }
ls -l /tmp/tamblet_page1.png
# The printed reports were the test's own: removed once they passed.
[ "$fail" -eq 0 ] && rm -f "$dir"/*TambletPrint*.pdf "$dir"/*TambletLong*.pdf
exit $fail
