#pragma once

#include <QString>
#include <QStringView>

// Backslashes before the characters of a text that a CommonMark reader would
// take for markup: tags, entities, emphasis, code spans, links and block
// starts. Characters that would be read as written are left bare, so the
// text reads the same in the source and when rendered.
namespace MarkdownEscape {

// Text inside a line: a table cell, or what follows a heading's marker.
QString inlineText(QStringView text);

// Text that begins a block of its own: a paragraph or a list item's text.
QString blockText(QStringView text);

// Text after a heading's marker, whose trailing "#"s would be taken off.
QString headingText(QStringView text);

} // namespace MarkdownEscape
