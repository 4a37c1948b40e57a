#pragma once

#include <QString>
#include <QStringView>

// The repairs the layout pass applies to text taken from a PDF's text layer.
// Pure functions; the only state is a table built once on first use.
namespace PDFLayout {

// Runs of space, tab, line feed and carriage return become one space; leading
// and trailing runs vanish. Other white space is kept.
QString collapseWs(QStringView text);

// Replaces ligature glyphs (and the letters that stand in for them) by their
// letters, then re-decodes the whole text as Windows-1252 when it shows the
// marks of having been read as Mac OS Roman.
QString fixLigatures(QStringView text);
// The same, reusing the text's own storage when nothing needs repair.
QString fixLigatures(QString&& text);

// Trailing spaces and tabs off every line, at most one blank line in a row, no
// blank start or end, and exactly one final line feed.
QString tidy(QStringView text);
// The same, in the text's own storage.
QString tidy(QString&& text);

} // namespace PDFLayout
