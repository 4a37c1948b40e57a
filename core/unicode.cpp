#include "unicode.h"

#include <QStringDecoder>

#include <unicode/ubidi.h>
#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

const UChar* icuChars(QStringView text) {
    return reinterpret_cast<const UChar*>(text.utf16());
}

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// Opening a break iterator loads rules; one per thread is reused.
UBreakIterator* characterIterator() {
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(U_SUCCESS(status) ? opened
                                                                                      : nullptr);
    }();
    return iterator.get();
}

// ICU's windows-1252 passes the five bytes the code page leaves undefined
// through as C1 controls; a strict decode must refuse them.
bool isWindows1252(UConverter* converter) {
    static const QByteArray canonical = [] {
        UErrorCode status = U_ZERO_ERROR;
        UConverter* reference = ucnv_open("windows-1252", &status);
        QByteArray name = U_SUCCESS(status) ? QByteArray(ucnv_getName(reference, &status)) : "";
        ucnv_close(reference);
        return name;
    }();
    UErrorCode status = U_ZERO_ERROR;
    return !canonical.isEmpty() && canonical == ucnv_getName(converter, &status);
}

bool hasBytesUndefinedIn1252(QByteArrayView bytes) {
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)
            return true;
    }
    return false;
}

// The first `limit` clusters of the text.
QList<QStringView> clusters(QStringView text, qsizetype limit) {
    QList<QStringView> found;
    if (text.isEmpty())
        return found;
    UBreakIterator* iterator = characterIterator();
    UErrorCode status = U_ZERO_ERROR;
    if (iterator && text.size() <= INT32_MAX)
        ubrk_setText(iterator, icuChars(text), static_cast<int32_t>(text.size()), &status);
    if (!iterator || text.size() > INT32_MAX || U_FAILURE(status)) {
        // ICU data missing: code points are the closest safe answer.
        for (qsizetype i = 0; i < text.size() && found.size() < limit;) {
            const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            found.append(text.mid(i, length));
            i += length;
        }
        return found;
    }
    int32_t start = ubrk_first(iterator);
    for (int32_t end = ubrk_next(iterator); end != UBRK_DONE && found.size() < limit;
         end = ubrk_next(iterator)) {
        found.append(text.mid(start, end - start));
        start = end;
    }
    // Do not leave the iterator pointing into a buffer the caller may free.
    ubrk_setText(iterator, nullptr, 0, &status);
    return found;
}

} // namespace

namespace Unicode {

QList<QStringView> graphemes(QStringView text) {
    return clusters(text, std::numeric_limits<qsizetype>::max());
}

qsizetype graphemeCount(QStringView text) {
    // Below U+0300 every code unit is a cluster of its own, except CR LF.
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0x300)
            return graphemes(text).size();
        if (!(unit == u'\n' && i > 0 && text[i - 1] == u'\r'))
            ++count;
    }
    return count;
}

bool hasAtLeastGraphemes(QStringView text, qsizetype count) {
    return clusters(text, count).size() >= count;
}

QString nfc(QStringView text) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* normalizer = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status) || text.size() > INT32_MAX)
        return text.toString();
    const auto length = static_cast<int32_t>(text.size());
    if (unorm2_isNormalized(normalizer, icuChars(text), length, &status) && U_SUCCESS(status))
        return text.toString();
    status = U_ZERO_ERROR;
    const int32_t needed =
        unorm2_normalize(normalizer, icuChars(text), length, nullptr, 0, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return text.toString();
    status = U_ZERO_ERROR;
    QString out(needed, Qt::Uninitialized);
    unorm2_normalize(normalizer, icuChars(text), length, reinterpret_cast<UChar*>(out.data()),
                     needed, &status);
    return U_SUCCESS(status) ? out : text.toString();
}

bool isWhiteSpace(char32_t codePoint) {
    return u_hasBinaryProperty(static_cast<UChar32>(codePoint), UCHAR_WHITE_SPACE);
}

bool isAlphabetic(char32_t codePoint) {
    return u_hasBinaryProperty(static_cast<UChar32>(codePoint), UCHAR_ALPHABETIC);
}

bool isLowercase(char32_t codePoint) {
    return u_hasBinaryProperty(static_cast<UChar32>(codePoint), UCHAR_LOWERCASE);
}

char32_t firstCodePoint(QStringView text) {
    if (text.isEmpty())
        return 0xFFFF;
    if (text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[0], text[1]);
    return text[0].unicode();
}

QStringView trimmed(QStringView text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end) {
        const qsizetype length =
            text[start].isHighSurrogate() && start + 1 < end && text[start + 1].isLowSurrogate()
                ? 2
                : 1;
        if (!isWhiteSpace(firstCodePoint(text.mid(start, length))))
            break;
        start += length;
    }
    while (end > start) {
        const qsizetype length =
            text[end - 1].isLowSurrogate() && end - 2 >= start && text[end - 2].isHighSurrogate()
                ? 2
                : 1;
        if (!isWhiteSpace(firstCodePoint(text.mid(end - length, length))))
            break;
        end -= length;
    }
    return text.mid(start, end - start);
}

bool isBlank(QStringView text) {
    return trimmed(text).isEmpty();
}

QString visualToLogical(QStringView visual) {
    // Nothing below the Hebrew block reads from the right.
    if (std::none_of(visual.cbegin(), visual.cend(), [](QChar c) { return c.unicode() >= 0x0590; }))
        return visual.toString();
    qsizetype rightToLeft = 0;
    qsizetype leftToRight = 0;
    for (const char32_t codePoint : visual.toUcs4()) {
        const UCharDirection direction = u_charDirection(static_cast<UChar32>(codePoint));
        if (direction == U_RIGHT_TO_LEFT || direction == U_RIGHT_TO_LEFT_ARABIC)
            ++rightToLeft;
        else if (direction == U_LEFT_TO_RIGHT)
            ++leftToRight;
    }
    if (rightToLeft == 0 || visual.size() > std::numeric_limits<int32_t>::max())
        return visual.toString();
    const auto length = static_cast<int32_t>(visual.size());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UBiDi, decltype(&ubidi_close)> bidi(ubidi_openSized(length, 0, &status),
                                                        ubidi_close);
    if (U_FAILURE(status))
        return visual.toString();
    ubidi_setReorderingMode(bidi.get(), UBIDI_REORDER_INVERSE_LIKE_DIRECT);
    ubidi_setPara(bidi.get(), icuChars(visual), length,
                  rightToLeft > leftToRight ? UBIDI_RTL : UBIDI_LTR, nullptr, &status);
    QString logical(visual.size(), Qt::Uninitialized);
    const int32_t written =
        ubidi_writeReordered(bidi.get(), reinterpret_cast<UChar*>(logical.data()), length,
                             UBIDI_KEEP_BASE_COMBINING, &status);
    if (U_FAILURE(status) || written != length)
        return visual.toString();
    return logical;
}

std::optional<QString> decodeUtf8Strict(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QString> decodeStrict(QByteArrayView bytes, const QByteArray& charsetName) {
    if (charsetName.trimmed().isEmpty() || bytes.size() > INT32_MAX)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    // An empty or null name would open ICU's default converter: refused above.
    UConverter* converter = ucnv_open(charsetName.trimmed().constData(), &status);
    if (U_FAILURE(status) || !converter)
        return std::nullopt;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_SUCCESS(status) && isWindows1252(converter) && hasBytesUndefinedIn1252(bytes)) {
        ucnv_close(converter);
        return std::nullopt;
    }
    const auto length = static_cast<int32_t>(bytes.size());
    std::optional<QString> text;
    if (U_SUCCESS(status)) {
        const int32_t needed = ucnv_toUChars(converter, nullptr, 0, bytes.data(), length, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING ||
            U_SUCCESS(status)) {
            status = U_ZERO_ERROR;
            ucnv_reset(converter);
            QString out(needed, Qt::Uninitialized);
            ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()), needed, bytes.data(),
                          length, &status);
            // Some converters (UTF-7, BOCU-1, SCSU) pass half a surrogate pair
            // through as if it were a character.
            if (U_SUCCESS(status) && QStringView(out).isValidUtf16())
                text = std::move(out);
        }
    }
    ucnv_close(converter);
    return text;
}

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// A converter that stops at the first unmapped or invalid character instead
// of substituting one.
Converter strictConverter(const char* codePage) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(codePage, &status));
    if (U_FAILURE(status))
        return nullptr;
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

} // namespace

std::optional<QByteArray> encode(QStringView text, const char* codePage) {
    Converter converter = strictConverter(codePage);
    if (!converter || text.size() > INT32_MAX / 4)
        return std::nullopt;
    const auto length = static_cast<int32_t>(text.size());
    QByteArray out(UCNV_GET_MAX_BYTES_FOR_STRING(length, ucnv_getMaxCharSize(converter.get())),
                   Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t written =
        ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                        icuChars(text), length, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    out.truncate(written);
    return out;
}

std::optional<QString> decode(QByteArrayView bytes, const char* codePage) {
    Converter converter = strictConverter(codePage);
    if (!converter || bytes.size() > INT32_MAX / 2)
        return std::nullopt;
    const auto length = static_cast<int32_t>(bytes.size());
    QString out(2 * length, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t written =
        ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(out.data()),
                      static_cast<int32_t>(out.size()), bytes.data(), length, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    out.truncate(written);
    if (!QStringView(out).isValidUtf16())
        return std::nullopt;
    return out;
}

} // namespace Unicode
