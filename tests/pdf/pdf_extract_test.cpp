#include "case_table.h"
#include "pdf_extract.h"

#include "pdf_extract_p.h"
#include "pdf_layout.h"
#include "pdf_test_support.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Page;

namespace {

TEST(PdfExtract, gives_each_line_its_dominant_rounded_size) {
    const PDFExtract::Extraction extraction = PDFExtract::pages(fixture("sizes.pdf"));
    ASSERT_EQ(extraction.pages.size(), 1);
    EXPECT_EQ(extraction.pages[0], (Page{{u"0123456789abcdefghijklmnopqrstuvwxyz1234"_s, 9},
                                         {u"aaaaabbbbb"_s, 12},
                                         {u"Twelve and a half"_s, 13},
                                         {u"xxxxxyyyyy"_s, 10},
                                         {u"   padded marker   "_s, 10}}));
    EXPECT_EQ(extraction.note, u"1p \u00B7 5 lines (text 5, ocr 0 on 0p)"_s);
}

// A page with only spaces in its text layer (recognition finds nothing on
// it) and a page the document lacks are both empty entries.
TEST(PdfExtract, keeps_one_entry_per_page_and_counts_lines) {
    for (const auto& [pdf, first, third] :
         {std::tuple{"three_pages.pdf", u"First page marker alpha"_s, u"Third page marker gamma"_s},
          std::tuple{"missing_page.pdf", u"Before the gap"_s, u"After the gap"_s}}) {
        const PDFExtract::Extraction extraction = PDFExtract::pages(fixture(pdf));
        ASSERT_EQ(extraction.pages.size(), 3) << pdf;
        EXPECT_EQ(texts(extraction.pages[0]), QStringList{first});
        EXPECT_TRUE(extraction.pages[1].isEmpty());
        EXPECT_EQ(texts(extraction.pages[2]), QStringList{third});
        EXPECT_EQ(extraction.note, u"3p \u00B7 2 lines (text 2, ocr 0 on 0p)"_s);
    }
}

TEST(PdfExtract, of_a_document_without_pages_is_empty_with_zero_counts) {
    const PDFExtract::Extraction extraction = PDFExtract::pages(fixture("zero_pages.pdf"));
    EXPECT_TRUE(extraction.pages.isEmpty());
    EXPECT_EQ(extraction.note, u"0p \u00B7 0 lines (text 0, ocr 0 on 0p)"_s);
}

class UnreadablePdf : public testing::TestWithParam<const char*> {};

TEST_P(UnreadablePdf, gives_no_pages_and_the_byte_count) {
    const QString path = fixture(GetParam());
    const PDFExtract::Extraction extraction = PDFExtract::pages(path);
    EXPECT_TRUE(extraction.pages.isEmpty());
    EXPECT_EQ(extraction.note, u"not a readable PDF (%1 bytes)"_s.arg(QFileInfo(path).size()));
    EXPECT_EQ(PDFExtract::lastNote(), extraction.note);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadablePdf,
    testing::Values("garbage.pdf", "empty_file.pdf", "locked.pdf", "huge_count.pdf"),
    [](const testing::TestParamInfo<const char*>& info) {
        return QString::fromLatin1(info.param).section(u'.', 0, 0).toStdString();
    });

TEST(PdfExtract, opens_a_file_locked_only_for_changes) {
    const PDFExtract::Extraction extraction = PDFExtract::pages(fixture("owner_only.pdf"));
    ASSERT_EQ(extraction.pages.size(), 3);
    EXPECT_EQ(texts(extraction.pages[2]), QStringList{u"Third page marker gamma"_s});
}

TEST(PdfExtract, survives_a_truncated_file) {
    const PDFExtract::Extraction extraction = PDFExtract::pages(fixture("truncated.pdf"));
    EXPECT_FALSE(extraction.note.isEmpty());
    for (const Page& page : extraction.pages)
        EXPECT_TRUE(page.isEmpty());
}

TEST(PdfExtract, reports_a_file_it_cannot_read) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    // Only regular files are read: a FIFO would block and /dev/zero never ends.
    const QString fifo = directory.filePath(u"fifo.pdf"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zeros = directory.filePath(u"zeros.pdf"_s);
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, zeros));
    for (const QString& path :
         {directory.filePath(u"missing.pdf"_s), directory.path(), fifo, zeros}) {
        const PDFExtract::Extraction extraction = PDFExtract::pages(path);
        EXPECT_TRUE(extraction.pages.isEmpty());
        EXPECT_EQ(extraction.note, u"couldn't read the file (iCloud not downloaded?)"_s);
        EXPECT_EQ(PDFExtract::lastNote(), extraction.note);
    }
}

TEST(PdfExtract, replaces_the_last_note_even_when_the_second_call_fails) {
    PDFExtract::pages(fixture("sizes.pdf"));
    EXPECT_EQ(PDFExtract::lastNote(), u"1p \u00B7 5 lines (text 5, ocr 0 on 0p)"_s);
    PDFExtract::pages(fixture("garbage.pdf"));
    EXPECT_EQ(PDFExtract::lastNote(), u"not a readable PDF (25 bytes)"_s);
}

TEST(PdfExtract, keeps_each_note_with_its_own_call_when_calls_overlap) {
    const QList<std::pair<QString, QString>> cases = {
        {fixture("sizes.pdf"), u"1p \u00B7 5 lines (text 5, ocr 0 on 0p)"_s},
        {fixture("garbage.pdf"), u"not a readable PDF (25 bytes)"_s},
        {fixture("many.pdf"), u"40p \u00B7 1240 lines (text 1240, ocr 0 on 0p)"_s},
        {fixture("zero_pages.pdf"), u"0p \u00B7 0 lines (text 0, ocr 0 on 0p)"_s}};
    std::vector<std::thread> threads;
    std::vector<QStringList> notes(cases.size() * 2);
    for (size_t i = 0; i < notes.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round) {
                notes[i].append(PDFExtract::pages(cases[qsizetype(i % cases.size())].first).note);
                const QString last = PDFExtract::lastNote();
                // Whole notes only, never a torn mixture.
                EXPECT_TRUE(std::any_of(cases.cbegin(), cases.cend(), [&](const auto& c) {
                    return c.second == last;
                })) << last.toStdString();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (size_t i = 0; i < notes.size(); ++i) {
        for (const QString& note : notes[i])
            EXPECT_EQ(note, cases[qsizetype(i % cases.size())].second);
    }
}

TEST(PdfExtract, gives_the_same_result_in_parallel_as_in_series) {
    const PDFExtract::Extraction serial = PDFExtract::extract(fixture("many.pdf"), 1);
    ASSERT_EQ(serial.pages.size(), 40);
    EXPECT_EQ(texts(serial.pages[39]).value(0), u"Heading of page 40"_s);
    for (int workers : {2, 3, 8}) {
        const PDFExtract::Extraction parallel = PDFExtract::extract(fixture("many.pdf"), workers);
        EXPECT_EQ(parallel.pages, serial.pages) << workers << " workers";
        EXPECT_EQ(parallel.note, serial.note);
    }
}

TEST(PdfExtract, reads_two_columns_in_reading_order_however_they_were_drawn) {
    const Page columns = PDFExtract::pages(fixture("columns.pdf")).pages.value(0);
    ASSERT_EQ(columns.size(), 11);
    EXPECT_EQ(columns[0].text, u"Columns title spanning the whole text width here"_s);
    EXPECT_EQ(columns[5].text, u"Left five papa quebec romeo sierra tango"_s);
    EXPECT_EQ(columns[6].text, u"Right one yankee zulu alpha bravo charlie"_s);
    for (const char* name : {"rows.pdf", "offset_rows.pdf"})
        EXPECT_EQ(PDFExtract::pages(fixture(name)).pages.value(0), columns) << name;
}

TEST(PdfExtract, reads_lines_drawn_bottom_up_from_the_top) {
    const Page page = PDFExtract::pages(fixture("bottom_up.pdf")).pages.value(0);
    ASSERT_EQ(page.size(), 5);
    EXPECT_TRUE(page[0].text.startsWith(u"Left one"_s));
    EXPECT_TRUE(page[4].text.startsWith(u"Left five"_s));
}

TEST(PdfExtract, joins_the_pieces_of_a_row_but_never_two_columns) {
    const QList<Page> pages = PDFExtract::pages(fixture("fragments.pdf")).pages;
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].first(), (Line{u"1.1 Section marker 1"_s, 14}));
    EXPECT_EQ(pages[0].last(), (Line{u"-v print every step"_s, 10}));
    QStringList columns;
    for (const char* side :
         {"Left column row %1, text in a line", "Right column row %1 goes on here"}) {
        for (int row = 0; row < 4; ++row)
            columns.append(QString::fromLatin1(side).arg(row));
    }
    columns.last() = u"short."_s;
    EXPECT_EQ(texts(pages[1]), columns);
    // Whole rows keep the numbers out of the line counts: the headings stay.
    const QString body = PDFLayout::markdown(pages);
    EXPECT_TRUE(body.contains(u"filler words.\n\n## 1.2 Section marker 2\n\nBody line 1"_s))
        << body.toStdString();
}

TEST(PdfExtract, keeps_a_table_drawn_row_by_row) {
    EXPECT_EQ(texts(PDFExtract::pages(fixture("table.pdf")).pages.value(0)),
              (QStringList{u"Name"_s, u"Size"_s, u"Fine"_s, u"alpha"_s, u"55"_s, u"yes"_s,
                           u"beta"_s, u"12"_s, u"no"_s, u"gamma"_s, u"7"_s, u"yes"_s}));
}

TEST(PdfExtract, feeds_the_layout_ligatures_and_code_page_repairs) {
    EXPECT_EQ(PDFLayout::markdown(PDFExtract::pages(fixture("ligatures.pdf")).pages),
              u"We find the flow of the staff in the office\n"_s);
    EXPECT_EQ(PDFLayout::markdown(PDFExtract::pages(fixture("mac_roman.pdf")).pages),
              u"K\u00F8benhavn er en by med \u00E6bler p\u00E5 tr\u00E6erne og s\u00E5 videre\n"_s);
}

TEST(PdfExtract, composes_accents_drawn_over_their_letters) {
    EXPECT_EQ(texts(PDFExtract::pages(fixture("accents.pdf")).pages.value(0)),
              (QStringList{u"B\u00E9zier curves by Niels M\u00F6ller in \u00E6\u00C5land"_s,
                           u"an acute \u00B4 alone"_s}));
}

TEST(PdfExtract, reads_right_to_left_lines_in_logical_order) {
    EXPECT_EQ(texts(PDFExtract::pages(fixture("arabic.pdf")).pages.value(0)),
              QStringList{u"\u0643\u062A\u0627\u0628 Python \u062C\u062F\u064A\u062F"_s});
}

TEST(PdfExtract, gives_well_formed_text_for_a_map_to_half_a_surrogate_pair) {
    EXPECT_EQ(texts(PDFExtract::pages(fixture("to_unicode.pdf")).pages.value(0)),
              (QStringList{u"Half \uFFFD whole \U0001F600"_s}));
}

TEST(PdfExtract, makes_headings_and_paragraphs_of_a_whole_document) {
    // Body lines at 9, 10 and 11 pt (11 is the largest with a tenth of the
    // text); headings at 14 to 18 pt, one per page.
    const QString body = PDFLayout::markdown(PDFExtract::pages(fixture("many.pdf")).pages);
    EXPECT_TRUE(body.startsWith(u"### Heading of page 1\n\nPage 1 line 1 words 1 and more- "
                                u"Page 1 line 2 words 2"_s))
        << body.left(200).toStdString();
    EXPECT_TRUE(body.contains(u"and more-\n\n## Heading of page 4\n\nPage 4 line 1 "_s));
    EXPECT_EQ(body.count(u"Heading of page"_s), 40);
    EXPECT_EQ(body.count(u"\n\n"_s), 79);
}

struct BudgetCase {
    const char* name;
    PDFExtract::Limits limits;
};

class NestedForms : public testing::TestWithParam<BudgetCase> {};

TEST_P(NestedForms, end_as_an_empty_page_over_budget) {
    const PDFExtract::Extraction extraction =
        PDFExtract::extract(fixture("nested_forms.pdf"), 2, GetParam().limits);
    ASSERT_EQ(extraction.pages.size(), 3);
    EXPECT_EQ(texts(extraction.pages[0]), QStringList{u"Before the nest"_s});
    EXPECT_TRUE(extraction.pages[1].isEmpty());
    EXPECT_EQ(texts(extraction.pages[2]), QStringList{u"After the nest"_s});
    EXPECT_EQ(extraction.note, u"3p \u00B7 2 lines (text 2, ocr 0 on 0p) \u00B7 over budget: p2"_s);
}

PDFExtract::Limits limits(std::chrono::milliseconds pageTime, size_t memoryBytes) {
    PDFExtract::Limits limits;
    limits.pageTime = pageTime;
    limits.memoryBytes = memoryBytes;
    return limits;
}

INSTANTIATE_TEST_SUITE_P(
    Budgets, NestedForms,
    testing::Values(BudgetCase{"time", limits(std::chrono::milliseconds(300), size_t(1) << 30)},
                    BudgetCase{"memory", limits(std::chrono::minutes(5), size_t(96) << 20)}),
    caseName);

TEST(PdfExtract, ends_the_document_with_what_it_has_when_its_time_is_up) {
    PDFExtract::Limits limits;
    limits.documentTime = std::chrono::milliseconds(300);
    const PDFExtract::Extraction extraction =
        PDFExtract::extract(fixture("nested_forms.pdf"), 1, limits);
    ASSERT_EQ(extraction.pages.size(), 3);
    EXPECT_EQ(texts(extraction.pages[0]), QStringList{u"Before the nest"_s});
    EXPECT_EQ(extraction.note, u"3p \u00B7 1 lines (text 1, ocr 0 on 0p) \u00B7 over budget: p2 "
                               u"\u00B7 not read: p3"_s);
}

TEST(PdfExtract, reads_a_reused_page_tree_within_the_page_limits) {
    // Blank pages have nothing to recognise.
    const PDFExtract::Extraction thousand = PDFExtract::extract(fixture("reused_tree.pdf"), 2);
    EXPECT_EQ(thousand.pages.size(), 1000);
    EXPECT_EQ(thousand.note, u"1000p \u00B7 0 lines (text 0, ocr 0 on 0p)"_s);

    const PDFExtract::Extraction million =
        PDFExtract::extract(fixture("reused_tree_million.pdf"), 2);
    EXPECT_EQ(million.pages.size(), 1000000);
    EXPECT_EQ(million.note, u"1000000p \u00B7 0 lines (text 0, ocr 0 on 0p) \u00B7 not read: "
                            u"p10001\u20131000000"_s);
}

TEST(PdfExtract, names_the_pages_it_did_not_recognise) {
    PDFExtract::Limits none;
    none.pagesRecognised = 0;
    const PDFExtract::Extraction extraction = PDFExtract::extract(fixture("scanned.pdf"), 1, none);
    ASSERT_EQ(extraction.pages.size(), 2);
    EXPECT_TRUE(extraction.pages[0].isEmpty());
    EXPECT_EQ(extraction.note,
              u"2p \u00B7 0 lines (text 0, ocr 0 on 0p) \u00B7 not recognised: p1"_s);
}

TEST(PageList, numbers_pages_from_one_and_joins_neighbours) {
    EXPECT_EQ(PDFExtract::pageList({1}), u"p2"_s);
    EXPECT_EQ(PDFExtract::pageList({0, 1, 2, 4, 6, 7}), u"p1\u20133, p5, p7\u20138"_s);
    EXPECT_EQ(PDFExtract::pageList({0, 2, 4, 6, 8, 10}), u"p1, p3, p5, p7, \u2026"_s);
}

TEST(PdfExtract, mends_many_hyphenated_lines_in_linear_time) {
    // The page budget is wall time; sanitizer builds need far more of it.
    PDFExtract::Limits limits;
    limits.pageTime = std::chrono::minutes(10);
    const QString body =
        PDFLayout::markdown(PDFExtract::extract(fixture("hyphens.pdf"), 1, limits).pages);
    EXPECT_EQ(body, QString(u"ab"_s).repeated(80000) + u"-\n"_s);
}

} // namespace
