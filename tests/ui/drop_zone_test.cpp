#include "drop_zone.h"
#include "qt_printers.h"

#include <QMimeData>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(DropZone, takes_the_local_files_of_a_drag_in_item_order) {
    QMimeData data;
    const QList<QUrl> files{QUrl::fromLocalFile(u"/tmp/b.pdf"_s),
                            QUrl::fromLocalFile(u"/tmp/a b/ä.docx"_s),
                            QUrl::fromLocalFile(u"/tmp/c.html"_s)};
    data.setUrls(files);
    EXPECT_EQ(DropZone::urls(&data), files);
}

TEST(DropZone, skips_items_that_are_not_local_files) {
    QMimeData data;
    data.setUrls({QUrl(u"https://example.com/x.pdf"_s), QUrl::fromLocalFile(u"/tmp/a.pdf"_s),
                  QUrl(u"mailto:someone@example.com"_s)});
    EXPECT_EQ(DropZone::urls(&data), QList<QUrl>{QUrl::fromLocalFile(u"/tmp/a.pdf"_s)});
}

TEST(DropZone, finds_nothing_in_text_or_an_empty_drag) {
    QMimeData text;
    text.setText(u"file:///tmp/a.pdf"_s);
    EXPECT_TRUE(DropZone::urls(&text).isEmpty());
    QMimeData empty;
    EXPECT_TRUE(DropZone::urls(&empty).isEmpty());
    EXPECT_TRUE(DropZone::urls(nullptr).isEmpty());
}

} // namespace
