#include "fuzz_input.h"

#include "pdf_extract_p.h"
#include "pdf_layout.h"
#include "structured_document.h"

#include <QSet>

#include <cmath>

using namespace Qt::StringLiterals;
using FuzzInput::check;

// Extraction of a PDF held in memory, on one thread: either nothing with the
// reason, or one entry per page of well-formed lines and a note that counts
// them, with its drawing; the layouts of what came out keep their own rules.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const PDFExtract::Extraction extraction =
        PDFExtract::extractBytes(bytes, 1, {}, PDFExtract::Content::textAndDrawing);

    if (extraction.pages.isEmpty()) {
        check(extraction.note == u"not a readable PDF (%1 bytes)"_s.arg(size) ||
                  extraction.note.startsWith(u"0p \u00B7 "_s),
              "extractBytes: no pages only with the reason");
        return 0;
    }
    check(extraction.pages.size() <= qMax<qsizetype>(bytes.size(), 1),
          "extractBytes: no more pages than bytes");
    qsizetype lines = 0;
    for (const PDFExtract::Page& page : extraction.pages) {
        for (const PDFExtract::Line& line : page) {
            check(line.text.isValidUtf16(), "extractBytes: valid UTF-16 lines");
            check(std::isfinite(line.size), "extractBytes: finite sizes");
        }
        lines += page.size();
    }
    check(extraction.note.startsWith(
              u"%1p \u00B7 %2 lines "_s.arg(extraction.pages.size()).arg(lines)),
          "extractBytes: the note counts the pages and lines");

    FuzzInput::checkTidy(PDFLayout::markdown(extraction.pages), true);
    check(extraction.drawings.size() == extraction.pages.size(),
          "extractBytes: one drawing per page");
    const StructuredLayout::Document document = StructuredLayout::document(extraction);
    QSet<QString> names;
    for (const StructuredLayout::Asset& asset : document.assets) {
        check(!asset.bytes.isEmpty() && !names.contains(asset.name),
              "document: assets with bytes and names of their own");
        names.insert(asset.name);
    }
    FuzzInput::checkTidy(document.markdown, true);
    return 0;
}
