#include "fuzz_input.h"

#include "pdf_layout.h"
#include "reading_order.h"
#include "structured_layout.h"
#include "text_layer.h"
#include "text_repair.h"
#include "unicode.h"

#include <QHash>

#include <algorithm>
#include <cmath>

using FuzzInput::check;
using FuzzInput::checkTidy;

namespace {

bool isCollapsible(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

QString withoutCollapsible(QStringView text) {
    QString kept;
    for (QChar c : text)
        if (!isCollapsible(c))
            kept.append(c);
    return kept;
}

void checkRepairs(QStringView text) {
    const bool valid = text.isValidUtf16();

    const QString collapsed = PDFLayout::collapseWs(text);
    check(!collapsed.contains(u'\t') && !collapsed.contains(u'\n') && !collapsed.contains(u'\r'),
          "collapseWs: no tab, line feed or return left");
    check(!collapsed.contains(u"  "), "collapseWs: no run of spaces");
    check(!collapsed.startsWith(u' ') && !collapsed.endsWith(u' '), "collapseWs: no edge space");
    check(withoutCollapsible(collapsed) == withoutCollapsible(text),
          "collapseWs: every other character kept in order");
    check(PDFLayout::collapseWs(collapsed) == collapsed, "collapseWs: idempotent");

    const QString repaired = PDFLayout::fixLigatures(text);
    if (valid)
        check(repaired.isValidUtf16(), "fixLigatures: valid UTF-16 stays valid");
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0xFB00 && u <= 0xFB06) || u == 0x019F || u == 0x01A9 || u == 0x0147 ||
               u == 0x014C || u == 0x00AF || u == 0x00CA || u == 0x00C2;
    });
    if (plain)
        check(repaired == text, "fixLigatures: text without ligatures or tell-tales unchanged");

    const QString tidied = PDFLayout::tidy(text);
    checkTidy(tidied, valid);
    check(PDFLayout::tidy(tidied) == tidied, "tidy: idempotent");
}

QByteArray lineKey(const PDFExtract::PlacedLine& placed) {
    QByteArray key(reinterpret_cast<const char*>(placed.line.text.constData()),
                   placed.line.text.size() * 2);
    const double numbers[] = {placed.line.size, placed.box.x0, placed.box.y0, placed.box.x1,
                              placed.box.y1};
    key.append(reinterpret_cast<const char*>(numbers), sizeof numbers);
    return key;
}

bool isPermutation(const QList<PDFExtract::PlacedLine>& a, const QList<PDFExtract::PlacedLine>& b) {
    if (a.size() != b.size())
        return false;
    QHash<QByteArray, qsizetype> counts;
    for (const PDFExtract::PlacedLine& placed : a)
        ++counts[lineKey(placed)];
    for (const PDFExtract::PlacedLine& placed : b)
        if (--counts[lineKey(placed)] < 0)
            return false;
    return true;
}

bool isLineTerminator(QChar c) {
    return c == u'\n' || c == u'\r' || c == u'\x85' || c == u'\u2028' || c == u'\u2029';
}

// Records: a header byte (0x80 starts a new page, 0x40 reads three-byte code
// points, 0x20 marks glyphs without a font), a size, a box of four bytes, a
// glyph count, then the glyphs.
struct Decoded {
    QList<PDFExtract::Page> pages;              // the lines as recorded
    QList<QList<PDFExtract::RawLine>> rawPages; // the same as engine lines
};

Decoded decode(FuzzInput::Reader& in) {
    Decoded decoded;
    while (!in.atEnd()) {
        const uint8_t header = in.byte();
        if (decoded.pages.isEmpty() || (header & 0x80)) {
            decoded.pages.append(PDFExtract::Page());
            decoded.rawPages.append(QList<PDFExtract::RawLine>());
        }
        const double size = in.size();
        PDFExtract::RawLine raw;
        raw.box.x0 = in.byte() * 3.0 - 100;
        raw.box.y0 = in.byte() * 4.0 - 100;
        raw.box.x1 = raw.box.x0 + static_cast<int8_t>(in.byte()) * 4.0;
        raw.box.y1 = raw.box.y0 + static_cast<int8_t>(in.byte());
        if (header & 0x10)
            raw.box.x0 = std::nan("");
        const int glyphs = in.byte() % 64;
        QString text;
        for (int i = 0; i < glyphs && !in.atEnd(); ++i) {
            char32_t codePoint = in.byte();
            codePoint |= char32_t(in.byte()) << 8;
            if (header & 0x40)
                codePoint |= char32_t(in.byte()) << 16;
            PDFExtract::Glyph glyph{codePoint, size, !(header & 0x20)};
            glyph.bold = header & 0x08;
            glyph.italic = header & 0x04;
            glyph.monospaced = header & 0x02;
            raw.glyphs.append(glyph);
            if (codePoint <= 0xFFFF)
                text.append(QChar(static_cast<char16_t>(codePoint)));
            else
                text.append(QStringView(QChar::fromUcs4(codePoint & 0xFFFFF)));
        }
        decoded.pages.last().append({text, size});
        decoded.rawPages.last().append(raw);
    }
    return decoded;
}

} // namespace

// The text repairs on the whole input as UTF-16, then the layout on lines and
// engine lines decoded from it: each keeps its documented guarantees.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkRepairs(FuzzInput::Reader(data, size).utf16(size / 2));

    FuzzInput::Reader in(data, size);
    const Decoded decoded = decode(in);
    bool validLines = true;
    for (const PDFExtract::Page& page : decoded.pages)
        for (const PDFExtract::Line& line : page)
            validLines = validLines && line.text.isValidUtf16();
    checkTidy(PDFLayout::markdown(decoded.pages), validLines);

    QList<PDFExtract::Page> extracted;
    for (const QList<PDFExtract::RawLine>& rawPage : decoded.rawPages) {
        const QList<PDFExtract::PlacedLine> placed = PDFExtract::textLines(rawPage);
        for (const PDFExtract::PlacedLine& line : placed) {
            check(line.line.text.isValidUtf16(), "textLines: valid UTF-16");
            check(!Unicode::isBlank(line.line.text), "textLines: no blank line");
            check(std::none_of(line.line.text.begin(), line.line.text.end(), isLineTerminator),
                  "textLines: no line terminator inside a line");
            check(std::isfinite(line.line.size), "textLines: a finite size");
        }
        const QList<PDFExtract::PlacedLine> ordered = PDFExtract::readingOrder(placed);
        check(isPermutation(placed, ordered), "readingOrder: the same lines, reordered");
        PDFExtract::Page page;
        for (PDFExtract::PlacedLine line : ordered) {
            line.line.place.pageWidth = 612;
            line.line.place.pageHeight = 792;
            page.append(line.line);
        }
        extracted.append(page);
    }
    checkTidy(PDFLayout::markdown(extracted), true);
    checkTidy(StructuredLayout::markdown(decoded.pages), validLines);
    checkTidy(StructuredLayout::markdown(extracted), true);
    return 0;
}
