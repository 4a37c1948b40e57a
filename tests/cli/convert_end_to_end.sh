#!/usr/bin/env bash
# morvane-convert on a PDF, a deck, a letter and a web page, with the real
# converters and no display: four documents, images beside the two that have them.
set -euo pipefail
convert=${1:?usage: convert_end_to_end.sh MORVANE_CONVERT SOURCE_DIR}
source_dir=${2:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

node "$source_dir/engine/test/fixtures/make-fixtures.mjs" "$work/src" >/dev/null
mkdir -p "$work/in"
cp "$work/src/sample.pptx" "$work/in/deck.pptx"
cp "$work/src/sample.docx" "$work/in/letter.docx"
cp "$work/src/sample.html" "$work/in/page.html"
cat >"$work/page.txt" <<'PDF'
%%MediaBox 0 0 595 842
%%Font F1 Helvetica
BT 72 770 Td /F1 20 Tf (Quarterly harbour report) Tj ET
BT 72 730 Td /F1 11 Tf (The ferries ran on time through the whole quarter, and the) Tj ET
BT 72 716 Td /F1 11 Tf (new pier opened in March with a marker word: pelican.) Tj ET
BT 72 690 Td /F1 11 Tf (Passenger numbers rose by a tenth against the same months) Tj ET
BT 72 676 Td /F1 11 Tf (of last year, mostly on the morning crossings.) Tj ET
PDF
mutool create -o "$work/in/report.pdf" "$work/page.txt"

out="$work/out"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$convert" --out "$out" --no-reveal \
  "$work/in/report.pdf" "$work/in/deck.pptx" "$work/in/letter.docx" "$work/in/page.html" \
  >"$work/stdout" 2>"$work/stderr" || status=$?
fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$work/stdout"; echo "--- stderr"; tail -20 "$work/stderr"; exit 1; }
[ "$status" -eq 0 ] || fail "exit status $status"
[ "$(tail -1 "$work/stdout")" = "Converted 4 files ✓" ] || fail "final status"
[ "$(grep -c '\.md$' "$work/stdout")" -eq 4 ] || fail "four written paths"
while read -r document; do
  [ -f "$document" ] || fail "missing $document"
  head -1 "$document" | grep -qx -- '---' || fail "no front matter in $document"
  grep -q '^converted_by: Morvane$' "$document" || fail "no converted_by in $document"
done < <(grep '\.md$' "$work/stdout")
report=$(grep '/report\.md$' "$work/stdout") || fail "report.md not written"
grep -q 'pelican' "$report" || fail "PDF text missing"
grep -q '^source: report.pdf$' "$report" || fail "PDF source"
grep -q 'Findings' "$out"/*.md || fail "docx heading missing"
grep -q 'Life jackets under seats' "$out"/*.md || fail "pptx text missing"
grep -q 'Ferry timetable' "$out"/*.md || fail "html text missing"
[ "$(find "$out" -path '*-assets/*' -type f | wc -l)" -ge 2 ] || fail "assets missing"
for document in "$out"/*.md; do
  stem=$(basename "$document" .md)
  if [ -d "$out/$stem-assets" ]; then
    grep -q "]($stem-assets/" "$document" || fail "links of $document not rewritten"
  fi
done
# A missing input makes the run fail, and says why.
env -u DISPLAY "$convert" --out "$out" --no-reveal "$work/in/none.docx" >"$work/stdout" 2>&1 && fail "missing input exit 0"
grep -q "Couldn't read none.docx" "$work/stdout" || fail "missing input message"
echo "end to end: 4 documents written"
