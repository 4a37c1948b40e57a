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

inline QStringList texts(const QList<PDFExtract::Line>& lines) {
    QStringList out;
    for (const PDFExtract::Line& line : lines)
        out.append(line.text);
    return out;
}
