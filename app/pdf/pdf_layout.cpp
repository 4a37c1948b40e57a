#include "pdf_layout.h"

#include "text_repair.h"
#include "unicode.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

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
    QHash<int, qint64> characters;
    QHash<int, qint64> lineCounts;
    qint64 total = 0;
    for (const PDFExtract::Line& line : lines) {
        const int key = sizeKey(line.size);
        const qsizetype count = Unicode::graphemeCount(line.text);
        characters[key] += count;
        total += count;
        lineCounts[key] += 1;
    }

    SizeStats stats;
    bool found = false;
    for (auto it = characters.cbegin(); it != characters.cend(); ++it) {
        if (static_cast<double>(it.value()) >= 0.1 * static_cast<double>(total) &&
            (!found || it.key() > stats.bodySize)) {
            stats.bodySize = it.key();
            found = true;
        }
    }
    const double lineTotal = static_cast<double>(qMax<qsizetype>(lines.size(), 1));
    for (auto it = lineCounts.cbegin(); it != lineCounts.cend(); ++it) {
        if (it.key() > stats.bodySize && static_cast<double>(it.value()) / lineTotal < 0.08)
            stats.headingSizes.insert(it.key());
    }
    return stats;
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
    QList<PDFExtract::Line> all;
    for (const PDFExtract::Page& page : pages)
        all.append(page);
    const SizeStats stats = sizeStats(all);

    QStringList blocks;
    for (const PDFExtract::Page& page : pages) {
        QStringList para;
        for (const PDFExtract::Line& line : page) {
            const QStringView text = Unicode::trimmed(line.text);
            if (text.isEmpty())
                continue;
            if (isHeading(text, line.size, stats)) {
                flushPara(para, blocks);
                blocks.append(headingMarker(line.size, stats.bodySize) + u' ' + text.toString());
            } else if (!para.isEmpty() && mendsHyphen(para.last(), text)) {
                QString& previous = para.last();
                previous.chop(1);
                previous.append(text);
            } else {
                para.append(text.toString());
            }
        }
        flushPara(para, blocks);
    }
    return tidy(fixLigatures(blocks.join(u"\n\n"_s)));
}

bool joinsSplitWord(QStringView previous, QStringView next) {
    return mendsHyphen(previous, next);
}

} // namespace PDFLayout
