#include "elided_label.h"
#include "qt_printers.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Shortening in the middle is seen in the windows that use the label.
TEST(ElidedLabel, shows_the_whole_text_when_it_fits) {
    ElidedLabel label;
    label.setText(u"Report.md"_s);
    label.resize(label.sizeHint().width() + 10, label.sizeHint().height());
    EXPECT_EQ(label.shownText(), u"Report.md"_s);
}

} // namespace

// Rows of the label's own rendering that hold ink.
int inkedRows(ElidedLabel& label) {
    label.resize(label.sizeHint());
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    label.setTextColor(Qt::black);
    label.render(&image);
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 160) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

TEST(ElidedLabel, draws_underscores_rather_than_clipping_them_to_spaces) {
    for (const qreal points : {7.0, 7.65, 8.0, 9.0, 10.0, 11.0, 13.0}) {
        ElidedLabel label;
        QFont font = label.font();
        font.setPointSizeF(points);
        label.setFont(font);
        label.setText(u"____"_s);
        EXPECT_GT(inkedRows(label), 0) << points;
    }
}
