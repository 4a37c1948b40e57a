#!/usr/bin/env bash
# Makes the seed PDFs of fuzz_pdf_extract into tests/fuzz/seeds/fuzz_pdf_extract/
# with mutool: small pages that reach the text layer, the sizes, the reading
# order, a character map, encryption and recognition. The outputs are
# committed; run again only to change them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/fuzz_pdf_extract}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

page() { # page NAME WIDTH HEIGHT: content stream from stdin, Helvetica as F1
  { echo "%%MediaBox 0 0 $2 $3"; echo "%%Font F1 Helvetica"; cat; } >"$1.txt"
}

# A heading over body lines, a hyphen to mend, a ligature and a Latin-1 letter.
page text 200 120 <<'PDF'
BT 10 100 Td /F1 18 Tf (Title) Tj ET
BT 10 80 Td /F1 9 Tf (A body line with a hyph-) Tj ET
BT 10 70 Td /F1 9 Tf (enated word \374ber \223fi\224) Tj ET
BT 10 60 Td /F1 9 Tf (   ) Tj ET
PDF
mutool create -o "$out/text.pdf" text.txt

# Two pages, the second drawn as two columns row by row, compressed.
page first 200 100 <<'PDF'
BT 10 80 Td /F1 10 Tf (First page) Tj ET
PDF
page columns 300 100 <<'PDF'
BT 10 80 Td /F1 8 Tf (Left column line one of the prose) Tj ET
BT 160 80 Td /F1 8 Tf (Right column line one of the prose) Tj ET
BT 10 70 Td /F1 8 Tf (Left column line two of the prose) Tj ET
BT 160 70 Td /F1 8 Tf (Right column line two of the prose) Tj ET
BT 10 60 Td /F1 8 Tf (Left column line three of the prose) Tj ET
BT 160 60 Td /F1 8 Tf (Right column line three of the prose) Tj ET
PDF
mutool create -O compress -o "$out/columns.pdf" first.txt columns.txt

# An image-only page, which goes to recognition.
{ printf 'P5\n8 8\n255\n'; head -c 64 /dev/zero | tr '\0' '\377'; } >blank.pgm
cat >image.txt <<'PDF'
%%MediaBox 0 0 40 40
%%Image I1 blank.pgm
q 32 0 0 32 4 4 cm /I1 Do Q
PDF
mutool create -o "$out/image.pdf" image.txt

# Encrypted with an owner password only: opens with the empty user password.
mutool create -O encrypt=aes-128,owner-password=owner -o "$out/encrypted.pdf" text.txt

# A Japanese font through a UTF-16 character map.
cat >cjk.txt <<'PDF'
%%MediaBox 0 0 120 40
%%CJKFont F2 ja H sans
BT 10 15 Td /F2 12 Tf <30423044> Tj ET
PDF
mutool create -o "$out/cjk.pdf" cjk.txt

# The text page with a ToUnicode map: a pair, two letters for one code, and a
# lone surrogate (H), which the text layer must not pass on.
cat >to_unicode.js <<'JS'
var doc = new PDFDocument(scriptArgs[0]);
var font = doc.findPage(0).get("Resources").get("Font").get("F1");
font.put("ToUnicode", doc.addStream(
  "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n" +
  "/CMapName /Seed def 1 begincodespacerange <00> <FF> endcodespacerange\n" +
  "3 beginbfchar <54> <D800> <65> <0066006C> <6C> <D83DDE00> endbfchar\n" +
  "endcmap CMapName currentdict /CMap defineresource pop end end\n"));
doc.save(scriptArgs[1], "");
JS
mutool run to_unicode.js "$out/text.pdf" "$out/to_unicode.pdf"
