#include "unicode.h"

#include <QStringDecoder>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>

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

} // namespace

namespace Unicode {

QList<QStringView> graphemes(QStringView text) {
    QList<QStringView> clusters;
    if (text.isEmpty())
        return clusters;
    UBreakIterator* iterator = characterIterator();
    UErrorCode status = U_ZERO_ERROR;
    if (iterator && text.size() <= INT32_MAX)
        ubrk_setText(iterator, icuChars(text), static_cast<int32_t>(text.size()), &status);
    if (!iterator || text.size() > INT32_MAX || U_FAILURE(status)) {
        // ICU data missing: code points are the closest safe answer.
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            clusters.append(text.mid(i, length));
            i += length;
        }
        return clusters;
    }
    int32_t start = ubrk_first(iterator);
    for (int32_t end = ubrk_next(iterator); end != UBRK_DONE; end = ubrk_next(iterator)) {
        clusters.append(text.mid(start, end - start));
        start = end;
    }
    // Do not leave the iterator pointing into a buffer the caller may free.
    ubrk_setText(iterator, nullptr, 0, &status);
    return clusters;
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

bool isBlank(QStringView text) {
    return trimmed(text).isEmpty();
}

QStringView trimmed(QStringView text) {
    // Every White_Space code point is in the BMP, so surrogates never match.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhiteSpace(text[begin].unicode()))
        ++begin;
    while (end > begin && isWhiteSpace(text[end - 1].unicode()))
        --end;
    return text.sliced(begin, end - begin);
}

std::optional<QString> decodeUtf8Strict(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace Unicode
