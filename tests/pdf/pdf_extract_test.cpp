#include "case_table.h"
#include "golden.h"
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

// Pages, lines with their rounded sizes, the note and the plain layout of
// small fixtures: a page with only spaces or missing is an empty entry, rows
// drawn in any order or in pieces read as columns, accents compose, right to
// left reads logically, half a surrogate pair becomes U+FFFD, ligatures and
// code pages are mended, a truncated file gives only empty pages, and one
// that cannot be opened none with its size in the note.
TEST(PdfExtract, reads_the_fixtures_as_reviewed) {
    QString dump;
    for (const char* name :
         {"sizes.pdf",       "three_pages.pdf", "missing_page.pdf", "zero_pages.pdf",
          "owner_only.pdf",  "truncated.pdf",   "columns.pdf",      "rows.pdf",
          "offset_rows.pdf", "bottom_up.pdf",   "fragments.pdf",    "table.pdf",
          "ligatures.pdf",   "mac_roman.pdf",   "accents.pdf",      "arabic.pdf",
          "to_unicode.pdf",  "garbage.pdf",     "empty_file.pdf",   "locked.pdf",
          "huge_count.pdf"}) {
        const PDFExtract::Extraction extraction = PDFExtract::pages(fixture(name));
        EXPECT_EQ(PDFExtract::lastNote(), extraction.note);
        // Byte counts vary with the tool that made the fixtures.
        const QString size = u"(%1 bytes)"_s.arg(QFileInfo(fixture(name)).size());
        dump += u"== "_s + QLatin1String(name) + u": "_s +
                QString(extraction.note).replace(size, u"(N bytes)"_s) + u'\n';
        for (qsizetype page = 0; page < extraction.pages.size(); ++page) {
            dump += u"-- page "_s + QString::number(page + 1) + u'\n';
            for (const Line& line : extraction.pages[page])
                dump += QString::number(line.size) + u" |"_s + line.text + u"|\n"_s;
        }
        dump += u"-- markdown\n"_s + PDFLayout::markdown(extraction.pages);
    }
    expectGolden(QStringLiteral(MORVANE_PDF_GOLDEN) + u"/extraction.md"_s, dump);
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

// Body lines at 9, 10 and 11 pt (11 is the largest with a tenth of the text);
// headings at 14 to 18 pt, one per page.
TEST(PdfExtract, makes_headings_and_paragraphs_of_a_whole_document_alike_in_parallel) {
    const PDFExtract::Extraction serial = PDFExtract::extract(fixture("many.pdf"), 1);
    const QString body = PDFLayout::markdown(serial.pages);
    EXPECT_TRUE(body.startsWith(u"### Heading of page 1\n\nPage 1 line 1 words 1 and more- "
                                u"Page 1 line 2 words 2"_s))
        << body.left(200).toStdString();
    EXPECT_TRUE(body.contains(u"and more-\n\n## Heading of page 4\n\nPage 4 line 1 "_s));
    EXPECT_TRUE(body.contains(u"and more-\n\n### Heading of page 40\n\nPage 40 line 1 "_s));
    EXPECT_EQ(body.count(u"Heading of page"_s), 40);
    EXPECT_EQ(body.count(u"\n\n"_s), 79);
    for (int workers : {2, 3, 8}) {
        const PDFExtract::Extraction parallel = PDFExtract::extract(fixture("many.pdf"), workers);
        EXPECT_EQ(parallel.pages, serial.pages) << workers << " workers";
        EXPECT_EQ(parallel.note, serial.note);
    }
}

struct BudgetCase {
    const char* name;
    const char* pdf;
    int workers;
    PDFExtract::Limits limits;
    qsizetype pages;
    QString note;
};

class Budgets : public testing::TestWithParam<BudgetCase> {};

TEST_P(Budgets, end_pages_over_budget_and_name_them_in_the_note) {
    const PDFExtract::Extraction extraction =
        PDFExtract::extract(fixture(GetParam().pdf), GetParam().workers, GetParam().limits);
    EXPECT_EQ(extraction.pages.size(), GetParam().pages);
    EXPECT_EQ(extraction.note, GetParam().note);
}

using std::chrono::milliseconds;

// A page over its time or memory is an empty entry; past the document's time
// or the page limits the rest is not read. Blank pages have nothing to
// recognise.
INSTANTIATE_TEST_SUITE_P(
    Limits, Budgets,
    testing::Values(
        BudgetCase{"page_time",
                   "nested_forms.pdf",
                   2,
                   {.pageTime = milliseconds(300), .memoryBytes = size_t(1) << 30},
                   3,
                   u"3p \u00B7 2 lines (text 2, ocr 0 on 0p) \u00B7 over budget: p2"_s},
        BudgetCase{"memory",
                   "nested_forms.pdf",
                   2,
                   {.pageTime = std::chrono::minutes(5), .memoryBytes = size_t(96) << 20},
                   3,
                   u"3p \u00B7 2 lines (text 2, ocr 0 on 0p) \u00B7 over budget: p2"_s},
        BudgetCase{"document_time",
                   "nested_forms.pdf",
                   1,
                   {.documentTime = milliseconds(300)},
                   3,
                   u"3p \u00B7 1 lines (text 1, ocr 0 on 0p) \u00B7 over budget: p2 "
                   u"\u00B7 not read: p3"_s},
        BudgetCase{"reused_tree",
                   "reused_tree.pdf",
                   2,
                   {},
                   1000,
                   u"1000p \u00B7 0 lines (text 0, ocr 0 on 0p)"_s},
        BudgetCase{"reused_tree_million",
                   "reused_tree_million.pdf",
                   2,
                   {},
                   1000000,
                   u"1000000p \u00B7 0 lines (text 0, ocr 0 on 0p) \u00B7 not read: "
                   u"p10001\u20131000000"_s},
        BudgetCase{"not_recognised",
                   "scanned.pdf",
                   1,
                   {.pagesRecognised = 0},
                   2,
                   u"2p \u00B7 0 lines (text 0, ocr 0 on 0p) \u00B7 not recognised: p1"_s}),
    caseName);

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
