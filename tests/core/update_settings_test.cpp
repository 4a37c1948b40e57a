#include "update_settings.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(UpdateSettings, feed_is_https_on_the_update_host_under_morvane) {
    const QUrl feed = UpdateSettings::feedURL();
    EXPECT_EQ(feed.scheme(), u"https"_s);
    EXPECT_EQ(feed.host(), UpdateSettings::updateHost());
    EXPECT_EQ(feed.path(), u"/morvane/latest.json"_s);
    EXPECT_FALSE(UpdateSettings::updateHost().isEmpty());
}

TEST(UpdateSettings, product_page_is_the_feed_folder_without_scheme) {
    EXPECT_EQ(UpdateSettings::productPage(), UpdateSettings::updateHost() + u"/morvane"_s);
    EXPECT_EQ(u"https://"_s + UpdateSettings::productPage() + u"/latest.json"_s,
              UpdateSettings::feedURL().toString());
}

} // namespace
