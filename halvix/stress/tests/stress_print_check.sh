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
pdftoppm -f 1 -l 1 -r 72 -png -singlefile "$dir/StressPrintResults.pdf" /tmp/stress_print_results || fail=1
ls -l /tmp/stress_print_results.png
# The printed files were the test's own: removed once they passed.
[ "$fail" -eq 0 ] && rm -f "$dir/StressPrintResults.pdf" "$dir/StressPrintDetails.pdf" "$dir/StressPrintLog.pdf"
exit $fail
