#pragma once

#include <QString>

// The shape of every output file and the name it is saved under. Pure
// functions of their arguments; they never fail.
namespace Convert {

// A file-name stem: at most 80 user-perceived characters from a small allowed
// set, never empty ("converted" when nothing is left). `text` is used unless it
// is blank, then `fallback`.
QString slug(const QString& text, const QString& fallback);

// The YAML block that opens every document, ending with a line feed. Only the
// title is quoted and escaped; source and date are written as given.
QString frontMatter(const QString& title, const QString& source, const QString& date);

// Front matter, a level-one heading when there is a title, then the body
// unchanged, each part separated by one empty line, ending with a line feed.
QString document(const QString& title, const QString& source, const QString& date,
                 const QString& markdown);

} // namespace Convert
