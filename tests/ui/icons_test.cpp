#include "icon_label.h"
#include "icons.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

// Every picture lands whole and centred in its box, at the ratio of the test
// run (1, and 2 under QT_SCALE_FACTOR=2) and at the ratios asked for here.

namespace {

using Icons::Name;

// The box around the pixels that hold ink.
QRect ink(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 60)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// Whole: the drawing spans most of the box. Centred: within a tenth of it.
void expectWholeAndCentred(const QImage& image, const std::string& what) {
    const QRect box = ink(image);
    const int side = image.width();
    ASSERT_FALSE(box.isEmpty()) << what;
    EXPECT_GE(box.width(), side / 2) << what;
    EXPECT_GE(box.height(), side / 2) << what;
    const QPointF offset = QRectF(box).center() - QRectF(image.rect()).center();
    EXPECT_LE(std::abs(offset.x()), side / 10.0 + 1) << what;
    EXPECT_LE(std::abs(offset.y()), side / 10.0 + 1) << what;
}

const Name shapes[] = {Name::tray, Name::document, Name::copy, Name::open, Name::folder};

std::string describe(Name name, qreal ratio) {
    return "icon " + std::to_string(int(name)) + " at " + std::to_string(ratio);
}

TEST(Icons, tinted_icons_fill_their_box_at_every_ratio) {
    for (const Name name : shapes) {
        const QIcon icon = Icons::tintedIcon(name, Qt::red, Qt::gray);
        for (const qreal ratio : {1.0, 1.5, 2.0, qApp->devicePixelRatio()}) {
            const QPixmap picture = icon.pixmap(QSize(16, 16), ratio);
            EXPECT_EQ(picture.size(), QSize(qRound(16 * ratio), qRound(16 * ratio)));
            EXPECT_DOUBLE_EQ(picture.devicePixelRatio(), ratio);
            expectWholeAndCentred(picture.toImage(), describe(name, ratio));
        }
    }
}

TEST(Icons, disabled_buttons_get_the_disabled_colour) {
    const QIcon icon = Icons::tintedIcon(Name::copy, Qt::red, Qt::blue);
    const QImage disabled = icon.pixmap(QSize(16, 16), 1.0, QIcon::Disabled).toImage();
    const QRect box = ink(disabled);
    ASSERT_FALSE(box.isEmpty());
    bool blue = false;
    for (int x = box.left(); x <= box.right() && !blue; ++x)
        blue = qAlpha(disabled.pixel(x, box.center().y())) > 200 &&
               qBlue(disabled.pixel(x, box.center().y())) > 200;
    EXPECT_TRUE(blue);
}

TEST(Icons, a_label_paints_its_picture_whole_on_a_dense_surface) {
    for (const Name name : {Name::tray, Name::document, Name::application}) {
        IconLabel label(name, 30);
        // The application's own picture keeps its colours.
        if (name != Name::application)
            label.setColor(Qt::black);
        EXPECT_EQ(label.sizeHint().expandedTo(label.minimumSize()), QSize(30, 30));
        for (const qreal ratio : {1.0, 2.0}) {
            QImage surface(QSize(30, 30) * ratio, QImage::Format_ARGB32_Premultiplied);
            surface.setDevicePixelRatio(ratio);
            surface.fill(Qt::transparent);
            label.render(&surface, {}, {}, QWidget::DrawChildren);
            expectWholeAndCentred(surface, describe(name, ratio));
        }
    }
}

} // namespace
