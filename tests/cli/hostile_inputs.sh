#!/usr/bin/env bash
# morvane-convert on documents made to hurt it: each one ends with its own
# clear status, writes a sound document or nothing, never crashes or hangs,
# and nothing lands outside the output folder.
set -euo pipefail
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh"
start_end_to_end "$@"
in="$work/in"
out="$work/out"
mkdir -p "$in"

node "$source_dir/tests/cli/fixtures/make_hostile.mjs" "$in" >/dev/null

# page_source FILE TEXT: one A4 page with one line of text.
page_source() {
  printf '%%%%MediaBox 0 0 595 842\n%%%%Font F1 Helvetica\nBT 72 770 Td /F1 11 Tf (%s) Tj ET\n' "$2" >"$1"
}
page_source "$work/p.txt" "Shearwater colony counted at dawn."
mutool create -o "$work/one.pdf" "$work/p.txt"
head -c "$(($(stat -c %s "$work/one.pdf") * 2 / 3))" "$work/one.pdf" >"$in/truncated.pdf"
mutool clean -E aes-256 -U secret -O owner "$work/one.pdf" "$in/needs-password.pdf"
mutool clean -E aes-128 -O owner "$work/one.pdf" "$in/owner-only.pdf"
# 10 000 pages: a hundred pages merged a hundred times.
for p in $(seq 1 100); do page_source "$work/page-$p.txt" "Guillemot ledge page $p."; done
mutool create -o "$work/hundred.pdf" "$work/page-"{1..100}.txt
hundreds=()
for _ in $(seq 1 100); do hundreds+=("$work/hundred.pdf"); done
mutool merge -o "$in/pages-10000.pdf" "${hundreds[@]}"
# The largest page a PDF may have, with nothing but a drawing on it: it is
# rendered for recognition, within the pixel ceiling.
printf '%%%%MediaBox 0 0 14400 14400\n0.5 g 100 100 2000 2000 re f\n' >"$work/huge.txt"
mutool create -o "$in/huge-page.pdf" "$work/huge.txt"

# Special files that would block or never end if they were read.
mkfifo "$in/pipe.pdf" "$in/pipe.html"
ln -s /dev/zero "$in/zero.pdf"
ln -s /dev/zero "$in/zero.docx"

# Hostile file names, each on a small PDF.
names=("with space.pdf" "quote\"and'apostrophe.pdf" $'new\nline.pdf' "-leading-dash.pdf"
       $'caf\xe9-latin1.pdf' "$(printf 'n%.0s' $(seq 1 246)).pdf")
for name in "${names[@]}"; do cp "$work/one.pdf" "$in/$name"; done

touch "$work/before"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run FILE: converts one file alone; sets rc, status (the last stdout line)
# and written (the paths printed).
run() {
  rm -rf "$out"
  rc=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 300 "$convert" --out "$out" --no-reveal -- "$1" \
    >"$work/stdout" 2>"$work/stderr" || rc=$?
  status=$(final_status "$work/stderr")
  written=$(grep -c '\.md$' "$work/stdout" || true)
  if [ "$rc" -gt 1 ]; then
    fail "$(basename "$1"): exit status $rc"; tail -5 "$work/stderr"
  fi
}

# expect_nothing FILE STATUS: refused with exactly this status, nothing written.
expect_nothing() {
  run "$in/$1"
  [ "$rc" -eq 1 ] || fail "$1: exit status $rc, expected 1"
  [ "$status" = "$2" ] || fail "$1: status '$status', expected '$2'"
  if [ -d "$out" ] && [ -n "$(ls -A "$out")" ]; then fail "$1: wrote $(ls -A "$out")"; fi
}

# expect_document FILE PATTERN [COUNT]: one sound document whose body holds
# the pattern (at least COUNT times).
expect_document() {
  run "$in/$1"
  [ "$rc" -eq 0 ] || { fail "$1: exit status $rc ($status)"; return; }
  [ "$status" = "Converted ✓" ] || fail "$1: status '$status'"
  [ "$written" -eq 1 ] || { fail "$1: $written documents"; return; }
  local document
  document=$(grep '\.md$' "$work/stdout")
  case "$document" in "$out"/*) ;; *) fail "$1: written outside the folder: $document" ;; esac
  [ "$(head -1 "$document")" = "---" ] || fail "$1: no front matter"
  local found
  found=$(grep -c -- "$2" "$document" || true)
  [ "$found" -ge "${3:-1}" ] || fail "$1: '$2' found $found times"
}

expect_nothing zero-pages.pdf "No text found in zero-pages.pdf [0p · 0 lines (text 0, ocr 0 on 0p)]"
expect_nothing needs-password.pdf "No text found in needs-password.pdf [not a readable PDF ($(stat -c %s "$in/needs-password.pdf") bytes)]"
expect_document owner-only.pdf "Shearwater colony"
expect_document missing-font.pdf "cormorant"
expect_document pages-10000.pdf "^Guillemot ledge page" 10000
run "$in/huge-page.pdf"
case "$status" in "No text found in huge-page.pdf ["*"1p · "*) ;; *) fail "huge-page.pdf: status '$status'" ;; esac
# A cut file is either mended or refused, but always told.
run "$in/truncated.pdf"
case "$status" in "Converted ✓" | "No text found in truncated.pdf"*) ;; *) fail "truncated.pdf: status '$status'" ;; esac

for name in pipe.pdf pipe.html zero.pdf zero.docx; do
  expect_nothing "$name" "Couldn't read $name"
done

expect_nothing bomb.docx "Engine error: the document is too large once unpacked (over 512 MB) — bomb.docx"
expect_nothing entities.pptx "Engine error: slide 1: unreadable XML — entities.pptx"
# The Word reader's own words for these vary: an engine error naming the file.
for name in entities.docx nested.docx; do
  run "$in/$name"
  [[ "$rc" -eq 1 && "$status" == "Engine error: "*" — $name" ]] || fail "$name: $rc '$status'"
  if [ -d "$out" ] && [ -n "$(ls -A "$out")" ]; then fail "$name: wrote $(ls -A "$out")"; fi
done
expect_document slides-5000.pptx "^## Harbour slide" 5000
expect_document nested.html "^Deep inside\.$"

for name in "${names[@]}"; do
  run "$in/$name"
  if [[ "$name" == *$'\xe9'* ]]; then
    # Names that are not UTF-8 cannot be spelled by the toolkit: told, not converted.
    [[ "$status" == *"[couldn't read the file"* || "$status" == "Couldn't read "* || "$status" == "Converted ✓" ]] ||
      fail "latin-1 name: '$status'"
    continue
  fi
  { [ "$rc" -eq 0 ] && [ "$written" -eq 1 ]; } || { fail "name '$name': $rc '$status'"; continue; }
  document=$(grep '\.md$' "$work/stdout")
  [ "$(dirname "$document")" = "$out" ] || fail "name '$name': written as $document"
  grep -q "Shearwater colony" "$document" || fail "name '$name': body missing"
done

# Nothing outside the output folder and the scratch home changed.
stray=$(find "$work" -newer "$work/before" -not -path "$out*" -not -path "$work/home*" \
  -not -name stdout -not -name stderr -not -path "$work")
[ -z "$stray" ] || fail "written outside the output folder: $stray"

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "hostile inputs: every one told, nothing lost or stray"
