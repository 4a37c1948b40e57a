#include "recent.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(Recent, is_named_after_its_document_and_lists_round_trip_in_order) {
    const QList<Recent> recents{{u"b.md"_s, u"/x/b.md"_s}, {u"ä \"q\".md"_s, u"/x/ä \"q\".md"_s}};
    EXPECT_EQ(Recent::listFromJson(Recent::listToJson(recents)), recents);
    EXPECT_EQ(Recent::listToJson({}), QByteArray("[]"));
    // Named after the document, identified by its path.
    const Recent recent = Recent::forDocument(QUrl::fromLocalFile(u"/x/a b.md"_s));
    EXPECT_EQ(recent, (Recent{u"a b.md"_s, u"/x/a b.md"_s}));
    EXPECT_EQ(recent.id(), recent.path);
}

TEST(Recent, any_bad_entry_fails_the_whole_list) {
    EXPECT_FALSE(Recent::listFromJson("{}"));
    EXPECT_FALSE(Recent::listFromJson("not json"));
    EXPECT_FALSE(Recent::listFromJson(R"([{"name":"a.md"}])"));
    EXPECT_FALSE(Recent::listFromJson(R"([{"name":"a.md","path":"/a.md"},"x"])"));
    EXPECT_FALSE(Recent::listFromJson(R"([{"name":1,"path":"/a.md"}])"));
    const auto extra = Recent::listFromJson(R"([{"name":"a.md","path":"/a.md","more":1}])");
    ASSERT_TRUE(extra);
    EXPECT_EQ(extra->size(), 1);
}

} // namespace
