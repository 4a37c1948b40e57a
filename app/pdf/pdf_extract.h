#pragma once

#include <QList>
#include <QString>

// Reads the lines of every page of a PDF, with the dominant font size of each
// line; pages without a text layer are recognised by OCR.
namespace PDFExtract {

struct Line {
    QString text;    // as the page gave it: untrimmed, without line terminator
    double size = 0; // points; whole for text-layer lines, measured for OCR lines

    friend bool operator==(const Line&, const Line&) = default;
};

using Page = QList<Line>;

// Either empty (the file could not be read or parsed) or one entry per page.
// The note says why, or what was found; it belongs to this result only.
struct Extraction {
    QList<Page> pages;
    QString note;
};

// Blocking and thread-safe; never throws. Pages are read in parallel.
Extraction pages(const QString& path);

// A copy of the note of the most recent call of pages().
QString lastNote();

} // namespace PDFExtract
