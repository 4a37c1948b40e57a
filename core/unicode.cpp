#include "unicode.h"

#include <QStringDecoder>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
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
            if (U_SUCCESS(status))
                text = std::move(out);
        }
    }
    ucnv_close(converter);
    return text;
}

} // namespace Unicode
