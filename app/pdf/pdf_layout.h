#pragma once

#include "pdf_extract.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Turns the lines of a PDF's pages into a Markdown body: body size, headings
// of three levels by size, one paragraph per run of other lines on a page.
namespace PDFLayout {

struct SizeStats {
    int bodySize = 0;
    QSet<int> headingSizes; // every member is greater than bodySize
};

// A size rounded to the nearest point, halves away from zero; 0 for sizes
// that are not finite.
int sizeKey(double size);

SizeStats sizeStats(const QList<PDFExtract::Line>& lines);

// `text` is the trimmed, non-empty line text.
bool isHeading(QStringView text, double size, const SizeStats& stats);

// "#", "##" or "###" by the unrounded ratio of `size` to the body size.
QString headingMarker(double size, int bodySize);

// Closes the open paragraph: its lines joined and collapsed become one block
// unless empty; `para` is left empty either way.
void flushPara(QStringList& para, QStringList& blocks);

// True when `previous` ends in a word split by a hyphen that `next` goes on
// with: a lowercase letter and "-", then a lowercase letter.
bool joinsSplitWord(QStringView previous, QStringView next);

// The Markdown body; always ends with exactly one line feed.
QString markdown(const QList<PDFExtract::Page>& pages);

} // namespace PDFLayout
