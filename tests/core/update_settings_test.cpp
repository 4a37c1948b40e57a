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

TEST(UpdateSettings, a_host_may_carry_a_port_or_be_an_address) {
    struct Row {
        QString host;
        QString feed;
        QString page;
    };
    for (const Row& row :
         {Row{u"updates.example.com"_s, u"https://updates.example.com/morvane/latest.json"_s,
              u"updates.example.com/morvane"_s},
          Row{u"127.0.0.1:8443"_s, u"https://127.0.0.1:8443/morvane/latest.json"_s,
              u"127.0.0.1:8443/morvane"_s},
          Row{u"[::1]:8443"_s, u"https://[::1]:8443/morvane/latest.json"_s,
              u"[::1]:8443/morvane"_s}}) {
        const QUrl feed = UpdateSettings::feedURL(row.host);
        EXPECT_TRUE(feed.isValid()) << row.host.toStdString();
        EXPECT_EQ(feed.toString(), row.feed);
        EXPECT_EQ(UpdateSettings::productPage(row.host), row.page);
    }
    EXPECT_EQ(UpdateSettings::feedURL(u"127.0.0.1:8443"_s).port(), 8443);
}

} // namespace
