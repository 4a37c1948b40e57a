#include "app_signature.h"

#include "base64.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>

#include <sodium.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace {

constexpr qsizetype algorithmSize = 2;
constexpr qsizetype keyIdSize = 8;
constexpr qsizetype publicKeySize = crypto_sign_PUBLICKEYBYTES;
constexpr qsizetype signatureSize = crypto_sign_BYTES;

std::optional<QByteArray> fileHash(const fs::path& path) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(path.native())));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::nullopt;
    return hash.result().toHex();
}

QByteArray textHash(const std::string& text) {
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256)
        .toHex();
}

// A key file's last non-empty line is its key; a bare key line is its own last line.
QByteArray keyLine(const QByteArray& publicKey) {
    const QList<QByteArray> lines = publicKey.trimmed().split('\n');
    return lines.isEmpty() ? QByteArray() : lines.last().trimmed();
}

// Whether the comment has exactly one field "<name>:…" and it reads "<name>:<value>".
bool namesOnce(const QByteArray& trustedComment, const QByteArray& name, const QString& value) {
    if (value.isEmpty())
        return false;
    const QByteArray prefix = name + ':';
    int fields = 0;
    bool matches = false;
    for (const QByteArray& field : trustedComment.simplified().split(' ')) {
        if (!field.startsWith(prefix))
            continue;
        ++fields;
        matches = field == prefix + value.toUtf8();
    }
    return fields == 1 && matches;
}

bool verifyDetached(const QByteArray& signature, const QByteArray& message, const QByteArray& key) {
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                       reinterpret_cast<const unsigned char*>(message.data()),
                                       static_cast<unsigned long long>(message.size()),
                                       reinterpret_cast<const unsigned char*>(key.data())) == 0;
}

} // namespace

namespace AppSignature {

std::optional<QByteArray> manifest(const QString& appFolder) {
    const fs::path root(QFile::encodeName(appFolder).toStdString());
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(root, error)))
        return std::nullopt;

    std::vector<std::pair<std::string, QByteArray>> lines; // path, line
    fs::recursive_directory_iterator entry(root, error);
    if (error)
        return std::nullopt;
    for (; entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (error)
            return std::nullopt;
        const fs::file_status status = entry->symlink_status(error);
        if (error)
            return std::nullopt;
        if (fs::is_directory(status))
            continue;
        const std::string path = entry->path().lexically_relative(root).generic_string();
        if (path == manifestPath || path == signaturePath)
            continue;
        if (path.find('\n') != std::string::npos)
            return std::nullopt;

        QByteArray line;
        if (fs::is_symlink(status)) {
            const fs::path target = fs::read_symlink(entry->path(), error);
            if (error)
                return std::nullopt;
            line = "link " + textHash(target.native());
        } else if (fs::is_regular_file(status)) {
            const std::optional<QByteArray> hash = fileHash(entry->path());
            if (!hash)
                return std::nullopt;
            // An executable that lost its mode would leave an install that can't start.
            const bool runnable = (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
            line = (runnable ? "exec " : "file ") + *hash;
        } else {
            return std::nullopt;
        }
        line += ' ' + QByteArray::fromStdString(path) + '\n';
        lines.emplace_back(path, line);
    }
    if (error)
        return std::nullopt;

    std::sort(lines.begin(), lines.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QByteArray text;
    for (const auto& [path, line] : lines)
        text += line;
    return text;
}

bool verify(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey,
            const QString& teamId, const QString& version) {
    if (sodium_init() < 0)
        return false;

    const std::optional<QByteArray> key = Base64::decodeStrict(keyLine(publicKey));
    if (!key || key->size() != algorithmSize + keyIdSize + publicKeySize || !key->startsWith("Ed"))
        return false;
    const QByteArray keyId = key->mid(algorithmSize, keyIdSize);
    const QByteArray keyBytes = key->mid(algorithmSize + keyIdSize);

    // untrusted comment, signature, trusted comment, global signature
    QList<QByteArray> lines = signature.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (lines.size() < 4 || !lines[0].startsWith("untrusted comment: ") ||
        !lines[2].startsWith("trusted comment: "))
        return false;
    const std::optional<QByteArray> messageSignature = Base64::decodeStrict(lines[1]);
    const std::optional<QByteArray> globalSignature = Base64::decodeStrict(lines[3]);
    if (!messageSignature || !globalSignature ||
        messageSignature->size() != algorithmSize + keyIdSize + signatureSize ||
        globalSignature->size() != signatureSize)
        return false;
    const QByteArray algorithm = messageSignature->left(algorithmSize);
    if (messageSignature->mid(algorithmSize, keyIdSize) != keyId)
        return false;
    const QByteArray signatureBytes = messageSignature->mid(algorithmSize + keyIdSize);

    QByteArray signedData;
    if (algorithm == "ED") { // prehashed: the signature covers BLAKE2b-512 of the message
        signedData.resize(crypto_generichash_BYTES_MAX);
        crypto_generichash(reinterpret_cast<unsigned char*>(signedData.data()),
                           static_cast<size_t>(signedData.size()),
                           reinterpret_cast<const unsigned char*>(message.data()),
                           static_cast<unsigned long long>(message.size()), nullptr, 0);
    } else if (algorithm == "Ed") {
        signedData = message;
    } else {
        return false;
    }

    const QByteArray trustedComment = lines[2].mid(qsizetype(sizeof("trusted comment: ")) - 1);
    return verifyDetached(signatureBytes, signedData, keyBytes) &&
           verifyDetached(*globalSignature, signatureBytes + trustedComment, keyBytes) &&
           namesOnce(trustedComment, "team", teamId) &&
           namesOnce(trustedComment, "version", version);
}

} // namespace AppSignature
