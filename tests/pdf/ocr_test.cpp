#include "ocr.h"

#include "case_table.h"
#include "pdf_extract_p.h"
#include "pdf_test_support.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <QDir>

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Recognised;

namespace {

TEST(OcrOrder, sizes_lines_by_box_height_in_points_and_places_them_when_the_width_is_known) {
    const Recognised title{u"Title"_s, 0.9, 0.03, true, 0.1, 0.5};
    const Line line = PDFExtract::ocrOrder({title}, 800, 600).value(0);
    EXPECT_DOUBLE_EQ(line.size, 24);
    EXPECT_EQ((std::array{line.place.x0, line.place.y0, line.place.x1, line.place.y1}),
              (std::array{60.0f, 56.0f, 300.0f, 80.0f}));
    EXPECT_EQ(PDFExtract::ocrOrder({title}, 800).value(0).place, PDFExtract::Placement{});
    // Not rounded: the layout rounds when it counts.
    EXPECT_DOUBLE_EQ(PDFExtract::ocrOrder({{u"x"_s, 0.5, 0.017}}, 800)[0].size, 13.6);
}

struct OrderCase {
    const char* name;
    QList<Recognised> recognised;
    QStringList expected;
};

class OcrOrderTexts : public testing::TestWithParam<OrderCase> {};

TEST_P(OcrOrderTexts, come_top_down_without_blank_or_sideways_lines) {
    EXPECT_EQ(texts(PDFExtract::ocrOrder(GetParam().recognised, 100)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OcrOrderTexts,
    testing::Values(OrderCase{"bottom_edge_highest_first_ties_in_order",
                              {{u"low"_s, 0.2, 0.01},
                               {u"tie first"_s, 0.5, 0.01},
                               {u"tie second"_s, 0.5, 0.01},
                               {u"a hair higher, right"_s, 0.5000001, 0.01},
                               {u"top"_s, 0.9, 0.01}},
                              {u"top"_s, u"a hair higher, right"_s, u"tie first"_s, u"tie second"_s,
                               u"low"_s}},
                    // The recogniser answers column by column; the lines come out by height.
                    OrderCase{"two_columns_interleaved",
                              {{u"left 1"_s, 0.80, 0.01},
                               {u"left 2"_s, 0.70, 0.01},
                               {u"right 1"_s, 0.79, 0.01},
                               {u"right 2"_s, 0.69, 0.01}},
                              {u"left 1"_s, u"right 1"_s, u"left 2"_s, u"right 2"_s}},
                    OrderCase{"not_upright_skipped",
                              {{u"HPA A IAA"_s, 0.2, 0.3, false}, {u"kept"_s, 0.1, 0.01}},
                              {u"kept"_s}},
                    // Only spaces and tabs count as blank here.
                    OrderCase{"spaces_kept_blank_skipped",
                              {{u"  padded  "_s, 0.5, 0.01},
                               {u" \t "_s, 0.4, 0.01},
                               {u""_s, 0.3, 0.01},
                               {u"\u00A0"_s, 0.2, 0.01}},
                              {u"  padded  "_s, u"\u00A0"_s}}),
    caseName);

// Levenshtein distance over characters, for a character error rate.
qsizetype editDistance(const QString& a, const QString& b) {
    std::vector<qsizetype> previous(static_cast<size_t>(b.size() + 1));
    std::vector<qsizetype> current(previous.size());
    for (size_t j = 0; j < previous.size(); ++j)
        previous[j] = static_cast<qsizetype>(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous[static_cast<size_t>(b.size())];
}

TEST(Ocr, leaves_out_text_turned_sideways) {
    const QList<Line> lines = PDFExtract::extract(fixture("stamped_scan.pdf"), 1).pages.value(0);
    ASSERT_EQ(lines.size(), 3) << texts(lines).join(u'|').toStdString();
    EXPECT_TRUE(lines[0].text.startsWith(u"The quick brown fox"_s));
    for (const Line& line : lines)
        EXPECT_LT(line.size, 20);
}

TEST(Ocr, reads_a_page_whose_text_layer_holds_only_spaces) {
    const PDFExtract::Extraction extraction = PDFExtract::pages(fixture("scan_under_spaces.pdf"));
    ASSERT_EQ(extraction.pages.size(), 1);
    EXPECT_GE(extraction.pages[0].size(), 4);
    EXPECT_TRUE(extraction.note.endsWith(u"on 1p)"_s)) << extraction.note.toStdString();
}

TEST(Ocr, leaves_a_page_with_one_text_line_unrecognised) {
    const PDFExtract::Extraction extraction = PDFExtract::pages(fixture("scan_under_text.pdf"));
    ASSERT_EQ(extraction.pages.size(), 1);
    EXPECT_EQ(extraction.pages[0], (PDFExtract::Page{{u"Only line"_s, 12}}));
    EXPECT_EQ(extraction.note, u"1p \u00B7 1 lines (text 1, ocr 0 on 0p)"_s);
}

TEST(OcrEngine, gives_nothing_when_recognition_runs_past_its_time) {
    const std::unique_ptr<PDFExtract::OcrEngine> engine = PDFExtract::OcrEngine::create();
    ASSERT_TRUE(engine);
    // White with rows of dark strokes, as a page of text looks from afar.
    const int width = 1200;
    const int height = 1600;
    std::vector<unsigned char> pixels(size_t(width) * height, 0xFF);
    for (int y = 100; y < height - 100; y += 40) {
        for (int x = 100; x < width - 100; ++x)
            pixels[size_t(y) * width + x] = (x / 6) % 3 ? 0x00 : 0xFF;
    }
    PDFExtract::GreyImage image{pixels.data(), width, height, width, 144};
    EXPECT_EQ(engine->recognise(image, 1), std::nullopt);
}

qsizetype threadCount() {
    return QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

TEST(Ocr, reads_a_rendered_page_of_known_text_alike_in_parallel_and_without_threads_of_its_own) {
    // OpenMP keeps the threads of a parallel region parked for as long as the
    // thread that started it lives; a fresh thread shows any it would start.
    qsizetype before = 0;
    qsizetype after = 0;
    PDFExtract::Extraction extraction;
    std::thread worker([&] {
        before = threadCount();
        extraction = PDFExtract::extract(fixture("scanned.pdf"), 1);
        after = threadCount();
    });
    worker.join();
    EXPECT_EQ(after, before);
    ASSERT_EQ(extraction.pages.size(), 2);
    for (const Line& line : extraction.pages[0]) {
        // Box heights of 16 pt text measure a little under the font size.
        EXPECT_GT(line.size, 11);
        EXPECT_LT(line.size, 20);
    }
    const QString expected = u"The quick brown fox jumps over the lazy dog.\n"
                             u"Pack my box with five dozen liquor jugs.\n"
                             u"Sphinx of black quartz, judge my vow.\n"
                             u"How vexingly quick daft zebras jump!\n"
                             u"Bl\u00E5b\u00E6rgr\u00F8d p\u00E5 \u00C6r\u00F8 er s\u00F8d."_s;
    const QString recognised = texts(extraction.pages[0]).join(u'\n');
    const double errorRate = static_cast<double>(editDistance(recognised, expected)) /
                             static_cast<double>(expected.size());
    EXPECT_LT(errorRate, 0.05) << recognised.toStdString();
    // The blank scanned page gives no lines and does not count as recognised.
    EXPECT_TRUE(extraction.pages[1].isEmpty());
    EXPECT_EQ(extraction.note,
              u"2p \u00B7 %1 lines (text 0, ocr %1 on 1p)"_s.arg(extraction.pages[0].size()));
    const PDFExtract::Extraction parallel = PDFExtract::extract(fixture("scanned.pdf"), 2);
    EXPECT_EQ(parallel.pages, extraction.pages);
    EXPECT_EQ(parallel.note, extraction.note);
}

} // namespace
