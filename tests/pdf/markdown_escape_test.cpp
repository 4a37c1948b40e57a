#include "markdown_escape.h"

#include "golden.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Each line of golden/markup.txt as the text of a block, inside a line and
// of a heading: escaped only where a reader would take it for markup (tags,
// emphasis pairs, code spans, links, entities, block starts), and left as
// written elsewhere (a lone star, an underscore in a word, "3<4").
TEST(MarkdownEscape, escapes_only_what_would_be_read_as_markup) {
    const QString golden = QStringLiteral(MORVANE_PDF_GOLDEN "/markup");
    QString dump;
    for (const QString& line : QString::fromUtf8(readFile(golden + u".txt"_s)).split(u'\n')) {
        if (!line.isEmpty())
            dump += line + u"\n  block: "_s + MarkdownEscape::blockText(line) + u"\n  inline: "_s +
                    MarkdownEscape::inlineText(line) + u"\n  heading: "_s +
                    MarkdownEscape::headingText(line) + u'\n';
    }
    expectGolden(golden + u".md"_s, dump);
}

} // namespace
