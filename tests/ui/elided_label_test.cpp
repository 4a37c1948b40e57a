#include "elided_label.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(ElidedLabel, shows_the_whole_text_when_it_fits) {
    ElidedLabel label;
    label.setText(u"Report.md"_s);
    label.resize(label.sizeHint().width() + 10, label.sizeHint().height());
    EXPECT_EQ(label.shownText(), u"Report.md"_s);
}

TEST(ElidedLabel, shortens_in_the_middle_keeping_both_ends) {
    ElidedLabel label;
    const QString path = u"/home/someone/Documents/projects/2026/quarterly/Converted"_s;
    label.setText(path);
    label.resize(label.sizeHint().width() / 2, label.sizeHint().height());
    const QString shown = label.shownText();
    EXPECT_LT(shown.size(), path.size());
    EXPECT_TRUE(shown.startsWith(u"/home"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(u"Converted"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u'…'));
}

TEST(ElidedLabel, asks_for_one_line_only) {
    ElidedLabel label;
    label.setText(u"a\u00a0long name with spaces that could wrap"_s);
    EXPECT_EQ(label.sizeHint().height(), label.fontMetrics().height());
    EXPECT_LT(label.minimumSizeHint().width(), label.sizeHint().width());
}

} // namespace
