#include "base64.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64DecodeStrict, decodes_padded_standard_text) {
    EXPECT_EQ(Base64::decodeStrict("aGVsbG8="), QByteArray("hello"));
    EXPECT_EQ(Base64::decodeStrict("w6k="), QByteArray("\xc3\xa9"));
    EXPECT_EQ(Base64::decodeStrict("+/+/"), QByteArray("\xfb\xff\xbf"));
    EXPECT_EQ(Base64::decodeStrict(""), QByteArray());
}

TEST(Base64DecodeStrict, rejects_everything_outside_alphabet_and_padding) {
    for (const char* bad : {"aGVsbG8", "aGVs bG8=", "aGVsbG8=\n",
                            "aGVs\nbG8=", " aGVsbG8=", "aGVsbG8-", "aGV_bG8=", "a===", "=aGV",
                            "aG=s", "aGVsbG8=====", "abc", "ab==cd==", "\xc3\xa9\xc3\xa9"})
        EXPECT_FALSE(Base64::decodeStrict(bad)) << bad;
}

TEST(Base64DecodeStrict, reads_text_as_it_reads_bytes) {
    EXPECT_EQ(Base64::decodeStrict(QStringView(u"w6k=")), QByteArray("\xc3\xa9"));
    // the low byte of U+0141 is "A"
    for (const char16_t* bad : {u"aGVsbG8", u"aGVs bG8=", u"aGV\u0141", u"\u0141GVs"})
        EXPECT_FALSE(Base64::decodeStrict(QStringView(bad)))
            << QString::fromUtf16(bad).toStdString();
}

} // namespace
