#include "local_http_server.h"
#include "model_fixture.h"
#include "qt_printers.h"

namespace {

class WebTest : public ModelTest {
protected:
    void convert(const QString& text) {
        const int before = pagesEnded;
        model->convertURL(text);
        ASSERT_TRUE(QTest::qWaitFor([&] { return pagesEnded > before; }, 10000));
    }

    // The engine's answer for a page, by its absolute address.
    void answer(const QUrl& page, const ConvertResult& result) {
        fakes->engine[page.toString(QUrl::FullyEncoded)] = result;
    }

    LocalHttpServer server;
};

TEST_F(WebTest, unusable_addresses_are_refused_without_a_task) {
    for (const QString& text : {u""_s, u"   \n"_s, u"ftp://example.com/file"_s,
                                u"example.com/?next=https://other.example/"_s}) {
        statuses.clear();
        model->convertURL(text);
        EXPECT_EQ(statuses, QStringList{u"Not a valid URL"_s}) << text.toStdString();
        EXPECT_FALSE(model->isConverting());
    }
    EXPECT_TRUE(fakes->engineCalls.isEmpty());
}

TEST_F(WebTest, a_page_is_fetched_converted_saved_and_revealed) {
    model->setSettings({outFolder(), true});
    server.answers["/article"] = {200,
                                  {"Content-Type: text/html; charset=utf-8"},
                                  "<h1>Hello</h1><p>Sm\xc3\xb8rrebr\xc3\xb8"
                                  "d</p>"};
    const QUrl page = server.url("/article");
    answer(page, engineText(u"Some article text"_s, u"Hello World"_s));
    convert(u"  "_s + page.toString() + u"\n"_s);

    EXPECT_EQ(statuses, (QStringList{u"Fetching 127.0.0.1…"_s, u"Converted ✓"_s}));
    ASSERT_EQ(fakes->engineCalls.size(), 1);
    EXPECT_EQ(fakes->engineCalls[0].kind, ConvertKind::url);
    EXPECT_EQ(fakes->engineCalls[0].payload, u"<h1>Hello</h1><p>Smørrebrød</p>");
    EXPECT_EQ(fakes->engineCalls[0].name, page.toString(QUrl::FullyEncoded));
    const QString document = out(u"Hello-World.md"_s);
    EXPECT_TRUE(readFile(document).contains("source: " + page.toEncoded() + "\n"));
    EXPECT_EQ(desktop.reveals, QList<QList<QUrl>>{{QUrl::fromLocalFile(document)}});
    EXPECT_FALSE(model->isConverting());
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_TRUE(server.requests[0].contains(
        "User-Agent: Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 "
        "(KHTML, like Gecko) Version/17.0 Safari/605.1.15\r\n"));
}

TEST_F(WebTest, a_scheme_is_added_only_when_there_is_none_and_unanswered_fetches_fail) {
    // Refused at once, long before the usual idle time-out.
    convert(u"http://127.0.0.1:"_s + QString::number(LocalHttpServer::closedPort()) + u"/"_s);
    EXPECT_EQ(statuses.last(), u"Couldn't fetch the page");
    ModelServices services;
    services.pageIdleTimeout = std::chrono::milliseconds(500);
    makeModel(nullptr, std::move(services));
    // No server speaks https here, so an added scheme shows as a failed fetch
    // of the https address.
    convert(u"127.0.0.1:"_s + QString::number(server.port()) + u"/x"_s);
    EXPECT_EQ(statuses.last(), u"Couldn't fetch the page");
    server.answers["/x"] = {200, {}, "<p>x</p>"};
    answer(server.url("/x"), engineText(u"kept http"_s));
    convert(server.url("/x").toString());
    EXPECT_EQ(statuses.last(), u"Converted ✓");
    EXPECT_EQ(server.requests.size(), 1);
    server.answers["/hang"] = {200, {}, {}, true};
    convert(server.url("/hang").toString());
    EXPECT_EQ(model->status(), u"Couldn't fetch the page");
    EXPECT_FALSE(model->isConverting());
}

TEST_F(WebTest, redirects_are_followed_and_links_resolve_where_the_page_is) {
    server.answers["/a"] = {301, {"Location: /b"}, ""};
    server.answers["/b"] = {302, {"Location: /dir/sub/c.html"}, ""};
    server.answers["/dir/sub/c.html"] = {200, {}, "<p>final</p>"};
    answer(server.url("/dir/sub/c.html"), engineText(u"final text"_s));
    convert(server.url("/a").toString());
    EXPECT_EQ(statuses.last(), u"Converted ✓");
    EXPECT_EQ(fakes->engineCalls[0].payload, u"<p>final</p>");
    EXPECT_EQ(server.requests.size(), 3);
    // The document still names the address that was asked for.
    EXPECT_TRUE(
        readFile(out(u"127-0-0-1.md"_s)).contains("source: " + server.url("/a").toEncoded()));
}

TEST_F(WebTest, a_trickling_server_is_cut_off_at_the_deadline) {
    ModelServices services;
    services.pageDeadline = std::chrono::milliseconds(500);
    makeModel(nullptr, std::move(services));
    HttpAnswer slow{200, {}, QByteArray(400, 'a')};
    slow.trickleMs = 50; // never idle, 20 s in all
    server.answers["/slow"] = slow;
    answer(server.url("/slow"), engineText(u"never"_s));
    convert(server.url("/slow").toString());
    EXPECT_EQ(model->status(), u"Couldn't fetch the page");
    EXPECT_TRUE(fakes->engineCalls.isEmpty());
}

TEST_F(WebTest, a_body_beyond_the_ceiling_is_refused) {
    ModelServices services;
    services.maxPageBytes = 1024 * 1024;
    makeModel(nullptr, std::move(services));
    server.answers["/huge"] = {200, {}, QByteArray(2 * 1024 * 1024, 'a')};
    server.answers["/fits"] = {200, {}, QByteArray(1024 * 1024, 'a')};
    answer(server.url("/fits"), engineText(u"fits"_s));
    convert(server.url("/huge").toString());
    EXPECT_EQ(model->status(), u"Couldn't fetch the page");
    // A declared length past the ceiling is refused before any body arrives.
    HttpAnswer declared{200, {}, "<p>"};
    declared.declaredLength = qint64(1) << 40;
    declared.trickleMs = 1000;
    server.answers["/declared"] = declared;
    convert(server.url("/declared").toString());
    EXPECT_EQ(model->status(), u"Couldn't fetch the page");
    convert(server.url("/fits").toString());
    EXPECT_EQ(model->status(), u"Converted ✓");
}

struct PageRow {
    const char* path;
    HttpAnswer server;
    std::optional<ConvertResult> engine;
    QString status;
    QString payload; // what the engine was given; none when it was not asked
};

// Error pages with a body are pages; the header's character set reaches the
// decoder, whose rules are its own tests. Empty Markdown and the engine's own
// errors fail with one message; blank Markdown is saved.
TEST_F(WebTest, each_answer_of_the_server_and_the_engine_has_its_outcome) {
    HttpAnswer cut{200, {"Content-Type: text/html"}, QByteArray(256 * 1024, 'a')};
    cut.cutAfter = 1000;
    const HttpAnswer page{200, {}, "<p>x</p>"};
    const QString unfetched = u"Couldn't fetch the page"_s;
    const QString noArticle = u"Couldn't extract an article from that page"_s;
    const QList<PageRow> rows{
        {"/missing",
         {404, {"Content-Type: text/html"}, "<p>Not found, sorry</p>"},
         engineText(u"Not found"_s),
         u"Converted ✓"_s,
         u"<p>Not found, sorry</p>"_s},
        {"/latin1",
         {200, {"Content-Type: text/html; charset=iso-8859-1"}, "caf\xe9 \x80"},
         engineText(u"a b c"_s),
         u"Converted ✓"_s,
         u"café \u0080"_s},
        {"/binary", {200, {"Content-Type: text/html"}, "\x81\x8d\x8f\xff"}, {}, unfetched, {}},
        {"/no-body", {200, {"Content-Type: text/html"}, ""}, {}, unfetched, {}},
        {"/cut", cut, {}, unfetched, {}},
        {"/empty", page, engineText(QString()), noArticle, u"<p>x</p>"_s},
        {"/error", page, ConvertResult::errorMessage(u"secret engine words"_s), noArticle,
         u"<p>x</p>"_s},
        {"/blank", page, engineText(u"  \n "_s), u"Converted ✓"_s, u"<p>x</p>"_s}};
    for (const PageRow& row : rows) {
        fakes->engineCalls.clear();
        server.answers[row.path] = row.server;
        if (row.engine)
            answer(server.url(row.path), *row.engine);
        convert(server.url(row.path).toString());
        EXPECT_EQ(model->status(), row.status) << row.path;
        EXPECT_FALSE(model->isConverting());
        EXPECT_EQ(fakes->engineCalls.size(), row.payload.isEmpty() ? 0 : 1) << row.path;
        if (!fakes->engineCalls.isEmpty()) {
            EXPECT_EQ(fakes->engineCalls[0].payload, row.payload) << row.path;
        }
    }
    // Only pages converted are saved; an untitled page takes its host as the title.
    EXPECT_EQ(entries(outFolder()).size(), 3);
    EXPECT_TRUE(readFile(out(u"127-0-0-1-3.md"_s)).contains("title: \"127.0.0.1\""));
}

} // namespace
