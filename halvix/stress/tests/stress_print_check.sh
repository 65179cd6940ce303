#!/usr/bin/env bash
# Reads back what stress_print_test printed to the PDF printer: each page 1
# carries its "Page 1" header and lines of the file its dialog showed; the
# results page is rendered to /tmp/stress_print_results.png. Skipped (77)
# without a PDF printer.
set -u
dir=${HALVIX_PDF_DIR:-}
[ -n "$dir" ] && [ -d "$dir" ] || { echo "no PDF printer"; exit 77; }
[ -f "$dir/StressPrintResults.pdf" ] || { echo "nothing printed in $dir"; exit 77; }
fail=0
check() {  # file, pattern, what
  local text
  text=$(pdftotext -f 1 -l 1 -layout "$dir/$1" - 2>/dev/null)
  if echo "$text" | grep -q -- "$2"; then echo "ok: $1: $3"; else echo "FAILED: $1: $3"; fail=1; fi
}
for f in StressPrintResults.pdf StressPrintDetails.pdf StressPrintLog.pdf; do
  if [ ! -f "$dir/$f" ]; then echo "FAILED: $f was not printed"; fail=1; continue; fi
  echo "--- $f"
  pdftotext -f 1 -l 1 -layout "$dir/$f" - 2>/dev/null | head -n 14
  check "$f" '^ *Page 1 ' "page header"
done
# The results: both columns' titles, the score and each system's figures.
check StressPrintResults.pdf 'Page 1  *Benchmark' "header with the caption"
check StressPrintResults.pdf 'Printed machine' "this system's description"
check StressPrintResults.pdf 'Default values' "the reference's description"
check StressPrintResults.pdf 'Dhrystone.*400' "this system's Dhrystone figure"
check StressPrintResults.pdf 'Dhrystone.*200' "the reference's Dhrystone figure"
# The details: the file's lines, tabs laid out, the description second.
check StressPrintDetails.pdf 'Last Updated: 12/10/2026' "the file's first line"
check StressPrintDetails.pdf 'Printed machine' "the description"
check StressPrintDetails.pdf 'Dhrystone: *400.0 K Dhrystones/Sec' "a tabbed figure"
check StressPrintDetails.pdf 'OS Type: *Windows NT \[6.01.7601\]' "the system line"
# The log: STRESS.LOG as the dialog listed it.
check StressPrintLog.pdf 'Page 1 .*View Test Log' "header with the caption"
check StressPrintLog.pdf 'LOOP: 3' "the loop line"
check StressPrintLog.pdf 'Memory Test *PASSED' "a tabbed result"
check StressPrintLog.pdf 'Printed log line *DONE' "the last line"
check StressPrintResults.pdf 'Average Access.*12.5 ms' "a long label's row"
# No cell runs into the next column: a long label beside a figure stays
# readable (word positions read from the page).
if ! pdftotext -f 1 -l 1 -bbox "$dir/StressPrintResults.pdf" - | python3 -c '
import re, sys
words = [(float(a), float(b), float(c), w) for a, b, c, w in
         re.findall(r"<word xMin=\"([\d.]+)\" yMin=\"([\d.]+)\" xMax=\"([\d.]+)\" yMax=\"[\d.]+\">([^<]*)</word>",
                    sys.stdin.read())]
titles = [w for w in words if w[3] in ("This", "Ref.")]
if len(titles) < 2:
    print("no column titles"); sys.exit(1)
starts = [0.0, titles[0][0], titles[1][0]]
top = titles[0][1] + 1
bad = 0
for x0, y0, x1, text in words:
    if y0 <= top: continue
    for c in (0, 1):
        if starts[c] - 0.5 <= x0 < starts[c + 1] - 0.5 and x1 > starts[c + 1] + 0.5:
            print("runs into the next column: %r (%.1f to %.1f, next column at %.1f)" % (text, x0, x1, starts[c + 1]))
            bad = 1
sys.exit(bad)
'; then echo "FAILED: a cell runs into the next column"; fail=1; else echo "ok: every cell stays in its column"; fi
pdftoppm -f 1 -l 1 -r 72 -png -singlefile "$dir/StressPrintResults.pdf" /tmp/stress_print_results || fail=1
ls -l /tmp/stress_print_results.png
# The printed files were the test's own: removed once they passed.
[ "$fail" -eq 0 ] && rm -f "$dir/StressPrintResults.pdf" "$dir/StressPrintDetails.pdf" "$dir/StressPrintLog.pdf"
exit $fail
