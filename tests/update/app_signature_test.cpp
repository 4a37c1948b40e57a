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

// The manifest's agreement with the signing script over every kind of file
// is checked by each signed release the updater's tests install.
TEST(AppSignature, manifest_refuses_what_is_not_a_real_folder) {
    QTemporaryDir root;
    const QString app = root.filePath(u"Morvane.app"_s);
    writeFile(app + u"/morvane"_s, "x");
    QFile::link(app, root.filePath(u"Linked.app"_s));
    writeFile(root.filePath(u"File.app"_s), "x");

    for (const QString& name : {u"Linked.app"_s, u"File.app"_s, u"Missing.app"_s})
        EXPECT_FALSE(AppSignature::manifest(root.filePath(name)).has_value()) << name.toStdString();
    EXPECT_TRUE(AppSignature::manifest(app).has_value());
}

// What verify() is given: a minisign signature of `message` and what to hold it against.
struct Verification {
    QByteArray message, signature, publicKey;
    QString team, version;
};

// A signature of a message made with `trustedComment` (in the legacy format
// when asked), then changed by `change`.
struct VerifyCase {
    const char* name;
    QByteArray trustedComment;
    bool accepted;
    void (*change)(Verification& v) = nullptr;
    bool legacy = false;
};

class AppSignatureVerify : public testing::TestWithParam<VerifyCase> {
protected:
    QByteArray minisign(const QByteArray& message) {
        const QString path = m_folder.filePath(u"message"_s);
        writeFile(path, message);
        QStringList arguments{
            u"-S"_s, u"-q"_s, u"-s"_s, ReleaseFixture::releaseKey().secretKeyFile,
            u"-m"_s, path,    u"-t"_s, QString::fromUtf8(GetParam().trustedComment)};
        if (GetParam().legacy)
            arguments.append(u"-l"_s);
        QByteArray output;
        EXPECT_TRUE(ReleaseFixture::run(u"minisign"_s, arguments, &output)) << output.data();
        return readFile(path + u".minisig"_s);
    }
    QTemporaryDir m_folder;
};

TEST_P(AppSignatureVerify, accepts_only_the_signed_message_key_team_and_version) {
    const QByteArray message = "file 00 morvane\n";
    Verification v{message, minisign(message), ReleaseFixture::releaseKey().publicKey(),
                   QString::fromLatin1(ReleaseFixture::teamId), u"2.0"_s};
    if (GetParam().change)
        GetParam().change(v);
    EXPECT_EQ(AppSignature::verify(v.message, v.signature, v.publicKey, v.team, v.version),
              GetParam().accepted)
        << v.signature.data();
}

// Flips bits of one byte of the signature line (algorithm, key id, signature).
void flipSignatureByte(Verification& v, int index, char bits) {
    QList<QByteArray> lines = v.signature.split('\n');
    QByteArray decoded = QByteArray::fromBase64(lines[1]);
    decoded[index] = static_cast<char>(decoded[index] ^ bits);
    lines[1] = decoded.toBase64();
    v.signature = lines.join('\n');
}

const QByteArray good = "team:TESTTEAM42 version:2.0";

INSTANTIATE_TEST_SUITE_P(
    Signatures, AppSignatureVerify,
    testing::Values(
        VerifyCase{"prehashed", good, true}, VerifyCase{"legacy", good, true, nullptr, true},
        VerifyCase{"among_fields", "version:2.0 team:TESTTEAM42 file:x", true},
        VerifyCase{"no_team", "timestamp:1 version:2.0", false},
        VerifyCase{"longer_team", "team:TESTTEAM421 version:2.0", false},
        VerifyCase{"team_in_another_word", "myteam:TESTTEAM42 version:2.0", false},
        VerifyCase{"two_teams", "team:TESTTEAM42 team:OTHERTEAM1 version:2.0", false},
        VerifyCase{"no_version", "team:TESTTEAM42", false},
        VerifyCase{"other_version", "team:TESTTEAM42 version:2.0.1", false},
        VerifyCase{"version_in_another_word", "team:TESTTEAM42 oldversion:2.0", false},
        VerifyCase{"two_versions", "team:TESTTEAM42 version:2.0 version:3.0", false},
        VerifyCase{"comment_changed_after_signing", "team:OTHERTEAM1 version:2.0", false,
                   [](Verification& v) { v.signature.replace("OTHERTEAM1", "TESTTEAM42"); }},
        VerifyCase{"other_message", good, false,
                   [](Verification& v) { v.message = "file 01 morvane\n"; }},
        VerifyCase{"other_key", good, false,
                   [](Verification& v) { v.publicKey = ReleaseFixture::otherKey().publicKey(); }},
        VerifyCase{"no_key", good, false, [](Verification& v) { v.publicKey.clear(); }},
        VerifyCase{"expected_other_team", good, false,
                   [](Verification& v) { v.team = u"OTHERTEAM1"_s; }},
        VerifyCase{"expected_no_team", good, false, [](Verification& v) { v.team.clear(); }},
        VerifyCase{"expected_other_version", good, false,
                   [](Verification& v) { v.version = u"2.1"_s; }},
        VerifyCase{"expected_no_version", good, false, [](Verification& v) { v.version.clear(); }},
        VerifyCase{"empty_file", good, false, [](Verification& v) { v.signature.clear(); }},
        VerifyCase{"garbage", good, false, [](Verification& v) { v.signature = "garbage"; }},
        VerifyCase{
            "no_global_signature", good, false,
            [](Verification& v) { v.signature = v.signature.split('\n').mid(0, 3).join('\n'); }},
        VerifyCase{"other_key_id", good, false,
                   [](Verification& v) { flipSignatureByte(v, 3, 1); }},
        VerifyCase{"other_algorithm", good, false,
                   [](Verification& v) { flipSignatureByte(v, 1, 0x1c); }}),
    caseName);

} // namespace
