#include "convert_engine.h"

#include "qt_printers.h"
#include "render_processes.h"
#include "test_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QUrl testPage(const QString& name) {
    return QUrl::fromLocalFile(
        QDir(QStringLiteral(MORVANE_TEST_PAGES)).filePath(name + u".html"_s));
}

ConvertResult run(ConvertEngine& engine, ConvertKind kind, const QString& payload,
                  const QString& name = u"input"_s) {
    return QCoro::waitFor(engine.convert(kind, payload, name));
}

std::string errorOf(const ConvertResult& result) {
    return result.error ? result.error->toStdString() : std::string("(none)");
}

struct Misbehaviour {
    const char* page;
    QString payload, error;
};

class ConvertEngineMisbehaving : public testing::TestWithParam<Misbehaviour> {};

} // namespace

TEST_P(ConvertEngineMisbehaving, turns_the_answer_into_an_error_result) {
    ConvertEngine engine(testPage(QString::fromLatin1(GetParam().page)), nullptr);
    const ConvertResult result = run(engine, ConvertKind::html, GetParam().payload);
    EXPECT_EQ(result, ConvertResult::errorMessage(GetParam().error)) << errorOf(result);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ConvertEngineMisbehaving,
    testing::Values(Misbehaviour{"returns_42", u"x"_s, u"engine returned non-string"_s},
                    // 768 bytes travel as 1024 base64 characters
                    Misbehaviour{"returns_nothing", QString(768, u'a'),
                                 u"engine returned nil (in 1024b)"_s},
                    Misbehaviour{"returns_abc", u"x"_s, u"bad base64 back (3 chars)"_s},
                    Misbehaviour{"returns_hello", u"x"_s, u"bad JSON back (5 bytes)"_s},
                    Misbehaviour{"returns_cafe", u"x"_s, u"bad base64 back (4 chars)"_s},
                    Misbehaviour{"returns_short_bytes", u"x"_s, u"bad answer back (4 bytes)"_s},
                    Misbehaviour{"throws", u"x"_s, u"RangeError: boom at the quay"_s},
                    Misbehaviour{"throws_text", u"x"_s, u"Zeebrügge closed"_s},
                    Misbehaviour{"no_such_page", u"x"_s, u"engine page did not load"_s}),
    [](const testing::TestParamInfo<Misbehaviour>& info) { return std::string(info.param.page); });

// A page with only the contract's entry gets every payload, of every kind, as
// the base64 of its UTF-8 bytes; the title it answers is the kind, the
// warning the name.
TEST(ConvertEngine, sends_base64_of_utf8_and_completes_calls_made_before_the_load) {
    ConvertEngine engine(testPage(u"echo"_s), nullptr);
    ASSERT_FALSE(engine.isLoaded());
    QSignalSpy loaded(&engine, &ConvertEngine::loadedChanged);
    auto first = engine.convert(ConvertKind::url, u"é"_s, u"https://a.example/é"_s);
    auto second = engine.convert(ConvertKind::pptx, u"two"_s, u"b"_s);
    auto third = engine.convert(ConvertKind::html, u"three"_s, u"c"_s);
    const ConvertResult results[] = {QCoro::waitFor(first), QCoro::waitFor(second),
                                     QCoro::waitFor(third)};
    EXPECT_TRUE(engine.isLoaded());
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_EQ(results[0].error, std::nullopt) << errorOf(results[0]);
    EXPECT_EQ(results[0].markdown, u"w6k="_s);
    EXPECT_EQ(results[0].title, u"url"_s);
    EXPECT_EQ(results[0].warnings, QStringList{u"https://a.example/é"_s});
    EXPECT_EQ(results[1].markdown, QString::fromLatin1(QByteArray("two").toBase64()));
    EXPECT_EQ(results[2].markdown, QString::fromLatin1(QByteArray("three").toBase64()));
    EXPECT_EQ(results[2].warnings, QStringList{u"c"_s});

    // once loaded, a call goes straight to the page
    EXPECT_EQ(run(engine, ConvertKind::html, u"four"_s).markdown,
              QString::fromLatin1(QByteArray("four").toBase64()));
}

TEST(ConvertEngine, lets_other_calls_complete_while_one_never_answers) {
    auto engine = std::make_unique<ConvertEngine>(testPage(u"echo"_s), nullptr);
    auto hanging = engine->convert(ConvertKind::html, u"wait"_s, u"hang"_s);
    const ConvertResult other = run(*engine, ConvertKind::html, u"go"_s, u"b"_s);
    EXPECT_EQ(other.markdown, u"Z28="_s);
    EXPECT_FALSE(hanging.isReady());

    // a caller still waiting when the engine closes or is destroyed is
    // answered through the event loop, not forgotten and not from inside the
    // engine; a closed engine, as when the event loop has quit, turns later
    // calls away
    engine->close();
    EXPECT_FALSE(hanging.isReady());
    EXPECT_EQ(QCoro::waitFor(hanging).error, u"engine closed"_s);
    EXPECT_EQ(run(*engine, ConvertKind::html, u"late"_s).error, u"engine closed"_s);
    engine = std::make_unique<ConvertEngine>(testPage(u"echo"_s), nullptr);
    auto orphaned = engine->convert(ConvertKind::html, u"wait"_s, u"hang"_s);
    EXPECT_EQ(run(*engine, ConvertKind::html, u"go"_s).markdown, u"Z28="_s);
    engine.reset();
    EXPECT_FALSE(orphaned.isReady());
    EXPECT_EQ(QCoro::waitFor(orphaned).error, u"engine closed"_s);
}

TEST(ConvertEngine, survives_a_caller_that_stopped_waiting) {
    auto engine = std::make_unique<ConvertEngine>(testPage(u"echo"_s), nullptr);
    {
        auto forgotten = engine->convert(ConvertKind::html, u"wait"_s, u"hang"_s);
        EXPECT_EQ(run(*engine, ConvertKind::html, u"a"_s).markdown, u"YQ=="_s);
    }
    { auto forgotten = engine->convert(ConvertKind::html, u"late"_s, u"b"_s); }
    EXPECT_EQ(run(*engine, ConvertKind::html, u"c"_s).markdown, u"Yw=="_s);
    engine.reset();
}

TEST(ConvertEngine, carries_payloads_and_answers_larger_than_one_message) {
    ConvertEngine engine(testPage(u"echo"_s), nullptr);
    const QString payload(5 * 1024 * 1024, u'q');
    const ConvertResult sent = run(engine, ConvertKind::html, payload, u"big"_s);
    EXPECT_EQ(sent.markdown, QString::fromLatin1(payload.toLatin1().toBase64()));
    const ConvertResult answered = run(engine, ConvertKind::html, u"x"_s, u"huge"_s);
    EXPECT_EQ(answered.markdown.size(), 9 * 1024 * 1024);
}

TEST(ConvertEngine, tries_the_page_again_on_the_next_call_after_a_failed_load) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"host.html"_s);
    ConvertEngine engine(QUrl::fromLocalFile(path), nullptr);
    EXPECT_EQ(run(engine, ConvertKind::html, u"x"_s).error, u"engine page did not load"_s);
    EXPECT_FALSE(engine.isLoaded());

    ASSERT_TRUE(QFile::copy(testPage(u"echo"_s).toLocalFile(), path));
    const ConvertResult result = run(engine, ConvertKind::html, u"x"_s);
    EXPECT_EQ(result.error, std::nullopt) << errorOf(result);
    EXPECT_EQ(result.markdown, u"eA=="_s);
    EXPECT_TRUE(engine.isLoaded());
}

TEST(ConvertEngine, answers_waiting_calls_when_the_page_process_dies_and_recovers) {
    ConvertEngine engine(testPage(u"echo"_s), nullptr);
    ASSERT_EQ(run(engine, ConvertKind::html, u"x"_s).markdown, u"eA=="_s);
    auto hanging = engine.convert(ConvertKind::html, u"wait"_s, u"hang"_s);
    QSignalSpy changed(&engine, &ConvertEngine::loadedChanged);

    const QList<int> renderers = renderProcesses();
    ASSERT_FALSE(renderers.isEmpty());
    for (int pid : renderers)
        ::kill(pid, SIGKILL);
    const ConvertResult lost = QCoro::waitFor(hanging);
    EXPECT_EQ(lost.error, u"engine process ended"_s);
    EXPECT_FALSE(engine.isLoaded());

    const ConvertResult again = run(engine, ConvertKind::html, u"y"_s);
    EXPECT_EQ(again.error, std::nullopt) << errorOf(again);
    EXPECT_EQ(again.markdown, u"eQ=="_s);
    EXPECT_TRUE(engine.isLoaded());
    EXPECT_EQ(changed.count(), 2);
}

TEST(ConvertEngine, ends_a_call_past_its_deadline_and_converts_the_next_on_a_fresh_page) {
    ConvertEngine engine(testPage(u"echo"_s), nullptr);
    engine.setDeadline(std::chrono::seconds(2));
    ASSERT_EQ(run(engine, ConvertKind::html, u"x"_s).markdown, u"eA=="_s);
    const qsizetype processes = renderProcesses().size();

    auto stuck = engine.convert(ConvertKind::html, u"x"_s, u"spin"_s);
    auto waiting = engine.convert(ConvertKind::html, u"wait"_s, u"hang"_s);
    EXPECT_EQ(QCoro::waitFor(stuck).error,
              u"the conversion took longer than 2 s and was stopped"_s);
    ASSERT_TRUE(waiting.isReady());
    EXPECT_EQ(QCoro::waitFor(waiting).error,
              u"engine restarted after another conversion ran too long"_s);

    const ConvertResult next = run(engine, ConvertKind::html, u"y"_s);
    EXPECT_EQ(next.error, std::nullopt) << errorOf(next);
    EXPECT_EQ(next.markdown, u"eQ=="_s);
    // the looping script's process does not go on running
    EXPECT_TRUE(QTest::qWaitFor([&] { return renderProcesses().size() == processes; }, 5000));
}

// In its page the engine gives what it gives under node: the golden files of
// its own tests. The three calls are in flight at once.
TEST(ConvertEngine, converts_each_kind_with_the_real_engine_as_its_golden_files_say) {
    ConvertEngine engine;
    const QDir fixtures(QStringLiteral(MORVANE_ENGINE_FIXTURES));
    const QDir golden(QStringLiteral(MORVANE_ENGINE_GOLDEN));
    std::vector<std::pair<QString, QCoro::Task<ConvertResult>>> calls;
    for (const QString& name : {u"sample.docx"_s, u"sample.pptx"_s, u"sample.html"_s}) {
        const ConvertKind kind = *ConvertKind::forFile(name);
        const QByteArray bytes = readFile(fixtures.filePath(name));
        const QString payload =
            kind.isBinary() ? QString::fromLatin1(bytes.toBase64()) : QString::fromUtf8(bytes);
        calls.emplace_back(name, engine.convert(kind, payload, name));
    }
    for (auto& [name, call] : calls) {
        const ConvertResult result = QCoro::waitFor(call);
        ASSERT_EQ(result.error, std::nullopt) << name.toStdString() << ": " << errorOf(result);
        EXPECT_EQ(result.markdown, QString::fromUtf8(readFile(golden.filePath(name + u".md"_s))))
            << name.toStdString();
        EXPECT_FALSE(result.assets.isEmpty()) << name.toStdString();
    }
}

TEST(ConvertEngine, passes_the_engine_error_for_a_bad_document_through) {
    ConvertEngine engine;
    const ConvertResult result =
        run(engine, ConvertKind::docx, QString::fromLatin1(QByteArray("not a zip").toBase64()));
    EXPECT_EQ(result.error, u"not a Word document"_s);
}
