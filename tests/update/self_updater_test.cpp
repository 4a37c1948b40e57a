#include "case_table.h"
#include "self_updater.h"

#include "app_signature.h"
#include "local_http_server.h"
#include "qt_printers.h"
#include "release_fixture.h"

#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;
using ReleaseFixture::releaseKey;
using SelfUpdater::Failure;
using SelfUpdater::PlatformError;
using SelfUpdater::UpdateError;

namespace SelfUpdater {
void PrintTo(const PlatformError& error, std::ostream* out) {
    *out << "PlatformError " << error.network << ' ' << error.message.toStdString();
}
} // namespace SelfUpdater

namespace {

const QString team = QString::fromLatin1(ReleaseFixture::teamId);
constexpr qint64 fakeProcessId = 4242;
// Root never updates an install; as root, the tests' installs belong to this user.
constexpr uint standInUser = 4243;

// A process id that no process has: the kernel hands out ids below pid_max.
qint64 deadProcessId() {
    return readFile(u"/proc/sys/kernel/pid_max"_s).trimmed().toLongLong();
}

// Polls until `done` holds or ten seconds have passed.
bool eventually(const std::function<bool()>& done) {
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

// Takes write access to a folder away, also from root (who needs the
// immutable attribute for that); gives it back when it goes.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const QString& path)
        : m_path(path) {
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                          QFile::ExeGroup);
        if (isWritable())
            m_immutable = ReleaseFixture::run(u"chattr"_s, {u"+i"_s, m_path});
    }
    ~UnwritableFolder() {
        if (m_immutable)
            ReleaseFixture::run(u"chattr"_s, {u"-i"_s, m_path});
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool isWritable() const { return ::access(QFile::encodeName(m_path).constData(), W_OK) == 0; }

private:
    QString m_path;
    bool m_immutable = false;
};

// A `cp` that copies one file and then fails, and an `rm` when given, found
// first on the PATH for as long as this lives.
class FailingTools {
public:
    explicit FailingTools(const QString& folder, const QByteArray& rm = {})
        : m_path(qgetenv("PATH")) {
        tool(folder + u"/cp"_s, "mkdir -p \"$3\" && echo partial > \"$3/partial\"\nexit 1\n");
        if (!rm.isEmpty())
            tool(folder + u"/rm"_s, rm);
        qputenv("PATH", QFile::encodeName(folder) + ':' + m_path);
    }
    ~FailingTools() { qputenv("PATH", m_path); }

private:
    static void tool(const QString& path, const QByteArray& script) {
        writeFile(path, "#!/bin/sh\n" + script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    QByteArray m_path;
};

class SelfUpdaterInstall : public testing::Test {
public:
    void SetUp() override {
        m_installed = path(u"Applications/Morvane.app"_s);
        ReleaseFixture::writeApp(m_installed, u"1.0"_s, startedLog());
        m_installedManifest = AppSignature::manifest(m_installed).value();
        QDir().mkpath(path(u"tmp"_s));
        m_environment.appLocation = m_installed;
        m_environment.tempFolder = path(u"tmp"_s);
        m_environment.processId = fakeProcessId;
        m_environment.executableName = u"morvane"_s;
        m_environment.currentVersion = u"1.0"_s;
        m_environment.userId = ::geteuid();
        if (m_environment.userId == 0 && giveTo(m_installed, standInUser))
            m_environment.userId = standInUser;
        m_environment.trust = {releaseKey().publicKey(), team};
        m_environment.startDetached = [this](const QString& program, const QStringList& arguments) {
            m_started.append(QStringList{program} + arguments);
            return true;
        };
    }

    static bool giveTo(const QString& folder, uint user) {
        return ::chown(QFile::encodeName(folder).constData(), user, uid_t(-1)) == 0;
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }
    QString startedLog() const { return path(u"started.log"_s); }
    QString workFolder() const { return path(u"tmp/ombrix-update-%1"_s.arg(fakeProcessId)); }

    // The release that packaging/make-release builds from a new version.
    QByteArray signedRelease() {
        ReleaseFixture::writeApp(path(u"build/app"_s), u"2.0"_s, startedLog());
        EXPECT_TRUE(ReleaseFixture::makeRelease(path(u"build/app"_s), releaseKey(), u"2.0"_s,
                                                server.url("/").toString(), path(u"out"_s)));
        return readFile(path(u"out/Morvane-2.0.zip"_s));
    }

    UpdateInfo serve(const QByteArray& archive, int status = 200) {
        server.answers["/Morvane-2.0.zip"] = {status, {"Content-Type: application/zip"}, archive};
        return {u"2.0"_s, server.url("/Morvane-2.0.zip"), QString()};
    }

    std::optional<Failure> install(const UpdateInfo& update) {
        return QCoro::waitFor(SelfUpdater::install(update, &m_session, m_environment));
    }

    void expectInstalledUntouched() const {
        EXPECT_EQ(AppSignature::manifest(m_installed), m_installedManifest);
        EXPECT_FALSE(QFileInfo::exists(m_installed + u".bak"_s));
        EXPECT_TRUE(m_started.isEmpty()) << "the swap script was started";
    }

    LocalHttpServer server{LocalHttpServer::Scheme::https};
    QTemporaryDir m_root;
    QString m_installed;
    QByteArray m_installedManifest;
    SelfUpdater::Environment m_environment;
    QList<QStringList> m_started;
    QNetworkAccessManager m_session;
};

// Each install below is refused before any request, and changes nothing: one
// moved to `location` (a folder not named *.app, one that is gone), whose
// folder is set up as `setup` says, or that runs `running`.
enum class Setup { none, unwritableParent, anotherUsers, rootsOwn };

struct RefusalCase {
    const char* name;
    Failure expected;
    Setup setup = Setup::none;
    const char* location = nullptr;
    const char* running = "1.0";
};

class SelfUpdaterRefusal : public SelfUpdaterInstall,
                           public testing::WithParamInterface<RefusalCase> {};

TEST_P(SelfUpdaterRefusal, comes_before_any_request) {
    const RefusalCase& c = GetParam();
    const UpdateInfo update = serve(signedRelease());
    m_environment.currentVersion = QString::fromLatin1(c.running);
    if (c.location) {
        m_environment.appLocation = path(QString::fromLatin1(c.location));
        ReleaseFixture::writeApp(m_environment.appLocation, u"1.0"_s, startedLog());
        if (m_environment.appLocation.contains(u"missing"_s))
            QDir(m_environment.appLocation).removeRecursively();
    }
    std::optional<UnwritableFolder> parent;
    if ((c.setup == Setup::unwritableParent &&
         parent.emplace(path(u"Applications"_s)).isWritable()) ||
        (c.setup == Setup::anotherUsers && !giveTo(m_installed, m_environment.userId + 1)) ||
        (c.setup == Setup::rootsOwn && !giveTo(m_installed, 0)))
        GTEST_SKIP() << "can't set this case up here";
    if (c.setup == Setup::rootsOwn)
        m_environment.userId = 0;

    EXPECT_EQ(install(update), std::optional<Failure>(c.expected));

    EXPECT_EQ(server.requests.size(), 0);
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    expectInstalledUntouched();
}

constexpr UpdateError readOnly = UpdateError::readOnlyLocation;
constexpr UpdateError badSignature = UpdateError::badSignature;

INSTANTIATE_TEST_SUITE_P(
    Locations, SelfUpdaterRefusal,
    testing::Values(
        RefusalCase{"parent_not_writable", readOnly, Setup::unwritableParent},
        RefusalCase{"system_folder", readOnly, Setup::none, "Applications/Morvane.app.d"},
        RefusalCase{"missing_folder", readOnly, Setup::none, "Applications/missing/Morvane.app"},
        RefusalCase{"another_users_install", readOnly, Setup::anotherUsers},
        // A system install run by root: the folder is root's own.
        RefusalCase{"run_by_root", readOnly, Setup::rootsOwn},
        RefusalCase{"offer_as_running", badSignature, Setup::none, nullptr, "2.0"},
        RefusalCase{"offer_as_running_longer", badSignature, Setup::none, nullptr, "2.0.0"},
        RefusalCase{"offer_older_than_running", badSignature, Setup::none, nullptr, "3.1"}),
    caseName);

// Each download below is refused before it is complete, and leaves nothing behind.
struct DownloadCase {
    const char* name;
    HttpAnswer route;
    Failure expected;
    SelfUpdater::Limits limits = {};
    bool closedPort = false;
};

class SelfUpdaterDownload : public SelfUpdaterInstall,
                            public testing::WithParamInterface<DownloadCase> {};

TEST_P(SelfUpdaterDownload, is_given_up_and_leaves_no_work_folder) {
    const DownloadCase& c = GetParam();
    UpdateInfo update{u"2.0"_s, server.url("/Morvane-2.0.zip"), QString()};
    server.answers["/Morvane-2.0.zip"] = c.route;
    if (c.closedPort)
        update.downloadURL.setPort(LocalHttpServer::closedPort());
    m_environment.limits = c.limits;

    const std::optional<Failure> failure = install(update);

    ASSERT_TRUE(failure.has_value());
    // Network failures are passed on in the network's own words.
    if (const auto* platform = std::get_if<PlatformError>(&*failure)) {
        EXPECT_EQ(platform->network, std::get<PlatformError>(c.expected).network)
            << platform->message.toStdString();
        EXPECT_FALSE(platform->message.isEmpty());
    } else {
        EXPECT_EQ(*failure, c.expected);
    }
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    expectInstalledUntouched();
}

SelfUpdater::Limits limits(int stallMs, int transferMs) {
    SelfUpdater::Limits limits;
    limits.downloadBytes = 1 << 20;
    limits.stall = std::chrono::milliseconds(stallMs);
    limits.transfer = std::chrono::milliseconds(transferMs);
    return limits;
}

HttpAnswer zipRoute(qsizetype size, qint64 declared = -1, bool sendLength = true, int delayMs = 0,
                    int status = 200, qsizetype cutAfter = -1) {
    HttpAnswer route{status, {"Content-Type: application/zip"}, QByteArray(size, 'z')};
    route.delayMs = delayMs;
    route.declaredLength = declared;
    route.sendLength = sendLength;
    route.cutAfter = cutAfter;
    return route;
}

const PlatformError timeout{QNetworkReply::TimeoutError, {}};
const PlatformError refused{QNetworkReply::ConnectionRefusedError, {}};

INSTANTIATE_TEST_SUITE_P(
    Limits, SelfUpdaterDownload,
    testing::Values(
        // 3 GiB announced: refused on the headers, before a byte of the body.
        DownloadCase{"declared_over_the_ceiling", zipRoute(1024, qint64(3) << 30),
                     UpdateError::download, limits(10000, 60000)},
        DownloadCase{"body_over_the_ceiling_without_a_length", zipRoute(4 << 20, -1, false),
                     UpdateError::download, limits(10000, 60000)},
        DownloadCase{"stalled", zipRoute(1024, -1, true, 5000), timeout, limits(300, 60000)},
        DownloadCase{"too_slow_overall", zipRoute(1024, -1, true, 5000), timeout,
                     limits(10000, 300)},
        DownloadCase{"status_404", zipRoute(1024, -1, true, 0, 404), UpdateError::download},
        DownloadCase{"status_201", zipRoute(1024, -1, true, 0, 201), UpdateError::download},
        // Not a failed unpacking of half an archive.
        DownloadCase{"cut_off_part_way", zipRoute(64 << 10, -1, true, 0, 200, 32 << 10),
                     PlatformError{QNetworkReply::RemoteHostClosedError, {}}},
        DownloadCase{"nothing_listens", zipRoute(1024), refused, {}, true}),
    caseName);

// Every archive below is downloaded fine and fails a later step. (Each way an
// entry can lead out of the folder is in the archive's own tests.) It is made
// by `archive`, or else is a new version in `folder`, signed for `version`,
// `team` and with the other key when asked, then changed by the shell command
// `change` run in the app's folder.
struct ArchiveCase {
    const char* name;
    Failure expected;
    const char* change = "";
    const char* folder = "Morvane.app";
    const char* version = "2.0";
    const char* team = ReleaseFixture::teamId;
    bool otherKey = false;
    QByteArray (*archive)() = nullptr;
};

class SelfUpdaterInstallArchive : public SelfUpdaterInstall,
                                  public testing::WithParamInterface<ArchiveCase> {
protected:
    QByteArray archive(const ArchiveCase& c) {
        if (c.archive)
            return c.archive();
        const QString app = path(u"staging/"_s) + QString::fromUtf8(c.folder);
        ReleaseFixture::writeApp(app, QString::fromLatin1(c.version), startedLog());
        EXPECT_TRUE(ReleaseFixture::signApp(app,
                                            c.otherKey ? ReleaseFixture::otherKey() : releaseKey(),
                                            QString::fromLatin1(c.team)));
        EXPECT_TRUE(ReleaseFixture::run(
            u"/bin/sh"_s, {u"-c"_s, u"cd \"$0\" || exit\n"_s + QString::fromUtf8(c.change), app}));
        ReleaseFixture::zipFolder(path(u"staging"_s), path(u"staging.zip"_s));
        return readFile(path(u"staging.zip"_s));
    }
};

TEST_P(SelfUpdaterInstallArchive, fails_and_leaves_the_installed_app_alone) {
    // Also the ceiling for the zip bomb below.
    m_environment.limits.unpackedBytes = 8 << 20;
    const UpdateInfo update = serve(archive(GetParam()));

    const std::optional<Failure> failure = install(update);

    EXPECT_EQ(failure, std::optional<Failure>(GetParam().expected));
    EXPECT_EQ(server.requests.size(), 1);
    expectInstalledUntouched();
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    EXPECT_FALSE(QFileInfo::exists(path(u"tmp/owned"_s)));
    EXPECT_FALSE(QFileInfo::exists(path(u"owned"_s)));
}

// An archive made by `archive` that can't be unpacked.
ArchiveCase unpackable(const char* name, QByteArray (*archive)()) {
    return {.name = name, .expected = UpdateError::unpack, .archive = archive};
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SelfUpdaterInstallArchive,
    testing::Values(
        unpackable("not_a_zip", [] { return QByteArray("<!doctype html><title>Moved</title>"); }),
        unpackable("dot_dot_entry",
                   [] {
                       return zipOf({{"Morvane.app/morvane", ZipEntry::file, "x"},
                                     {"Morvane.app/../../owned", ZipEntry::file, "gotcha"}});
                   }),
        // 64 MiB of zeros in a 64 KiB archive, against a ceiling of 8 MiB:
        // refused on the declared sizes, before anything is written.
        unpackable("zip_bomb",
                   [] {
                       return zipOf(
                           {{"Morvane.app/morvane", ZipEntry::file, "#!/bin/sh\n"},
                            {"Morvane.app/zeros", ZipEntry::file, QByteArray(64 << 20, 0)}});
                   }),
        ArchiveCase{"app_nested_one_level_down", UpdateError::notFound, "",
                    "Morvane 2.0/Morvane.app"},
        ArchiveCase{"extension_in_capitals", UpdateError::notFound, "", "Morvane.APP"},
        ArchiveCase{"tampered_file", badSignature, "echo evil >> morvane"},
        ArchiveCase{"file_added", badSignature, "echo extra > lib/libextra.so"},
        ArchiveCase{"file_removed", badSignature, "rm VERSION"},
        // The same content through another path: links are signed by their target.
        ArchiveCase{"link_retargeted", badSignature, "ln -sf ./libconvert.so.1 lib/libconvert.so"},
        ArchiveCase{"extra_file_beside_the_signature", badSignature,
                    "echo extra > signature/notes"},
        ArchiveCase{"unsigned", badSignature, "rm -r signature"},
        // Every byte as signed, but the program can no longer be started.
        ArchiveCase{"executable_bit_dropped", badSignature, "chmod a-x morvane"},
        // A correctly signed older release offered as 2.0.
        ArchiveCase{"signed_for_another_version", badSignature, "", "Morvane.app", "0.9"},
        ArchiveCase{"other_team", badSignature, "", "Morvane.app", "2.0", "OTHERTEAM1"},
        ArchiveCase{"other_key", badSignature, "", "Morvane.app", "2.0", ReleaseFixture::teamId,
                    true}),
    caseName);

// The work folder is made fresh, even where a link was planted in its place.
TEST_F(SelfUpdaterInstall, starts_the_swap_script_from_a_fresh_work_folder) {
    const UpdateInfo update = serve(signedRelease());
    writeFile(workFolder() + u"/unpacked/Old.app/stale"_s, "old");

    const std::optional<Failure> failure = install(update);

    ASSERT_EQ(failure, std::nullopt);
    const QString script = path(u"tmp/ombrix-update-%1.sh"_s.arg(fakeProcessId));
    const QString newApp = workFolder() + u"/unpacked/Morvane.app"_s;
    ASSERT_EQ(m_started.size(), 1);
    EXPECT_EQ(m_started[0], (QStringList{u"/bin/sh"_s, script, newApp, m_installed, workFolder()}));
    EXPECT_TRUE(QFileInfo::exists(script));
    EXPECT_EQ(readFile(newApp + u"/VERSION"_s), "2.0");
    EXPECT_FALSE(QFileInfo::exists(workFolder() + u"/update.zip"_s)) << "kept after unpacking";
    EXPECT_FALSE(QFileInfo::exists(workFolder() + u"/unpacked/Old.app"_s));
    EXPECT_EQ(AppSignature::manifest(m_installed), m_installedManifest);

    QDir(workFolder()).removeRecursively();
    writeFile(path(u"elsewhere/keep"_s), "keep");
    QFile::link(path(u"elsewhere"_s), workFolder());

    EXPECT_FALSE(install(update).has_value());

    EXPECT_EQ(readFile(path(u"elsewhere/keep"_s)), "keep");
    EXPECT_FALSE(QFileInfo(workFolder()).isSymLink());
    EXPECT_TRUE(QFileInfo(newApp).isDir());
}

// The whole update with the real shell: a stand-in for the running
// application, the swap after it ends, and the new version started.
class SelfUpdaterSwap : public SelfUpdaterInstall {
public:
    void SetUp() override {
        SelfUpdaterInstall::SetUp();
        m_environment.startDetached = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
    }

    // Installs while a stand-in process runs and waits until the swap script
    // has started an application after the stand-in ended.
    void installAndQuit(const UpdateInfo& update) {
        QProcess standIn;
        standIn.start(u"sleep"_s, {u"1"_s});
        ASSERT_TRUE(standIn.waitForStarted());
        m_environment.processId = standIn.processId();

        const std::optional<Failure> failure = install(update);
        ASSERT_EQ(failure, std::nullopt);
        EXPECT_EQ(readFile(m_installed + u"/VERSION"_s), "1.0")
            << "swapped before the application ended";

        ASSERT_TRUE(standIn.waitForFinished(5000));
        ASSERT_TRUE(eventually([&] { return !readFile(startedLog()).isEmpty(); }))
            << "no application was started";
    }
};

TEST_F(SelfUpdaterSwap, replaces_the_app_once_the_process_ends_and_starts_the_new_one) {
    const UpdateInfo update = serve(signedRelease());

    installAndQuit(update);

    EXPECT_EQ(readFile(m_installed + u"/VERSION"_s), "2.0");
    EXPECT_EQ(SelfUpdater::verifySignature(m_installed, u"2.0"_s, m_environment.trust),
              std::nullopt);
    EXPECT_TRUE(QFileInfo(m_installed + u"/lib/libconvert.so"_s).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(m_installed + u".bak"_s));
    EXPECT_EQ(readFile(startedLog()), "2.0\n");
    EXPECT_EQ(
        QDir(path(u"tmp"_s)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList())
        << "the work folder or the script stayed behind";
}

TEST_F(SelfUpdaterSwap, waits_for_every_process_that_holds_the_install) {
    const UpdateInfo update = serve(signedRelease());
    // A second process of the same install, as morvane-convert would be,
    // that says when it holds the lock and logs when it lets go.
    const QString held = path(u"held"_s);
    QProcess other;
    other.start(u"flock"_s,
                {u"-s"_s, m_installed, u"sh"_s, u"-c"_s,
                 u"touch \"$1\"; sleep 2; echo released >> \"$0\""_s, startedLog(), held});
    ASSERT_TRUE(eventually([&] { return QFileInfo::exists(held); }));

    installAndQuit(update);

    EXPECT_TRUE(eventually([&] { return readFile(startedLog()) == "released\n2.0\n"; }))
        << readFile(startedLog()).toStdString();
    EXPECT_EQ(readFile(m_installed + u"/VERSION"_s), "2.0");
    other.waitForFinished();
}

// The swap script alone, run to its end with a process id that has ended.
class SelfUpdaterSwapScript : public testing::Test {
protected:
    void SetUp() override {
        ReleaseFixture::writeApp(m_newApp, u"2.0"_s, m_startedLog);
        writeScript(u"morvane"_s);
    }
    void writeScript(const QString& executable) {
        writeFile(m_script, SelfUpdater::swapScript(deadProcessId(), executable).toUtf8());
    }
    bool runScript() {
        return ReleaseFixture::run(u"/bin/sh"_s, {m_script, m_newApp, m_dest, m_work});
    }

    QTemporaryDir m_root;
    QString m_newApp = m_root.filePath(u"new/Morvane.app"_s);
    QString m_dest = m_root.filePath(u"Applications/Morvane.app"_s);
    QString m_startedLog = m_root.filePath(u"started.log"_s);
    QString m_script = m_root.filePath(u"swap.sh"_s);
    QString m_work = m_root.filePath(u"work"_s);
};

// Each swap ends with one version in place, no backup, that version started,
// and the work folder and the script gone. Version 1.0 is installed, or only
// its backup is, and there is a stale backup, no new app or a copy that fails
// part way, as `before` says.
enum class Before { installed, onlyBackup, staleBackup, newAppGone, copyFails };

struct SwapCase {
    const char* name;
    Before before;
    QByteArray version;
    const char* executable = "morvane";
};

class SelfUpdaterSwapScriptEnd : public SelfUpdaterSwapScript,
                                 public testing::WithParamInterface<SwapCase> {};

TEST_P(SelfUpdaterSwapScriptEnd, leaves_one_version_started) {
    const SwapCase& c = GetParam();
    const bool onlyBackup = c.before == Before::onlyBackup;
    ReleaseFixture::writeApp(m_dest + (onlyBackup ? u".bak"_s : u""_s), u"1.0"_s, m_startedLog);
    if (c.before == Before::staleBackup)
        writeFile(m_dest + u".bak/stale"_s, "stale");
    if (c.before == Before::newAppGone)
        QDir(m_newApp).removeRecursively();
    writeFile(m_work + u"/unpacked/stale"_s, "left over");
    const QString executable = QString::fromUtf8(c.executable);
    QFile::copy(m_newApp + u"/morvane"_s, m_newApp + u'/' + executable);
    writeScript(executable);
    std::optional<FailingTools> tools;
    if (c.before == Before::copyFails)
        tools.emplace(m_root.filePath(u"fakebin"_s));

    const bool ran = runScript();

    EXPECT_TRUE(ran || c.version != "2.0") << "a swap that worked reported failure";
    EXPECT_EQ(readFile(m_dest + u"/VERSION"_s), c.version);
    EXPECT_FALSE(QFileInfo::exists(m_dest + u"/partial"_s));
    EXPECT_FALSE(QFileInfo::exists(m_dest + u".bak"_s));
    EXPECT_TRUE(eventually([&] { return readFile(m_startedLog) == c.version + '\n'; }))
        << readFile(m_startedLog).toStdString();
    EXPECT_FALSE(QFileInfo::exists(m_work));
    EXPECT_FALSE(QFileInfo::exists(m_script));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, SelfUpdaterSwapScriptEnd,
    testing::Values(
        SwapCase{"replaces_and_drops_a_stale_backup", Before::staleBackup, "2.0"},
        SwapCase{"restores_the_old_app_when_the_new_one_is_gone", Before::newAppGone, "1.0"},
        SwapCase{"restores_the_old_app_when_the_copy_fails_part_way", Before::copyFails, "1.0"},
        SwapCase{"puts_back_a_backup_that_is_the_only_copy", Before::onlyBackup, "1.0"},
        SwapCase{"quotes_the_executable_name", Before::installed, "2.0", "it's $HOME"}),
    caseName);

TEST_F(SelfUpdaterSwapScript, keeps_the_backup_when_a_partial_copy_cannot_be_removed) {
    ReleaseFixture::writeApp(m_dest, u"1.0"_s, m_startedLog);
    {
        // cp leaves a partial copy behind, and rm can't remove it.
        const FailingTools tools(m_root.filePath(u"fakebin"_s),
                                 "case \"$2\" in *.bak) exec /bin/rm \"$@\";; esac\nexit 1\n");
        runScript();
    }

    const QString reference = m_root.filePath(u"reference"_s);
    ReleaseFixture::writeApp(reference, u"1.0"_s, m_startedLog);
    EXPECT_TRUE(QFileInfo::exists(m_dest + u"/partial"_s));
    EXPECT_EQ(AppSignature::manifest(m_dest + u".bak"_s), AppSignature::manifest(reference));
}

// A release names the version the folder was built as, one the updater reads
// as newer than 0, and an https address.
TEST(MakeRelease, refuses_what_would_make_an_unusable_release) {
    QTemporaryDir root;
    const QString app = root.filePath(u"app"_s);
    ReleaseFixture::writeApp(app, u"2.0"_s, root.filePath(u"log"_s));
    struct Row {
        QString built, version, baseUrl;
        bool made = false;
    };
    const QString https = u"https://updates.example.com/morvane"_s;
    int outs = 0;
    for (const Row& row :
         {Row{u"2.0"_s, u"2.0"_s, https, true}, Row{u"2.0"_s, u"2.1"_s, https},
          Row{u"2.0"_s, u"2.0"_s, u"http://updates.example.com/morvane"_s},
          Row{u"2.0"_s, u"2.0"_s, u"updates.example.com/morvane"_s}, Row{u"0.0"_s, u"0.0"_s, https},
          Row{u"v2.0"_s, u"v2.0"_s, https}, Row{u"2.0-beta"_s, u"2.0-beta"_s, https},
          Row{u"2..0"_s, u"2..0"_s, https}, Row{u""_s, u""_s, https}}) {
        writeFile(app + u"/VERSION"_s, row.built.toUtf8());
        const QString out = root.filePath(u"out-%1"_s.arg(++outs));
        QByteArray output;
        EXPECT_EQ(ReleaseFixture::makeRelease(app, releaseKey(), row.version, row.baseUrl, out,
                                              team, &output),
                  row.made)
            << row.version.toStdString() << " " << row.baseUrl.toStdString() << ": "
            << output.toStdString();
        EXPECT_EQ(QFileInfo::exists(out + u"/latest.json"_s), row.made);
    }
}

} // namespace
