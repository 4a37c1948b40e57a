#include "case_table.h"
#include "update_check.h"

#include "local_http_server.h"
#include "qt_printers.h"

#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QByteArray feedPath = "/morvane/latest.json";

std::optional<UpdateInfo> checkOnce(const QUrl& manifest, const QString& currentVersion,
                                    QNetworkAccessManager& session,
                                    std::chrono::milliseconds timeout = 10s) {
    return QCoro::waitFor(Updater::check(manifest, currentVersion, &session, timeout));
}

const UpdateInfo two{u"2.0"_s, QUrl(u"https://updates.example.com/Morvane-2.0.zip"_s),
                     u"Faster tables."_s};
const QByteArray goodFeed =
    R"({"version":"2.0","url":"https://updates.example.com/Morvane-2.0.zip",)"
    R"("notes":"Faster tables."})";

HttpAnswer jsonAnswer(const QByteArray& body, int delayMs = 0, const QByteArray& extraHeader = {}) {
    HttpAnswer answer{200, {"Content-Type: application/json"}, body};
    if (!extraHeader.isEmpty())
        answer.headers.append(extraHeader);
    answer.delayMs = delayMs;
    return answer;
}

struct FeedCase {
    const char* name;
    int status;
    QByteArray contentType, body;
    std::optional<UpdateInfo> expected;
};

class UpdaterCheckFeed : public testing::TestWithParam<FeedCase> {};

TEST_P(UpdaterCheckFeed, applies_the_feed_rules_to_any_answer) {
    const FeedCase& c = GetParam();
    LocalHttpServer server(LocalHttpServer::Scheme::https);
    server.answers[feedPath] = {c.status, {"Content-Type: " + c.contentType}, c.body};
    QNetworkAccessManager session;

    const std::optional<UpdateInfo> found = checkOnce(server.url(feedPath), u"1.0"_s, session);

    EXPECT_EQ(found.has_value(), c.expected.has_value());
    if (found && c.expected) {
        EXPECT_EQ(*found, *c.expected) << found->version.toStdString();
    }
    EXPECT_EQ(server.requests.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Feeds, UpdaterCheckFeed,
    testing::Values(
        FeedCase{"newer_version", 200, "application/json", goodFeed, two},
        FeedCase{"not_found_status_with_a_good_body", 404, "application/json", goodFeed, two},
        FeedCase{"server_error_status_with_a_good_body", 500, "application/json", goodFeed, two},
        // The feed rules themselves are the feed reader's own tests.
        FeedCase{"html_page", 200, "text/html",
                 "<!doctype html><html><body>version 2.0</body></html>", std::nullopt}),
    caseName);

TEST(UpdaterCheck, yields_nothing_without_a_trusted_answer_in_time) {
    LocalHttpServer server(LocalHttpServer::Scheme::https);
    server.answers[feedPath] = jsonAnswer(goodFeed, 1500);
    QNetworkAccessManager session;
    QUrl otherHost = server.url(feedPath);
    otherHost.setHost(u"localhost"_s); // the certificate is for 127.0.0.1 only
    const QUrl closed(
        u"https://127.0.0.1:%1/morvane/latest.json"_s.arg(LocalHttpServer::closedPort()));

    EXPECT_FALSE(checkOnce(server.url(feedPath), u"1.0"_s, session, 200ms)) << "too slow";
    EXPECT_EQ(server.requests.size(), 1);
    EXPECT_FALSE(checkOnce(otherHost, u"1.0"_s, session)) << "certificate for another host";
    EXPECT_EQ(server.requests.size(), 1);
    EXPECT_FALSE(checkOnce(closed, u"1.0"_s, session)) << "nothing listens";
    EXPECT_FALSE(QCoro::waitFor(Updater::check(server.url(feedPath), u"1.0"_s, nullptr)))
        << "no session";
    // The same feed answered in time is an update: each refusal above was the reason.
    EXPECT_TRUE(checkOnce(server.url(feedPath), u"1.0"_s, session, 5s));
}

TEST(UpdaterCheck, asks_the_server_again_despite_a_cacheable_answer) {
    LocalHttpServer server(LocalHttpServer::Scheme::https);
    const QByteArray cacheable = "Cache-Control: max-age=3600";
    server.answers[feedPath] = jsonAnswer(goodFeed, 0, cacheable);
    QNetworkAccessManager session;
    QTemporaryDir cacheFolder;
    auto* cache = new QNetworkDiskCache(&session);
    cache->setCacheDirectory(cacheFolder.path());
    session.setCache(cache);

    ASSERT_EQ(checkOnce(server.url(feedPath), u"1.0"_s, session)->version, u"2.0"_s);
    server.answers[feedPath] =
        jsonAnswer(R"({"version":"3.0","url":"https://updates.example.com/3.zip"})", 0, cacheable);
    const std::optional<UpdateInfo> second = checkOnce(server.url(feedPath), u"1.0"_s, session);

    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->version, u"3.0"_s);
    EXPECT_EQ(server.requests.size(), 2);
}

} // namespace
