#include "case_table.h"
#include "convert_kind.h"

#include "qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct FileCase {
    const char* name;
    QString path;
    std::optional<ConvertKind> kind;
};

class ConvertKindForFile : public testing::TestWithParam<FileCase> {};

TEST_P(ConvertKindForFile, maps_the_last_extension_case_insensitively) {
    const FileCase& c = GetParam();
    EXPECT_EQ(ConvertKind::forFile(c.path), c.kind) << c.path.toStdString();
    EXPECT_EQ(ConvertKind::forFile(QUrl::fromLocalFile(c.path)), c.kind) << c.path.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConvertKindForFile,
    testing::Values(FileCase{"upper_pdf", u"/tmp/Report.PDF"_s, ConvertKind::pdf},
                    FileCase{"docx", u"/tmp/letter.docx"_s, ConvertKind::docx},
                    FileCase{"upper_pptx", u"/tmp/slides.PPTX"_s, ConvertKind::pptx},
                    FileCase{"upper_htm", u"/tmp/index.HTM"_s, ConvertKind::html},
                    FileCase{"html", u"/tmp/index.html"_s, ConvertKind::html},
                    FileCase{"mixed_case", u"/tmp/a.HtMl"_s, ConvertKind::html},
                    FileCase{"relative", u"notes.pdf"_s, ConvertKind::pdf},
                    FileCase{"dots_in_folder", u"/tmp/v1.2/report.pdf"_s, ConvertKind::pdf},
                    FileCase{"hidden_pdf", u"/tmp/.pdf"_s, ConvertKind::pdf},
                    FileCase{"doc", u"/tmp/letter.doc"_s, std::nullopt},
                    FileCase{"xhtml", u"/tmp/page.xhtml"_s, std::nullopt},
                    FileCase{"txt", u"/tmp/notes.txt"_s, std::nullopt},
                    FileCase{"no_extension", u"/tmp/README"_s, std::nullopt},
                    FileCase{"dot_in_folder_only", u"/tmp/a.pdf/README"_s, std::nullopt},
                    FileCase{"trailing_dot", u"/tmp/report."_s, std::nullopt},
                    FileCase{"gz_after_html", u"/tmp/archive.html.gz"_s, std::nullopt},
                    FileCase{"zip_after_pdf", u"/tmp/report.pdf.zip"_s, std::nullopt},
                    FileCase{"url_is_never_a_file", u"/tmp/page.url"_s, std::nullopt},
                    FileCase{"space_before_extension", u"/tmp/a. pdf"_s, std::nullopt}),
    caseName);

TEST(ConvertKind, file_urls_with_escapes_and_queries_use_the_path) {
    EXPECT_EQ(ConvertKind::forFile(QUrl(u"file:///tmp/My%20Report.PDF"_s)), ConvertKind::pdf);
    EXPECT_EQ(ConvertKind::forFile(QUrl(u"file:///tmp/x.pdf?y=z.txt"_s)), ConvertKind::pdf);
    EXPECT_EQ(ConvertKind::forFile(QUrl()), std::nullopt);
}

TEST(ConvertKind, raw_values_round_trip_and_are_case_sensitive) {
    for (ConvertKind kind : {ConvertKind::pdf, ConvertKind::docx, ConvertKind::pptx,
                             ConvertKind::html, ConvertKind::url})
        EXPECT_EQ(ConvertKind::fromRawValue(kind.rawValue()), kind);
    EXPECT_EQ(ConvertKind(ConvertKind::html).rawValue(), u"html");
    EXPECT_EQ(ConvertKind(ConvertKind::url).rawValue(), u"url");
    EXPECT_EQ(ConvertKind::fromRawValue(u"PDF"), std::nullopt);
    EXPECT_EQ(ConvertKind::fromRawValue(u"htm"), std::nullopt);
    EXPECT_EQ(ConvertKind::fromRawValue(u""), std::nullopt);
    EXPECT_EQ(ConvertKind::fromRawValue(u" pdf"), std::nullopt);
}

} // namespace
