#include "pdf_layout.h"

#include "text_repair.h"
#include "unicode.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Number of non-empty runs between White_Space characters, stopping early
// once `limit` is passed.
int wordCount(QStringView text, int limit) {
    int words = 0;
    bool inWord = false;
    for (const uint codePoint : text.toUcs4()) {
        const bool space = Unicode::isWhiteSpace(codePoint);
        if (!space && !inWord && ++words > limit)
            return words;
        inWord = !space;
    }
    return words;
}

bool hasLetter(QStringView text) {
    const QList<uint> codePoints = text.toUcs4();
    return std::any_of(codePoints.cbegin(), codePoints.cend(),
                       [](uint codePoint) { return Unicode::isAlphabetic(codePoint); });
}

bool startsWithLowercase(QStringView cluster) {
    return Unicode::isLowercase(Unicode::firstCodePoint(cluster));
}

// The last two grapheme clusters of `text`, read from its end: a paragraph
// that grows by mending must not be split whole at every line.
QList<QStringView> lastTwoClusters(QStringView text) {
    for (qsizetype tail = 16;; tail *= 2) {
        const bool whole = tail >= text.size();
        const QList<QStringView> clusters = Unicode::graphemes(whole ? text : text.last(tail));
        // A cluster cut by the start of the tail is only ever the first one.
        if (whole || clusters.size() > 2)
            return clusters.mid(qMax<qsizetype>(clusters.size() - 2, 0));
    }
}

// A word split at the line end: lowercase letter, hyphen-minus, then a line
// that starts with a lowercase letter.
bool mendsHyphen(QStringView previous, QStringView next) {
    if (!previous.endsWith(u'-'))
        return false;
    const QList<QStringView> clusters = lastTwoClusters(previous);
    if (clusters.size() < 2 || clusters.last() != u"-")
        return false;
    return startsWithLowercase(clusters.first()) &&
           startsWithLowercase(
               Unicode::graphemes(next.first(qMin<qsizetype>(next.size(), 8))).value(0));
}

// The characters and lines of each size, over some of a document's lines.
struct SizeCounts {
    QHash<int, qint64> characters;
    QHash<int, qint64> lines;
    qint64 total = 0;
    qsizetype lineTotal = 0;

    void add(const QList<PDFExtract::Line>& page) {
        for (const PDFExtract::Line& line : page) {
            const int key = PDFLayout::sizeKey(line.size);
            const qsizetype count = Unicode::graphemeCount(line.text);
            characters[key] += count;
            total += count;
            lines[key] += 1;
        }
        lineTotal += page.size();
    }

    void add(std::span<const PDFExtract::Page> pages) {
        for (const PDFExtract::Page& page : pages)
            add(page);
    }

    void add(const SizeCounts& other) {
        for (auto it = other.characters.cbegin(); it != other.characters.cend(); ++it)
            characters[it.key()] += it.value();
        for (auto it = other.lines.cbegin(); it != other.lines.cend(); ++it)
            lines[it.key()] += it.value();
        total += other.total;
        lineTotal += other.lineTotal;
    }

    PDFLayout::SizeStats stats() const {
        PDFLayout::SizeStats stats;
        bool found = false;
        for (auto it = characters.cbegin(); it != characters.cend(); ++it) {
            if (static_cast<double>(it.value()) >= 0.1 * static_cast<double>(total) &&
                (!found || it.key() > stats.bodySize)) {
                stats.bodySize = it.key();
                found = true;
            }
        }
        const double all = static_cast<double>(qMax<qsizetype>(lineTotal, 1));
        for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
            if (it.key() > stats.bodySize && static_cast<double>(it.value()) / all < 0.08)
                stats.headingSizes.insert(it.key());
        }
        return stats;
    }
};

// The headings and paragraphs of each page, in order.
QStringList blocksOf(std::span<const PDFExtract::Page> pages, const PDFLayout::SizeStats& stats) {
    QStringList blocks;
    for (const PDFExtract::Page& page : pages) {
        QStringList para;
        for (const PDFExtract::Line& line : page) {
            const QStringView text = Unicode::trimmed(line.text);
            if (text.isEmpty())
                continue;
            if (PDFLayout::isHeading(text, line.size, stats)) {
                PDFLayout::flushPara(para, blocks);
                blocks.append(PDFLayout::headingMarker(line.size, stats.bodySize) + u' ' +
                              text.toString());
            } else if (!para.isEmpty() && mendsHyphen(para.last(), text)) {
                QString& previous = para.last();
                previous.chop(1);
                previous.append(text);
            } else {
                para.append(text.toString());
            }
        }
        PDFLayout::flushPara(para, blocks);
    }
    return blocks;
}

// Runs `later` on the second half of the pages on a thread of its own while
// `earlier` runs on the first half here.
template <typename Earlier, typename Later>
void inHalves(std::span<const PDFExtract::Page> pages, Earlier earlier, Later later) {
    qsizetype lines = 0;
    for (const PDFExtract::Page& page : pages)
        lines += page.size();
    size_t split = 0;
    for (qsizetype before = 0; split < pages.size() && 2 * before < lines; ++split)
        before += pages[split].size();
    std::thread helper([&] { later(pages.subspan(split)); });
    earlier(pages.first(split));
    helper.join();
}

} // namespace

namespace PDFLayout {

int sizeKey(double size) {
    if (!std::isfinite(size))
        return 0;
    const double rounded = std::round(size);
    if (rounded >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (rounded <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

SizeStats sizeStats(const QList<PDFExtract::Line>& lines) {
    SizeCounts counts;
    counts.add(lines);
    return counts.stats();
}

bool isHeading(QStringView text, double size, const SizeStats& stats) {
    if (!stats.headingSizes.contains(sizeKey(size)) || !hasLetter(text))
        return false;
    if (wordCount(text, 9) > 9)
        return false;
    if (Unicode::graphemeCount(text) > 70)
        return false;
    const QList<QStringView> clusters =
        Unicode::graphemes(text.last(qMin<qsizetype>(text.size(), 16)));
    if (clusters.isEmpty())
        return false;
    const QStringView last = clusters.last();
    return last != u"." && last != u"," && last != u";" && last != u":";
}

QString headingMarker(double size, int bodySize) {
    const double ratio = bodySize > 0 ? size / bodySize : 1.0;
    if (ratio >= 1.9)
        return u"#"_s;
    if (ratio >= 1.4)
        return u"##"_s;
    return u"###"_s;
}

void flushPara(QStringList& para, QStringList& blocks) {
    const QString paragraph = collapseWs(para.join(u' '));
    if (!paragraph.isEmpty())
        blocks.append(paragraph);
    para.clear();
}

QString markdown(const QList<PDFExtract::Page>& pages) {
    // Alone after every page is read, this pass is shared by two threads,
    // each with half the lines: first to count sizes, then to lay out.
    const std::span<const PDFExtract::Page> all(pages.constData(), size_t(pages.size()));
    SizeCounts counts, laterCounts;
    inHalves(
        all, [&](auto half) { counts.add(half); }, [&](auto half) { laterCounts.add(half); });
    counts.add(laterCounts);
    const SizeStats stats = counts.stats();

    QStringList blocks, laterBlocks;
    inHalves(
        all, [&](auto half) { blocks = blocksOf(half, stats); },
        [&](auto half) { laterBlocks = blocksOf(half, stats); });
    blocks.append(std::move(laterBlocks));
    return tidy(fixLigatures(blocks.join(u"\n\n"_s)));
}

bool joinsSplitWord(QStringView previous, QStringView next) {
    return mendsHyphen(previous, next);
}

} // namespace PDFLayout
