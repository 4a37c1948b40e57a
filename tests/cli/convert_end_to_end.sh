#!/usr/bin/env bash
# morvane-convert on a PDF, a deck, a letter and a web page, with the real
# converters and no display: four documents, images beside the two that have them.
# Then the command line itself: options, output streams, exit codes, recents.
set -euo pipefail
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh"
start_end_to_end "$@"

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
[ "$(final_status "$work/stderr")" = "Converted 4 files ✓" ] || fail "final status"
# Standard output is the written paths and nothing else; the web engine's
# start-up talk stays out of the terminal.
[ "$(wc -l <"$work/stdout")" -eq 4 ] || fail "four lines on standard output"
[ "$(grep -c '\.md$' "$work/stdout")" -eq 4 ] || fail "four written paths"
if grep -qiE 'graphics backend|WebEngineContext|GL Type|Surface Type' "$work/stderr"; then
  fail "engine start-up diagnostics shown"
fi
# The whole documents, front matter and rewritten picture links included.
while read -r document; do
  expect_golden "$document" "$source_dir/tests/cli/golden/$(basename "$document")" || fail "golden"
done < <(grep '\.md$' "$work/stdout")
# Every picture the documents link to was written beside them.
while read -r link; do
  [ -f "$out/$link" ] || fail "picture $link missing"
done < <(grep -oh '](\([^)]*-assets/[^)]*\))' "$out"/*.md | sed 's/^](\(.*\))$/\1/')
[ "$(find "$out" -path '*-assets/*' -type f | wc -l)" -eq 4 ] || fail "pictures written"
run() {
  rc=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$convert" "$@" >"$work/stdout" 2>"$work/stderr" || rc=$?
}
# A missing input makes the run fail, and says why.
run --out "$out" "$work/in/none.docx"
[ "$rc" -eq 1 ] || fail "missing input: exit $rc"
[ "$(final_status "$work/stderr")" = "Couldn't read none.docx" ] || fail "missing input message"

# Every run adds to the recents the window keeps, newest first, five at most.
[ "$(stored_recents | wc -l)" -eq 4 ] || fail "first run's recents: $(stored_recents)"
run -o "$work/second" "file://localhost$work/in/report.pdf"
[ "$rc" -eq 0 ] || fail "file://localhost argument: exit $rc"
[ "$(cat "$work/stdout")" = "$work/second/report.md" ] || fail "second run's path"
[ "$(stored_recents | head -1)" = "report.md" ] || fail "newest recent: $(stored_recents)"
[ "$(stored_recents | wc -l)" -eq 5 ] || fail "recents after two runs: $(stored_recents)"
# PDFs alone load neither the web engine, the widgets, D-Bus nor the GUI.
LD_DEBUG=libs env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$convert" -o "$work/third" \
  "$work/in/report.pdf" >/dev/null 2>"$work/libraries"
{ grep -q 'libMorvanePdf\.so' "$work/libraries" &&
  ! grep -qE 'lib(Qt6WebEngineCore|Qt6Widgets|Qt6DBus|Qt6Gui|MorvaneGraphical)\.so' "$work/libraries"; } ||
  fail "a PDF-only run loaded graphical libraries"

# Every spelling of the output folder; -- ends the options.
cp "$work/in/report.pdf" "$work/in/-o.pdf"
for spelling in "-o $work/o1" "--out $work/o2" "--out=$work/o3" "-o$work/o4"; do
  # shellcheck disable=SC2086 # the spelling is two words or one on purpose
  run $spelling -- "$work/in/-o.pdf"
  folder=${spelling##* }; folder=${folder#--out=}; folder=${folder#-o}
  { [ "$rc" -eq 0 ] && [ -f "$folder/o.md" ]; } || fail "output folder spelled '$spelling'"
done

# --stdout: the whole document on standard output, no file; pictures only
# with an output folder.
recents=$(stored_recents)
run --stdout "$work/in/deck.pptx"
[ "$rc" -eq 0 ] || fail "--stdout: exit $rc"
[ "$(head -1 "$work/stdout")" = "---" ] || fail "--stdout: no front matter"
grep -q 'Life jackets under seats' "$work/stdout" || fail "--stdout: body missing"
grep -q '!\[' "$work/stdout" || fail "--stdout: picture links dropped"
[ "$(stored_recents)" = "$recents" ] || fail "--stdout recorded a recent"
[ -z "$(find "$HOME" -name '*.md' -o -name '*-assets')" ] || fail "--stdout wrote into the settings' folder"
run --stdout -o "$work/pictures" "$work/in/deck.pptx"
{ [ "$rc" -eq 0 ] && [ "$(head -1 "$work/stdout")" = "---" ]; } || fail "--stdout with --out"
[ -z "$(find "$work/pictures" -name '*.md')" ] || fail "--stdout wrote a document"
[ "$(find "$work/pictures" -path '*-assets/*' -type f | wc -l)" -ge 1 ] || fail "--stdout -o: no pictures"

# The PDF layout: the stored choice, and --pdf-layout over it for one run.
for n in 1 2 3; do
  printf '%s\n' "%%MediaBox 0 0 595 842" "%%Font F1 Helvetica" \
    "BT 72 810 Td /F1 9 Tf (Harbour Authority Annual Report) Tj ET" \
    "BT 72 700 Td /F1 11 Tf (Page $n of the report tells of cormorants and ferries.) Tj ET" \
    "BT 290 30 Td /F1 9 Tf ($n) Tj ET" >"$work/furniture$n.txt"
done
mutool create -o "$work/in/furniture.pdf" "$work/furniture1.txt" "$work/furniture2.txt" "$work/furniture3.txt"
store="$XDG_CONFIG_HOME/Ombrix/Morvane.conf"
printf '\nombrix.morvane.pdfLayout=structured\n' >>"$store"
run --stdout "$work/in/furniture.pdf"
{ [ "$rc" -eq 0 ] && grep -q cormorants "$work/stdout" && ! grep -q 'Harbour Authority' "$work/stdout"; } ||
  fail "stored structured layout"
run --stdout --pdf-layout plain "$work/in/furniture.pdf"
{ [ "$rc" -eq 0 ] && grep -q 'Harbour Authority' "$work/stdout"; } || fail "--pdf-layout plain"
grep -q '^ombrix.morvane.pdfLayout=structured$' "$store" || fail "--pdf-layout changed the stored choice"
sed -i '/^ombrix.morvane.pdfLayout=/d' "$store"
run --stdout --pdf-layout=structured "$work/in/furniture.pdf"
{ [ "$rc" -eq 0 ] && ! grep -q 'Harbour Authority' "$work/stdout"; } || fail "--pdf-layout=structured"

# Help, version and usage errors.
run --help
{ [ "$rc" -eq 0 ] && grep -q '^Usage: morvane-convert' "$work/stdout" && grep -q 'Exit status' "$work/stdout"; } ||
  fail "--help"
run -h
{ [ "$rc" -eq 0 ] && grep -q -- '--stdout' "$work/stdout" && grep -q -- '--pdf-layout plain|structured' "$work/stdout"; } || fail "-h"
run --version
{ [ "$rc" -eq 0 ] && grep -qE '^morvane-convert [0-9]+\.[0-9]+' "$work/stdout"; } || fail "--version"
for wrong in "" "--bogus $work/in/report.pdf" "--out" "--stdout $work/in/report.pdf $work/in/deck.pptx" \
  "--pdf-layout $work/in/report.pdf" "--pdf-layout=fancy $work/in/report.pdf"; do
  # shellcheck disable=SC2086
  run $wrong
  { [ "$rc" -eq 2 ] && [ ! -s "$work/stdout" ] && [ -s "$work/stderr" ]; } || fail "usage error '$wrong': exit $rc"
done
echo "end to end: 4 documents written; options, streams and recents hold"
