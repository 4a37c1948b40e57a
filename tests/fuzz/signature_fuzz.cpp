#include "fuzz_input.h"

#include "app_signature.h"

#include <QList>

#include <sodium.h>

#include <array>

using FuzzInput::check;

namespace {

// One fixed key, so that a run can be repeated from its input alone.
struct Key {
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secretKey{};
    QByteArray id = QByteArrayLiteral("\x01\x02\x03\x04\x05\x06\x07\x08");

    Key() {
        if (sodium_init() < 0)
            FuzzInput::fail("libsodium does not start");
        std::array<unsigned char, crypto_sign_SEEDBYTES> seed{};
        seed.fill(0x5a);
        crypto_sign_seed_keypair(publicKey.data(), secretKey.data(), seed.data());
    }

    QByteArray keyLine() const {
        return (QByteArray("Ed") + id +
                QByteArray(reinterpret_cast<const char*>(publicKey.data()), publicKey.size()))
            .toBase64();
    }

    QByteArray sign(const QByteArray& message) const {
        QByteArray signature(crypto_sign_BYTES, Qt::Uninitialized);
        crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                             reinterpret_cast<const unsigned char*>(message.data()),
                             static_cast<unsigned long long>(message.size()), secretKey.data());
        return signature;
    }
};

const Key& key() {
    static const Key key;
    return key;
}

QByteArray blake2b(const QByteArray& message) {
    QByteArray hash(crypto_generichash_BYTES_MAX, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char*>(hash.data()),
                       static_cast<size_t>(hash.size()),
                       reinterpret_cast<const unsigned char*>(message.data()),
                       static_cast<unsigned long long>(message.size()), nullptr, 0);
    return hash;
}

QByteArray oneLine(QByteArray text) {
    text.replace('\n', "");
    text.replace('\r', "");
    return text;
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The field rule, written out: exactly one whitespace-separated field starts
// with the name and a colon, and it is that and the value.
bool namesOnce(const QByteArray& comment, const QByteArray& name, const QString& value) {
    if (value.isEmpty())
        return false;
    const QByteArray prefix = name + ':';
    const QByteArray wanted = prefix + value.toUtf8();
    int fields = 0;
    bool matches = false;
    qsizetype i = 0;
    while (i < comment.size()) {
        while (i < comment.size() && isAsciiSpace(comment[i]))
            ++i;
        const qsizetype start = i;
        while (i < comment.size() && !isAsciiSpace(comment[i]))
            ++i;
        const QByteArray field = comment.mid(start, i - start);
        if (field.startsWith(prefix)) {
            ++fields;
            matches = field == wanted;
        }
    }
    return fields == 1 && matches;
}

// A signature counts for one team and one version; the fuzzer's comments
// bring the version along.
const QString version = QStringLiteral("2.0");

bool namesTeamAndVersion(const QByteArray& comment, const QString& teamId) {
    return namesOnce(comment, "team", teamId) && namesOnce(comment, "version", version);
}

// The trusted comment of a signature file as verify() must read it.
QByteArray trustedCommentOf(const QByteArray& signature) {
    QList<QByteArray> lines = signature.split('\n');
    QByteArray line = lines.value(2);
    if (line.endsWith('\r'))
        line.chop(1);
    return line.mid(17);
}

} // namespace

// Input: a flags byte, then message, signature file, key, team and trusted
// comment, cut at NUL bytes. The raw parts are verified as they are; then a
// real signature is made over the message with the trusted comment and must
// verify exactly when the comment names the team and the version.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput::Reader in(data, size);
    const uint8_t flags = in.byte();
    const QByteArray message = in.until(0);
    const QByteArray signatureText = in.until(0);
    const QByteArray publicKeyText = in.until(0);
    const QString teamId = QString::fromUtf8(in.until(0));
    const QByteArray comment = oneLine(in.until(0));
    const QByteArray untrusted = oneLine(in.rest());

    if (AppSignature::verify(message, signatureText, publicKeyText, teamId, version))
        check(namesTeamAndVersion(trustedCommentOf(signatureText), teamId),
              "verify: a signature it accepts names the team and the version");

    const bool prehashed = flags & 1;
    const QByteArray newline = (flags & 2) ? "\r\n" : "\n";
    const QByteArray signature = key().sign(prehashed ? blake2b(message) : message);
    const QByteArray globalSignature = key().sign(signature + comment);
    const QByteArray file =
        "untrusted comment: " + untrusted + newline +
        (QByteArray(prehashed ? "ED" : "Ed") + key().id + signature).toBase64() + newline +
        "trusted comment: " + comment + newline + globalSignature.toBase64() + newline;
    const QByteArray publicKey =
        (flags & 4) ? "untrusted comment: minisign public key\n" + key().keyLine() + '\n'
                    : key().keyLine();

    const bool expected = namesTeamAndVersion(comment, teamId);
    check(AppSignature::verify(message, file, publicKey, teamId, version) == expected,
          "verify: a real signature counts exactly when it names the team and the version");
    if (!expected)
        return 0;
    check(!AppSignature::verify(message + '\0', file, publicKey, teamId, version),
          "verify: another message fails");
    QByteArray forged = file;
    forged.replace("trusted comment: ", "trusted comment:  ");
    check(!AppSignature::verify(message, forged, publicKey, teamId, version),
          "verify: a changed trusted comment fails");
    QByteArray otherKey = QByteArray::fromBase64(key().keyLine());
    otherKey[2] = static_cast<char>(otherKey[2] ^ 1);
    check(!AppSignature::verify(message, file, otherKey.toBase64(), teamId, version),
          "verify: another key id fails");
    return 0;
}
