#include "app_signature.h"
#include "case_table.h"

#include "qt_printers.h"
#include "release_fixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class AppSignatureTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        key = &ReleaseFixture::releaseKey();
        otherKey = &ReleaseFixture::otherKey();
    }

    // minisign's own signature file for `message`, with `trustedComment`.
    QByteArray minisign(const QByteArray& message, const QByteArray& trustedComment,
                        bool legacy = false, const ReleaseFixture::SigningKey* by = key) {
        const QString path = m_folder.filePath(u"message"_s);
        writeFile(path, message);
        QStringList arguments{u"-S"_s, u"-q"_s, u"-s"_s, by->secretKeyFile,
                              u"-m"_s, path,    u"-t"_s, QString::fromUtf8(trustedComment)};
        if (legacy)
            arguments.append(u"-l"_s);
        QByteArray output;
        EXPECT_TRUE(ReleaseFixture::run(u"minisign"_s, arguments, &output)) << output.data();
        return readFile(path + u".minisig"_s);
    }

    static inline const ReleaseFixture::SigningKey* key = nullptr;
    static inline const ReleaseFixture::SigningKey* otherKey = nullptr;
    QTemporaryDir m_folder;
};

const QString team = QString::fromLatin1(ReleaseFixture::teamId);
const QString version = u"2.0"_s;

TEST_F(AppSignatureTest, manifest_matches_the_one_the_packaging_script_signs) {
    const QString app = m_folder.filePath(u"Morvane.app"_s);
    ReleaseFixture::writeApp(app, u"2.0"_s, m_folder.filePath(u"started"_s));
    writeFile(app + u"/Morvane_Morvane.bundle/name with spaces.txt"_s, "spaces");
    writeFile(app + u"/Morvane_Morvane.bundle/Zürich.txt"_s, "not ascii");
    writeFile(app + u"/.hidden"_s, "dot file");
    ASSERT_TRUE(ReleaseFixture::signApp(app, *key));

    const std::optional<QByteArray> manifest = AppSignature::manifest(app);

    ASSERT_TRUE(manifest.has_value());
    EXPECT_EQ(*manifest, readFile(app + u"/signature/manifest"_s));
    EXPECT_TRUE(manifest->startsWith("file ")) << manifest->data();
    EXPECT_TRUE(manifest->contains(" lib/libconvert.so\n"));
    EXPECT_TRUE(manifest->contains("\nexec ")) << "the executable is not marked";
    EXPECT_FALSE(manifest->contains("signature/"));
}

TEST_F(AppSignatureTest, manifest_lists_links_by_their_target_not_their_content) {
    const QString app = m_folder.filePath(u"Morvane.app"_s);
    writeFile(app + u"/a"_s, "same");
    writeFile(app + u"/b"_s, "same");
    QFile::link(u"a"_s, app + u"/link"_s);
    const QByteArray before = AppSignature::manifest(app).value();

    QFile::remove(app + u"/link"_s);
    QFile::link(u"b"_s, app + u"/link"_s);

    EXPECT_NE(AppSignature::manifest(app).value(), before);
}

TEST_F(AppSignatureTest, manifest_refuses_what_is_not_a_real_folder) {
    const QString app = m_folder.filePath(u"Morvane.app"_s);
    writeFile(app + u"/morvane"_s, "x");
    QFile::link(app, m_folder.filePath(u"Linked.app"_s));
    writeFile(m_folder.filePath(u"File.app"_s), "x");

    EXPECT_FALSE(AppSignature::manifest(m_folder.filePath(u"Linked.app"_s)).has_value());
    EXPECT_FALSE(AppSignature::manifest(m_folder.filePath(u"File.app"_s)).has_value());
    EXPECT_FALSE(AppSignature::manifest(m_folder.filePath(u"Missing.app"_s)).has_value());
    EXPECT_TRUE(AppSignature::manifest(app).has_value());
}

TEST_F(AppSignatureTest, verifies_prehashed_and_legacy_signatures) {
    const QByteArray message = "file 00 morvane\n";
    const QByteArray teamComment = "team:" + team.toUtf8() + " version:2.0";
    EXPECT_TRUE(AppSignature::verify(message, minisign(message, teamComment), key->publicKey(),
                                     team, version));
    EXPECT_TRUE(AppSignature::verify(message, minisign(message, teamComment, true),
                                     key->publicKey(), team, version));
}

TEST_F(AppSignatureTest, refuses_another_message_key_or_team) {
    const QByteArray message = "file 00 morvane\n";
    const QByteArray signature = minisign(message, "team:" + team.toUtf8() + " version:2.0");

    EXPECT_FALSE(
        AppSignature::verify("file 01 morvane\n", signature, key->publicKey(), team, version));
    EXPECT_FALSE(AppSignature::verify(message, signature, otherKey->publicKey(), team, version));
    EXPECT_FALSE(
        AppSignature::verify(message, signature, key->publicKey(), u"OTHERTEAM1"_s, version));
    EXPECT_FALSE(AppSignature::verify(message, signature, key->publicKey(), QString(), version));
    EXPECT_FALSE(AppSignature::verify(message, signature, key->publicKey(), team, u"2.1"_s));
    EXPECT_FALSE(AppSignature::verify(message, signature, key->publicKey(), team, QString()));
    EXPECT_FALSE(AppSignature::verify(message, signature, QByteArray(), team, version));
}

TEST_F(AppSignatureTest, refuses_a_trusted_comment_changed_after_signing) {
    const QByteArray message = "file 00 morvane\n";
    QByteArray signature = minisign(message, "team:OTHERTEAM1 version:2.0");
    signature.replace("team:OTHERTEAM1", "team:" + team.toUtf8());

    EXPECT_FALSE(AppSignature::verify(message, signature, key->publicKey(), team, version));
}

struct CommentCase {
    const char* name;
    QByteArray trustedComment;
    bool accepted;
};

class AppSignatureTeam : public AppSignatureTest,
                         public testing::WithParamInterface<CommentCase> {};

TEST_P(AppSignatureTeam, accepts_only_one_field_naming_the_team_and_one_the_version) {
    const QByteArray message = "file 00 morvane\n";
    const QByteArray signature = minisign(message, GetParam().trustedComment);
    EXPECT_EQ(AppSignature::verify(message, signature, key->publicKey(), team, version),
              GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Comments, AppSignatureTeam,
    testing::Values(CommentCase{"team_and_version", "team:TESTTEAM42 version:2.0", true},
                    CommentCase{"among_fields", "version:2.0 team:TESTTEAM42 file:x", true},
                    CommentCase{"no_team", "timestamp:1 version:2.0", false},
                    CommentCase{"longer_team", "team:TESTTEAM421 version:2.0", false},
                    CommentCase{"team_in_another_word", "myteam:TESTTEAM42 version:2.0", false},
                    CommentCase{"two_teams", "team:TESTTEAM42 team:OTHERTEAM1 version:2.0", false},
                    CommentCase{"no_version", "team:TESTTEAM42", false},
                    CommentCase{"other_version", "team:TESTTEAM42 version:2.0.1", false},
                    CommentCase{"version_in_another_word", "team:TESTTEAM42 oldversion:2.0", false},
                    CommentCase{"two_versions", "team:TESTTEAM42 version:2.0 version:3.0", false}),
    caseName);

TEST_F(AppSignatureTest, refuses_signature_files_that_are_not_minisign) {
    const QByteArray message = "file 00 morvane\n";
    const QByteArray good = minisign(message, "team:" + team.toUtf8() + " version:2.0");
    QList<QByteArray> lines = good.split('\n');
    QList<QByteArray> badKeyId = lines;
    QByteArray decoded = QByteArray::fromBase64(badKeyId[1]);
    decoded[3] = static_cast<char>(decoded[3] ^ 1);
    badKeyId[1] = decoded.toBase64();
    QList<QByteArray> badAlgorithm = lines;
    decoded = QByteArray::fromBase64(badAlgorithm[1]);
    decoded[1] = 'X';
    badAlgorithm[1] = decoded.toBase64();

    for (const QByteArray& bad : {QByteArray(), QByteArray("garbage"), lines.mid(0, 3).join('\n'),
                                  badKeyId.join('\n'), badAlgorithm.join('\n')})
        EXPECT_FALSE(AppSignature::verify(message, bad, key->publicKey(), team, version))
            << bad.data();
}

} // namespace
