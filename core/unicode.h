#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The few Unicode rules the converters must follow exactly, answered by ICU so
// that they do not drift with Qt's own tables.
namespace Unicode {

// The text's extended grapheme clusters (user-perceived characters), as views
// into `text`.
QList<QStringView> graphemes(QStringView text);

// The number of grapheme clusters in `text`; quick for text without
// combining marks.
qsizetype graphemeCount(QStringView text);

// Canonical composition; two texts are canonically equivalent exactly when
// their NFC forms are equal.
QString nfc(QStringView text);

bool isWhiteSpace(char32_t codePoint);
bool isAlphabetic(char32_t codePoint);
bool isLowercase(char32_t codePoint);

// The first code point of `text`, or U+FFFF for "".
char32_t firstCodePoint(QStringView text);

// True when every code point of `text` is White_Space (so also for "").
bool isBlank(QStringView text);

// `text` trimmed of White_Space at both ends.
QStringView trimmed(QStringView text);

// Strict conversions to and from a single-byte or multi-byte code page named
// as ICU knows it ("macintosh", "windows-1252"): nothing when a character has
// no mapping, the code page is unknown or the bytes are not valid.
std::optional<QByteArray> encode(QStringView text, const char* codePage);
std::optional<QString> decode(QByteArrayView bytes, const char* codePage);

} // namespace Unicode
