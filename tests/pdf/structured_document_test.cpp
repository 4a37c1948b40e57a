#include "structured_document.h"

#include "golden.h"
#include "pdf_extract.h"
#include "pdf_test_support.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

TEST(StructuredDocument, knows_captions) {
    EXPECT_TRUE(StructuredLayout::isCaption(u"Figure 3: Harbour map"_s));
    EXPECT_TRUE(StructuredLayout::isCaption(u"Fig. 12 The pier"_s));
    EXPECT_FALSE(StructuredLayout::isCaption(u"Figures show the pier"_s));
    EXPECT_FALSE(StructuredLayout::isCaption(u"The map in figure 3"_s));
}

TEST(StructuredDocument, a_picture_too_large_to_decode_is_left_out_and_its_page_kept) {
    const StructuredLayout::Document document = StructuredLayout::document(
        PDFExtract::pages(fixture("huge_picture.pdf"), PDFExtract::Content::textAndDrawing));
    EXPECT_EQ(document.markdown, u"Text beside a huge picture.\n"_s);
    EXPECT_TRUE(document.assets.isEmpty());
}

struct GoldenCase {
    const char* pdf;
    QStringList assets; // names, in order
};

class TablesGolden : public testing::TestWithParam<GoldenCase> {};

TEST_P(TablesGolden, matches_the_reviewed_markdown_with_its_pictures) {
    const QString name = QString::fromLatin1(GetParam().pdf);
    const PDFExtract::Extraction extraction =
        PDFExtract::pages(fixture(GetParam().pdf), PDFExtract::Content::textAndDrawing);
    ASSERT_EQ(extraction.drawings.size(), extraction.pages.size());
    const StructuredLayout::Document document = StructuredLayout::document(extraction);
    expectGolden(QStringLiteral(MORVANE_PDF_GOLDEN) + u'/' + name.section(u'.', 0, 0) + u".md"_s,
                 document.markdown);

    QStringList names;
    for (const StructuredLayout::Asset& asset : document.assets) {
        names.append(asset.name);
        EXPECT_TRUE(asset.bytes.startsWith("\x89PNG") || asset.bytes.startsWith("\xFF\xD8"));
    }
    EXPECT_EQ(names, GetParam().assets);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, TablesGolden,
    // The logo on both pages of the exact case and the decoration are left out.
    testing::Values(GoldenCase{"tables_report.pdf", {u"image1.png"_s}},
                    GoldenCase{"tables_exact.pdf", {u"image1.png"_s}},
                    GoldenCase{"tables_layouts.pdf", {u"image1.png"_s}}),
    [](const testing::TestParamInfo<GoldenCase>& info) {
        return QString::fromLatin1(info.param.pdf).section(u'.', 0, 0).toStdString();
    });

} // namespace
