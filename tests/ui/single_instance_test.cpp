#include "morvane_app.h"
#include "single_instance.h"
#include "ui_fixture.h"

#include <QLocalSocket>
#include <QMainWindow>
#include <QSignalSpy>

namespace {

class SingleInstanceTest : public UiTest {
protected:
    QString socketName() const { return root.filePath(u"instance"_s); }
};

TEST_F(SingleInstanceTest, a_stale_socket_is_taken_over_and_a_second_launch_hands_over_its_files) {
    writeFile(socketName(), "left by a crashed instance");
    SingleInstance first(socketName());
    ASSERT_FALSE(first.handOverOrListen({}));
    ASSERT_TRUE(first.isListening());
    QSignalSpy launched(&first, &SingleInstance::launched);

    const QList<QUrl> files{inputUrl(u"z.pdf"_s), inputUrl(u"a b.docx"_s), inputUrl(u"m.html"_s)};
    SingleInstance second(socketName());
    const QString token = u"launcher-42-host-morvane-0_TIME1234"_s;
    EXPECT_TRUE(second.handOverOrListen(files, token));
    EXPECT_FALSE(second.isListening());
    ASSERT_TRUE(launched.wait(3000));
    EXPECT_EQ(launched.count(), 1);
    EXPECT_EQ(launched.first().at(0).value<QList<QUrl>>(), files);
    EXPECT_EQ(launched.first().at(1).toString(), token);
}

// Also a launch without files reaches the running one.
TEST_F(SingleInstanceTest, a_second_launch_restores_a_minimized_window) {
    SingleInstance first(socketName());
    ASSERT_FALSE(first.handOverOrListen({}));
    MorvaneApp app(*model, desktop);
    QObject::connect(
        &first, &SingleInstance::launched, &app,
        [&app](const QList<QUrl>&, const QString& token) { app.showMainWindow(token); });
    app.mainWindow()->showMinimized();
    ASSERT_TRUE(app.mainWindow()->isMinimized());
    SingleInstance second(socketName());
    ASSERT_TRUE(second.handOverOrListen({}, u"token"_s));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app.mainWindow()->isMinimized(); }, 3000));
    EXPECT_TRUE(app.mainWindow()->isVisible());
}

TEST_F(SingleInstanceTest, an_oversized_message_is_dropped) {
    SingleInstance first(socketName());
    ASSERT_FALSE(first.handOverOrListen({}));
    QSignalSpy launched(&first, &SingleInstance::launched);
    QLocalSocket socket;
    socket.connectToServer(socketName());
    ASSERT_TRUE(socket.waitForConnected(3000));
    const QByteArray line = QUrl::fromLocalFile(u"/tmp/x.pdf"_s).toEncoded() + '\n';
    QByteArray flood;
    while (flood.size() < 5 * 1024 * 1024)
        flood += line;
    socket.write(flood);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return socket.bytesToWrite() == 0 || socket.state() != QLocalSocket::ConnectedState;
        },
        5000));
    socket.disconnectFromServer();
    EXPECT_FALSE(launched.wait(200)); // returns at once should a launch come
}

TEST(SingleInstanceArguments, become_absolute_file_urls_in_order) {
    const QList<QUrl> files = SingleInstance::filesFromArguments(
        {u"b.pdf"_s, u"/abs/a.docx"_s, u"../up/c.html"_s, u"file:///x/y%20z.pptx"_s,
         u"sub/./d.txt"_s, QString(), u"file://host/share/a.pdf"_s, u"file://localhost/l/e.pdf"_s},
        u"/work/here"_s);
    EXPECT_EQ(files, (QList<QUrl>{QUrl::fromLocalFile(u"/work/here/b.pdf"_s),
                                  QUrl::fromLocalFile(u"/abs/a.docx"_s),
                                  QUrl::fromLocalFile(u"/work/up/c.html"_s),
                                  QUrl::fromLocalFile(u"/x/y z.pptx"_s),
                                  QUrl::fromLocalFile(u"/work/here/sub/d.txt"_s),
                                  QUrl::fromLocalFile(u"/l/e.pdf"_s)}));
}

TEST(SingleInstanceMessage, round_trips_paths_with_spaces_and_line_breaks_and_only_them) {
    const QList<QUrl> files{QUrl::fromLocalFile(u"/tmp/with space.pdf"_s),
                            QUrl::fromLocalFile(u"/tmp/line\nbreak.docx"_s),
                            QUrl::fromLocalFile(u"/tmp/ünï.html"_s)};
    EXPECT_EQ(SingleInstance::decode(SingleInstance::encode({files, {}})).files, files);
    const SingleInstance::Launch launch =
        SingleInstance::decode(SingleInstance::encode({files, u"id with spaces_TIME9"_s}));
    EXPECT_EQ(launch.files, files);
    EXPECT_EQ(launch.activationToken, u"id with spaces_TIME9"_s);
    EXPECT_EQ(SingleInstance::decode(
                  "https://example.com/a.pdf\n\nnot a url at all %%%\nfile:///ok.pdf\n")
                  .files,
              QList<QUrl>{QUrl::fromLocalFile(u"/ok.pdf"_s)});
}

} // namespace
