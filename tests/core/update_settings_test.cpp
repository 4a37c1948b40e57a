#include "update_settings.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The built-in host follows the same rules as any other.
TEST(UpdateSettings, the_configured_host_gives_the_feed_and_product_page) {
    EXPECT_FALSE(UpdateSettings::updateHost().isEmpty());
    EXPECT_EQ(UpdateSettings::feedURL(), UpdateSettings::feedURL(UpdateSettings::updateHost()));
    EXPECT_EQ(UpdateSettings::productPage(),
              UpdateSettings::productPage(UpdateSettings::updateHost()));
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
