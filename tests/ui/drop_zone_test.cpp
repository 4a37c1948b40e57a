#include "drop_zone.h"
#include "qt_printers.h"

#include <QMimeData>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(DropZone, takes_the_local_files_of_a_drag_in_item_order_and_nothing_else) {
    QMimeData data;
    const QList<QUrl> files{QUrl::fromLocalFile(u"/tmp/b.pdf"_s),
                            QUrl::fromLocalFile(u"/tmp/a b/ä.docx"_s),
                            QUrl::fromLocalFile(u"/tmp/c.html"_s)};
    data.setUrls({QUrl(u"https://example.com/x.pdf"_s), files[0], files[1],
                  QUrl(u"mailto:someone@example.com"_s), files[2]});
    EXPECT_EQ(DropZone::urls(&data), files);
    QMimeData text;
    text.setText(u"file:///tmp/a.pdf"_s);
    EXPECT_TRUE(DropZone::urls(&text).isEmpty());
    EXPECT_TRUE(DropZone::urls(nullptr).isEmpty());
}

} // namespace
