#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Release signatures of an install folder: a minisign signature (Ed25519) over
// the folder's manifest, kept inside the folder as signature/manifest.minisig.
// packaging/sign-app writes the same manifest with shell tools; both sides must
// keep to the format below byte for byte.
namespace AppSignature {

// The signature folder's files, relative to the install folder; they are the
// only files the manifest leaves out.
inline constexpr char manifestPath[] = "signature/manifest";
inline constexpr char signaturePath[] = "signature/manifest.minisig";

// One line per regular file, "file <sha256 of content> <path>", or "exec …"
// for a file its owner may run, and per symbolic link,
// "link <sha256 of target text> <path>", with the path relative
// to `appFolder` and the lines sorted by path bytes; each line ends in a line
// feed. Empty when the folder can't be read, is not a real folder, or holds
// anything else (a device, a pipe) or a name with a line feed.
std::optional<QByteArray> manifest(const QString& appFolder);

// Whether `signature` (the text of a minisign signature file) signs `message`
// with `publicKey` (the base64 key line of a minisign public key, or the whole
// key file) and its trusted comment names `teamId` as the one field
// "team:<teamId>" and `version` as the one field "version:<version>". Both the
// legacy and the prehashed signature kinds count.
bool verify(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey,
            const QString& teamId, const QString& version);

} // namespace AppSignature
