#pragma once

// Shared by the PDF tests: the fixture folder and readable printing of lines.

#include "pdf_extract.h"

#include <QDir>
#include <QStringList>

#include <ostream>

namespace PDFExtract {

inline void PrintTo(const Line& line, std::ostream* out) {
    *out << '{' << '"' << line.text.toStdString() << "\", " << line.size << '}';
}

} // namespace PDFExtract

// A file made by fixtures/make_fixtures.sh into the build tree.
inline QString fixture(const char* name) {
    return QDir(QStringLiteral(MORVANE_PDF_FIXTURES)).filePath(QString::fromLatin1(name));
}

// A 10-point line from x0 to x1 with its top at `top`, on a 600 x 800 page.
inline PDFExtract::Line at(const QString& text, float x0, float x1, float top,
                           bool monospaced = false) {
    PDFExtract::Placement place;
    place.x0 = x0;
    place.x1 = x1;
    place.y0 = top;
    place.y1 = top + 10;
    place.baseline = top + 8;
    place.pageWidth = 600;
    place.pageHeight = 800;
    place.monospaced = monospaced;
    return PDFExtract::Line(text, 10, place);
}

inline QStringList texts(const QList<PDFExtract::Line>& lines) {
    QStringList out;
    for (const PDFExtract::Line& line : lines)
        out.append(line.text);
    return out;
}
