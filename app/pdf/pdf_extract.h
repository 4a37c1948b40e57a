#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// Reads the lines of every page of a PDF, with the dominant font size of each
// line; pages without a text layer are recognised by OCR.
namespace PDFExtract {

// Where two pieces of a row, joined into one line, meet: the offset of the
// space between them in the line's text, and the gap's edges on the page.
struct Seam {
    qsizetype at = 0;
    float x0 = 0, x1 = 0;

    friend bool operator==(const Seam&, const Seam&) = default;
};

// Where and in what kind of font a line was set. Read by the structured
// layout only; all zero for a line that carries no place.
struct Placement {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0; // box in points, origin at the page's top left
    float baseline = 0;
    float pageWidth = 0, pageHeight = 0;
    bool bold = false, italic = false, monospaced = false;
    // The line's text is a Markdown block made from the page's drawing (a
    // table or a picture), to be kept as it is.
    bool block = false;
    // Empty unless the line is a row's pieces joined; none in right-to-left
    // text.
    QList<Seam> seams;

    friend bool operator==(const Placement&, const Placement&) = default;
};

struct Line {
    // Lines made with a text and size alone carry no place.
    Line(QString text = {}, double size = 0, Placement place = {})
        : text(std::move(text))
        , size(size)
        , place(place) {}

    QString text;    // as the page gave it: untrimmed, without line terminator
    double size = 0; // points; whole for text-layer lines, measured for OCR lines
    Placement place;

    // Equal as the plain layout sees them: the place is compared by the
    // tests of the layout that reads it.
    friend bool operator==(const Line& a, const Line& b) {
        return a.text == b.text && a.size == b.size;
    }
};

using Page = QList<Line>;

// A horizontal or vertical stroke of the page: a drawn line or a thin filled
// rectangle. Page coordinates in points, origin at the top left.
struct Rule {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool horizontal() const { return y1 - y0 <= x1 - x0; }
    friend bool operator==(const Rule&, const Rule&) = default;
};

// An image placed on the page, as a file: "png" or "jpg".
struct Picture {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QByteArray bytes;
    QString format;
};

// What a page draws besides its text.
struct Drawing {
    QList<Rule> rules;
    QList<Picture> pictures;
};

// Either empty (the file could not be read or parsed) or one entry per page.
// The note says why, or what was found; it belongs to this result only.
struct Extraction {
    QList<Page> pages;
    QList<Drawing> drawings; // one per page when asked for, else empty
    QString note;
};

enum class Content { text, textAndDrawing };

// Blocking and thread-safe; never throws. Pages are read in parallel.
Extraction pages(const QString& path, Content content = Content::text);

// A copy of the note of the most recent call of pages().
QString lastNote();

} // namespace PDFExtract
