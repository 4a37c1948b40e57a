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
// Whether the text holds at least `count` clusters; reads no further than that.
bool hasAtLeastGraphemes(QStringView text, qsizetype count);

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

// `text` without White_Space code points at either end.
QStringView trimmed(QStringView text);

// A line of text in visual order (as drawn, left to right, each combining
// mark after its base) put into logical order by the inverse of the
// bidirectional algorithm. Brackets are taken as the characters they stand
// for, as files map them, not as the mirrored shapes drawn.
// Lines with more right-to-left than left-to-right letters read from the
// right. Text without right-to-left letters is returned as it is.
QString visualToLogical(QStringView visual);

// The bytes as UTF-8 only when every sequence is valid (no overlong forms, no
// encoded surrogates, nothing truncated); a leading byte-order mark is dropped.
std::optional<QString> decodeUtf8Strict(QByteArrayView bytes);

// The bytes in the named character set (any IANA name or alias ICU knows),
// only when every byte sequence is valid there. Unknown names give nothing.
std::optional<QString> decodeStrict(QByteArrayView bytes, const QByteArray& charsetName);

// Strict conversions to and from a single-byte or multi-byte code page named
// as ICU knows it ("macintosh", "windows-1252"): nothing when a character has
// no mapping, the code page is unknown or the bytes are not valid.
std::optional<QByteArray> encode(QStringView text, const char* codePage);
std::optional<QString> decode(QByteArrayView bytes, const char* codePage);

} // namespace Unicode
