#pragma once

#include "pdf_extract.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The second layout of a PDF's lines, for manuals, papers and reports: page
// furniture dropped, paragraphs found from spacing and indents and carried
// across page and column breaks, wrapped headings joined, lists, code and
// footnotes kept as such. Unlike the plain layout it reads where each line
// stands and what kind of font it is set in.
namespace StructuredLayout {

// A band line's text with every run of digits as "#", so that the running
// footers "Page 3 of 40" and "Page 4 of 40" are the same.
QString furnitureKey(QStringView text);

// A line that only numbers its page: "17", "- 17 -", "Page 3", "3 of 40", "iv".
bool isPageNumber(QStringView text);

// The pages without the lines in their top and bottom bands that repeat from
// page to page, and without page numbers there.
QList<PDFExtract::Page> withoutFurniture(const QList<PDFExtract::Page>& pages);

struct ListMarker {
    qsizetype length = 0; // of the marker and the blanks after it in the line's text
    QString markdown;     // "-" for bullets, "3." or "3)" for numbers, "- (a)" for others
};

// The list marker a trimmed line starts with: a bullet glyph, or a number,
// letter or roman numeral followed by "." or ")", or one in parentheses.
std::optional<ListMarker> listMarker(QStringView text);

// "Introduction . . . . . 12" becomes "Introduction 12"; other text as it is.
QString withoutDotLeaders(QStringView text);

// The Markdown body; always ends with exactly one line feed.
QString markdown(const QList<PDFExtract::Page>& pages);

} // namespace StructuredLayout
