#include "structured_layout.h"

#include "markdown_escape.h"
#include "pdf_layout.h"
#include "pdf_tables.h"
#include "text_repair.h"
#include "unicode.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using PDFExtract::Line;
using PDFExtract::Page;
using PDFExtract::Placement;

namespace {

// Share of the page height at its top and at its bottom where running
// headers, footers and page numbers stand.
constexpr double bandShare = 0.11;
// How many lines before and after a line show its column's width.
constexpr qsizetype columnReach = 6;
// Deeper lists and wider code indents are a drawing's accident, not text.
constexpr qsizetype maxListDepth = 8;
constexpr double maxCodeIndent = 160;

// A hostile file can place text at infinity; such a line counts as unplaced.
bool hasPlace(const Placement& place) {
    return place.pageHeight > 0 && place.y1 > place.y0 && std::isfinite(place.pageHeight) &&
           std::isfinite(place.x0) && std::isfinite(place.x1) && std::isfinite(place.y0) &&
           std::isfinite(place.y1) && std::isfinite(place.baseline);
}

// 0 outside the bands, 1 in the top band, 2 in the bottom band.
int band(const Placement& place) {
    if (!hasPlace(place))
        return 0;
    if (place.y1 <= bandShare * place.pageHeight)
        return 1;
    if (place.y0 >= (1 - bandShare) * place.pageHeight)
        return 2;
    return 0;
}

bool isPrivateUse(char32_t c) {
    // Symbol and dingbat fonts map their glyphs here; at a line start,
    // followed by text, they are bullets.
    return c >= 0xF000 && c <= 0xF0FF;
}

bool isBulletGlyph(char32_t c) {
    switch (c) {
    case U'\u2022':
    case U'\u25E6':
    case U'\u25AA':
    case U'\u2023':
    case U'\u25CF':
    case U'\u25CB':
    case U'\u25A0':
    case U'\u25A1':
    case U'\u25BA':
    case U'\u25B8':
    case U'\u27A2':
    case U'\u27A4':
    case U'\u2043':
    case U'\u2219':
        return true;
    default:
        return isPrivateUse(c);
    }
}

// Dashes and asterisks also open prose lines; they count only where a new
// block may begin.
bool isDashBullet(char32_t c) {
    return c == U'-' || c == U'*' || c == U'\u2013';
}

qsizetype blanksFrom(QStringView text, qsizetype at) {
    qsizetype end = at;
    while (end < text.size() && text[end].isSpace())
        ++end;
    return end - at;
}

bool isRoman(QStringView text) {
    if (text.isEmpty() || text.size() > 7)
        return false;
    const bool lower = text[0].isLower();
    return std::all_of(text.begin(), text.end(), [lower](QChar c) {
        return QStringView(lower ? u"ivxlcdm" : u"IVXLCDM").contains(c);
    });
}

// The last character that is not a closing quote or bracket.
QChar lastMeaningful(QStringView text) {
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text[i];
        if (!QStringView(u"\"')]\u201D\u2019\u00BB*").contains(c) && !c.isSpace())
            return c;
    }
    return {};
}

bool endsSentence(QStringView text) {
    const QChar last = lastMeaningful(text);
    return last == u'.' || last == u'!' || last == u'?' || last == u':' || last == u'\u2026';
}

bool endsLikeHeading(QStringView text) {
    const QChar last = text.isEmpty() ? QChar() : text.back();
    return last != u'.' && last != u',' && last != u';' && last != u':';
}

qsizetype wordCount(QStringView text) {
    qsizetype words = 0;
    bool inWord = false;
    for (QChar c : text) {
        const bool space = c.isSpace();
        words += !space && !inWord;
        inWord = !space;
    }
    return words;
}

bool hasLetter(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

// Appends a line to running text, mending a word split at the line end.
void appendText(QString& to, QStringView text) {
    if (to.isEmpty()) {
        to = text.toString();
        return;
    }
    // Only the end of the text matters, and a paragraph can be long.
    if (PDFLayout::joinsSplitWord(QStringView(to).last(qMin<qsizetype>(to.size(), 16)), text)) {
        to.chop(1);
        to += text;
    } else {
        to += u' ';
        to += text;
    }
}

// Text-layer sizes are whole points; recognised ones are measured and vary
// from line to line of one paragraph.
bool differentSize(double a, double b) {
    if (a == std::round(a) && b == std::round(b))
        return PDFLayout::sizeKey(a) != PDFLayout::sizeKey(b);
    return std::abs(a - b) > 0.2 * qMax(a, b);
}

bool startsFootnote(QStringView text) {
    if (text.isEmpty())
        return false;
    if (QStringView(u"*\u2020\u2021\u00A7\u00B9\u00B2\u00B3\u2070\u2074\u2075\u2076\u2077\u2078"
                    u"\u2079")
            .contains(text[0]))
        return true;
    qsizetype digits = 0;
    while (digits < text.size() && digits < 4 && text[digits].isDigit())
        ++digits;
    if (digits == 0 || digits > 3 || digits == text.size())
        return false;
    const QChar after = text[digits];
    return after.isSpace() || after.isUpper() || after == u'.' || after == u')';
}

// "1The note" as "1 The note": a raised number set close to its note's text.
QString withSpacedMarker(const QString& text) {
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit())
        ++digits;
    if (digits == 0 || digits == text.size() || !text[digits].isLetter())
        return text;
    return text.first(digits) + u' ' + text.sliced(digits);
}

// One line of the flow, with what the layout asks of it worked out once.
struct Item {
    QString text; // trimmed
    QStringView raw;
    double size = 0;
    int key = 0;
    Placement place;
    int page = 0;
    bool located = false;
    float columnLeft = 0, columnRight = 0;
};

struct DocumentFacts {
    PDFLayout::SizeStats stats;
    double pitch = 0; // baseline to baseline of body lines
    QString boldHeadingMarker;
    QSet<QString> boldLabels;
};

// The body size as the plain layout finds it, counted in UTF-16 units:
// close enough to tell headings from running headers, and cheap.
int roughBodySize(const QList<Page>& pages) {
    QHash<int, qint64> characters;
    qint64 total = 0;
    for (const Page& page : pages) {
        for (const Line& line : page) {
            characters[PDFLayout::sizeKey(line.size)] += line.text.size();
            total += line.text.size();
        }
    }
    int body = 0;
    for (auto it = characters.cbegin(); it != characters.cend(); ++it) {
        if (double(it.value()) >= 0.1 * double(total))
            body = qMax(body, it.key());
    }
    return body;
}

// Band lines stand apart from the body: no chain of lines, each within a
// line's height of the next, leads from the body to them. A table's head at
// the top of a page, or the last lines of a page's text, are so joined; a
// footer of two rows is not.
QList<int> bandsOf(const Page& page) {
    QList<int> bands(page.size());
    QList<qsizetype> order;
    for (qsizetype i = 0; i < page.size(); ++i) {
        bands[i] = band(page[i].place);
        if (bands[i] != 0)
            order.append(i);
    }
    // Nearest the body first, so that a line's neighbour is settled before it.
    std::sort(order.begin(), order.end(), [&page, &bands](qsizetype a, qsizetype b) {
        if (bands[a] != bands[b])
            return bands[a] < bands[b];
        return bands[a] == 1 ? page[a].place.y1 > page[b].place.y1
                             : page[a].place.y0 < page[b].place.y0;
    });
    for (qsizetype i : std::as_const(order)) {
        const Placement& place = page[i].place;
        const float height = place.y1 - place.y0;
        for (qsizetype j = 0; j < page.size(); ++j) {
            const Placement& near = page[j].place;
            if (j == i || !hasPlace(near))
                continue;
            const bool below = near.y0 >= place.y1 - 0.5f * height && near.y0 < place.y1 + height;
            const bool above = near.y1 <= place.y0 + 0.5f * height && near.y1 > place.y0 - height;
            // Joined to a body line, or to a band line already found joined.
            const bool joined = bands[j] <= 0;
            if (joined && (bands[i] == 1 ? below : above)) {
                bands[i] = -bands[i];
                break;
            }
        }
    }
    for (int& where : bands)
        where = qMax(where, 0);
    return bands;
}

} // namespace

namespace StructuredLayout {

QString furnitureKey(QStringView text) {
    QString key;
    key.reserve(text.size());
    bool inDigits = false;
    bool inSpace = false;
    for (QChar c : Unicode::trimmed(text)) {
        if (c.isDigit()) {
            if (!inDigits)
                key += u'#';
            inDigits = true;
            inSpace = false;
            continue;
        }
        inDigits = false;
        if (c.isSpace()) {
            if (!inSpace)
                key += u' ';
            inSpace = true;
            continue;
        }
        inSpace = false;
        key += c;
    }
    return key;
}

bool isPageNumber(QStringView text) {
    static const QRegularExpression number(
        uR"(^[\s\-\x{2013}\x{2014}|\[\]()]*(?:(?:page|p\.|side|seite)\s*)?(\d{1,5}|[ivxlcdm]{1,8})(?:\s*(?:/|of|af|von)\s*\d{1,5})?[\s\-\x{2013}\x{2014}|\[\]()]*$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = number.match(text.toString());
    if (!match.hasMatch())
        return false;
    const QStringView value = match.capturedView(1);
    return value[0].isDigit() || isRoman(value);
}

QList<Page> withoutFurniture(const QList<Page>& pages) {
    QList<QList<int>> bands;
    bands.reserve(pages.size());
    // Where each band text stands, page by page. Running headers and footers
    // keep their height on the page; a "Syntax:" that happens to fall into
    // the band of several pages does not.
    QHash<QString, QList<std::pair<qsizetype, int>>> placesOfKey;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        bands.append(bandsOf(pages[p]));
        for (qsizetype i = 0; i < pages[p].size(); ++i) {
            const Line& line = pages[p][i];
            if (bands[p][i] != 0 && !Unicode::isBlank(line.text))
                placesOfKey[QString::number(bands[p][i]) + furnitureKey(line.text)].append(
                    {p, int(std::lround(std::clamp(line.place.baseline, -1e6f, 1e6f)))});
        }
    }
    // For each key, the baseline most of its lines share and on how many
    // pages it stands there.
    QHash<QString, std::pair<int, qsizetype>> pagesOfKey;
    for (auto it = placesOfKey.cbegin(); it != placesOfKey.cend(); ++it) {
        QHash<int, QSet<qsizetype>> pagesAt;
        for (const auto& [page, baseline] : it.value()) {
            for (int near = baseline - 2; near <= baseline + 2; ++near)
                pagesAt[near].insert(page);
        }
        std::pair<int, qsizetype> best{0, 0};
        for (auto at = pagesAt.cbegin(); at != pagesAt.cend(); ++at) {
            if (at.value().size() > best.second)
                best = {at.key(), at.value().size()};
        }
        pagesOfKey.insert(it.key(), best);
    }
    const qsizetype repeats = pages.size() <= 3 ? 2 : 3;
    const int bodySize = roughBodySize(pages);
    QList<Page> kept;
    kept.reserve(pages.size());
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const qsizetype count = pages[p].size();
        QList<bool> drop(count, false);
        float top = std::numeric_limits<float>::max();
        float bottom = std::numeric_limits<float>::lowest();
        for (qsizetype i = 0; i < count; ++i) {
            const Line& line = pages[p][i];
            // Page numbers are told by their row below, not by repeating;
            // a heading such as "Syntax" at the top of many pages is no header.
            const std::pair<int, qsizetype> repeated =
                pagesOfKey.value(QString::number(bands[p][i]) + furnitureKey(line.text));
            drop[i] = bands[p][i] != 0 && !isPageNumber(line.text) &&
                      PDFLayout::sizeKey(line.size) <= bodySize && repeated.second >= repeats &&
                      std::abs(line.place.baseline - float(repeated.first)) <= 2.5f;
            if (hasPlace(line.place)) {
                top = qMin(top, line.place.baseline);
                bottom = qMax(bottom, line.place.baseline);
            }
        }
        // A page number stands on the outermost row, and a band line beside
        // it is a running header or footer even in a chapter too short to
        // repeat it. A number in the last row of a table above it stays.
        const auto sameRow = [](const Line& line, float baseline) {
            return std::abs(line.place.baseline - baseline) < 0.3 * qMax(line.size, 1.0);
        };
        QList<float> numberRows;
        for (qsizetype i = 0; i < count; ++i) {
            const Line& line = pages[p][i];
            if (bands[p][i] != 0 && isPageNumber(line.text) &&
                (sameRow(line, top) || sameRow(line, bottom)))
                numberRows.append(line.place.baseline);
        }
        Page page;
        page.reserve(count);
        for (qsizetype i = 0; i < count; ++i) {
            const Line& line = pages[p][i];
            const bool besideNumber =
                bands[p][i] != 0 &&
                std::any_of(numberRows.cbegin(), numberRows.cend(),
                            [&](float baseline) { return sameRow(line, baseline); });
            if (!drop[i] && !besideNumber)
                page.append(line);
        }
        kept.append(std::move(page));
    }
    return kept;
}

std::optional<ListMarker> listMarker(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    const char32_t first = Unicode::firstCodePoint(text);
    const qsizetype firstLength = QChar::requiresSurrogates(first) ? 2 : 1;
    if (isBulletGlyph(first) || isDashBullet(first)) {
        const qsizetype blanks = blanksFrom(text, firstLength);
        // "-5 degrees" and "*emphasis*" are no items; a dash needs a blank.
        if (isDashBullet(first) && (blanks == 0 || firstLength + blanks == text.size()))
            return std::nullopt;
        return ListMarker{firstLength + blanks, u"-"_s};
    }
    qsizetype at = 0;
    const bool parenthesised = text[0] == u'(';
    at += parenthesised;
    qsizetype end = at;
    while (end < text.size() && text[end].isLetterOrNumber())
        ++end;
    const QStringView label = text.sliced(at, end - at);
    if (label.isEmpty() || end >= text.size())
        return std::nullopt;
    const QChar closing = text[end];
    if (parenthesised ? closing != u')' : closing != u'.' && closing != u')')
        return std::nullopt;
    const bool digits = label.size() <= 3 && std::all_of(label.begin(), label.end(), [](QChar c) {
                            return c >= u'0' && c <= u'9';
                        });
    // A capital and a full stop is more often an initial than an item.
    const bool letter =
        label.size() == 1 && label[0].isLetter() && (label[0].isLower() || closing == u')');
    if (!digits && !letter && !isRoman(label))
        return std::nullopt;
    const qsizetype blanks = blanksFrom(text, end + 1);
    if (blanks == 0 || end + 1 + blanks == text.size())
        return std::nullopt;
    const QString marker = text.first(end + 1).toString();
    return ListMarker{end + 1 + blanks, digits && !parenthesised ? marker : u"- "_s + marker};
}

QString withoutDotLeaders(QStringView text) {
    // A contents line is short; a long one is prose that the search would
    // only slow down.
    if (text.size() > 2000 || (!text.contains(u"..") && !text.contains(u". .") &&
                               !text.contains(u'\u2026') && !text.contains(u'\u00B7')))
        return text.toString();
    // Four dots at least, then a page reference or the line's end.
    static const QRegularExpression leader(
        uR"(\s*(?:[.\x{00B7}\x{2026}]\s*){4,}(?=(?:\d{1,5}|[ivxlcdmIVXLCDM]{1,8})?\s*$))"_s);
    QString out = text.toString();
    const QRegularExpressionMatch match = leader.match(out);
    if (!match.hasMatch() || match.capturedLength() < 4)
        return out;
    const bool reference = match.capturedEnd() < out.size();
    out.replace(match.capturedStart(), match.capturedLength(), reference ? u" "_s : QString());
    return Unicode::trimmed(out).toString();
}

} // namespace StructuredLayout

namespace {

using StructuredLayout::ListMarker;

// Gathers the blocks of the document: paragraphs, headings, lists, code and
// footnotes, in order.
class Builder {
public:
    enum class Open { nothing, paragraph, list, code };

    QStringList blocks;
    QList<bool> codeBlocks;

    Open open() const { return m_open; }

    void heading(const QString& text) {
        close();
        add(text);
    }

    void startParagraph(QStringView text) {
        close();
        m_open = Open::paragraph;
        m_text = text.toString();
    }
    void continueParagraph(QStringView text) { appendText(m_text, text); }

    // A new item at the indentation of its marker.
    void listItem(const ListMarker& marker, QStringView text, float markerX, double size) {
        const double step = 0.5 * size;
        const bool ordered = !marker.markdown.startsWith(u'-');
        // Bullets after numbers, or numbers after bullets, at the outer level
        // are a list of their own.
        if (m_open == Open::list && markerX <= m_levels[0].markerX + step &&
            m_levels[0].ordered != ordered)
            close();
        if (m_open != Open::list) {
            close();
            m_open = Open::list;
        } else {
            finishItem();
        }
        while (!m_levels.isEmpty() && markerX < m_levels.last().markerX - step)
            m_levels.removeLast();
        if (m_levels.isEmpty() ||
            (markerX > m_levels.last().markerX + step && m_levels.size() < maxListDepth)) {
            const int indent = m_levels.isEmpty() ? 0 : m_levels.last().contentIndent;
            m_levels.append({markerX, indent, indent, ordered});
        }
        Level& level = m_levels.last();
        level.contentIndent = level.indent + int(marker.markdown.size()) + 1;
        m_prefix = QString(level.indent, u' ') + marker.markdown + u' ';
        m_text = text.toString();
    }
    float itemMarkerX() const { return m_levels.isEmpty() ? 0 : m_levels.last().markerX; }
    void continueItem(QStringView text) { appendText(m_text, text); }

    void codeLine(const Item& item, bool blankBefore) {
        if (m_open != Open::code) {
            close();
            m_open = Open::code;
        }
        m_code.append({&item, blankBefore && !m_code.isEmpty()});
    }

    // A table or picture as it was written; a table going on from the
    // page before is joined to its start.
    void block(const QString& text, bool mayContinue) {
        close();
        if (mayContinue && !blocks.isEmpty()) {
            if (std::optional<QString> joined = PDFTables::continued(blocks.last(), text)) {
                blocks.last() = *joined;
                return;
            }
        }
        add(text);
    }

    // Footnotes wait for the end of the block that is open when their page ends.
    void footnotes(const QStringList& notes) {
        m_notes += notes;
        if (m_open == Open::nothing)
            flushNotes();
    }

    void close() {
        switch (m_open) {
        case Open::nothing:
            break;
        case Open::paragraph:
            add(MarkdownEscape::blockText(PDFLayout::collapseWs(m_text)));
            break;
        case Open::list:
            finishItem();
            add(m_items.join(u'\n'));
            m_items.clear();
            m_levels.clear();
            break;
        case Open::code:
            add(codeBlock(), true);
            m_code.clear();
            break;
        }
        m_open = Open::nothing;
        m_text.clear();
        flushNotes();
    }

private:
    struct Level {
        float markerX;
        int indent;
        int contentIndent;
        bool ordered;
    };
    struct CodeLine {
        const Item* item;
        bool blankBefore;
    };

    void add(const QString& block, bool code = false) {
        if (block.isEmpty())
            return;
        blocks.append(block);
        codeBlocks.append(code);
    }

    void flushNotes() {
        for (const QString& note : std::as_const(m_notes))
            add(MarkdownEscape::blockText(note));
        m_notes.clear();
    }

    void finishItem() {
        const QString text = PDFLayout::collapseWs(m_text);
        m_items.append(text.isEmpty() ? m_prefix.trimmed()
                                      : m_prefix + MarkdownEscape::blockText(text));
        m_text.clear();
    }

    // Indentation comes from where each line starts, in widths of the
    // font's characters; the text itself is kept as it is.
    QString codeBlock() const {
        float left = m_code.first().item->place.x0;
        QList<double> widths;
        for (const CodeLine& line : m_code) {
            left = qMin(left, line.item->place.x0);
            const qsizetype length = Unicode::trimmed(line.item->raw).size();
            if (line.item->located && length > 0)
                widths.append((line.item->place.x1 - line.item->place.x0) / double(length));
        }
        double charWidth = 0;
        if (!widths.isEmpty()) {
            std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
            charWidth = widths[widths.size() / 2];
        }
        QStringList lines;
        qsizetype longestTicks = 0;
        const Item* previous = nullptr;
        for (const CodeLine& line : m_code) {
            if (line.blankBefore)
                lines.append(QString());
            QStringView raw = line.item->raw;
            while (!raw.isEmpty() && (raw.back() == u' ' || raw.back() == u'\t'))
                raw.chop(1);
            double columns = charWidth > 0 ? (line.item->place.x0 - left) / charWidth : 0;
            if (!std::isfinite(columns))
                columns = 0;
            const qsizetype column = qsizetype(std::clamp(columns, 0.0, maxCodeIndent) + 0.5);
            // A comment set apart on the row of its command stays on that row.
            const bool sameRow = previous && previous->page == line.item->page &&
                                 std::abs(previous->place.baseline - line.item->place.baseline) <
                                     0.3 * qMax(line.item->size, 1.0) &&
                                 previous->place.x1 <= line.item->place.x0;
            previous = line.item;
            if (sameRow && !lines.isEmpty()) {
                lines.last() += QString(qMax<qsizetype>(1, column - lines.last().size()), u' ') +
                                raw.toString();
            } else {
                lines.append(QString(column, u' ') + raw.toString());
            }
            qsizetype ticks = 0;
            for (QChar c : raw) {
                ticks = c == u'`' ? ticks + 1 : 0;
                longestTicks = qMax(longestTicks, ticks);
            }
        }
        const QString fence(qMax<qsizetype>(3, longestTicks + 1), u'`');
        return fence + u'\n' + lines.join(u'\n') + u'\n' + fence;
    }

    Open m_open = Open::nothing;
    QString m_text;
    QString m_prefix;
    QStringList m_items;
    QList<Level> m_levels;
    QList<CodeLine> m_code;
    QStringList m_notes;
};

// The middle of the baseline steps between body lines that follow each
// other in one column.
double bodyPitch(const QList<Item>& items, int bodySize) {
    QList<double> steps;
    for (qsizetype i = 1; i < items.size(); ++i) {
        const Item& a = items[i - 1];
        const Item& b = items[i];
        if (a.page != b.page || !a.located || !b.located || a.key != bodySize || b.key != bodySize)
            continue;
        const double step = b.place.baseline - a.place.baseline;
        if (step > 0.5 * bodySize && step < 3.0 * bodySize &&
            qMin(a.place.x1, b.place.x1) > qMax(a.place.x0, b.place.x0))
            steps.append(step);
    }
    if (steps.isEmpty())
        return 1.2 * qMax(bodySize, 1);
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return steps[steps.size() / 2];
}

// Lines that follow each other in one column, a line's spacing apart.
bool adjacent(const Item& a, const Item& b, double pitch, int bodySize) {
    if (a.page != b.page || !a.located || !b.located)
        return false;
    const double down = b.place.baseline - a.place.baseline;
    const double scale = bodySize > 0 ? qMax(a.size, b.size) / bodySize : 1.0;
    return down > 0.3 * qMax(b.size, 1.0) && down < 1.6 * pitch * scale &&
           qMin(a.place.x1, b.place.x1) > qMax(a.place.x0, b.place.x0);
}

// Each line's column: the extent of the lines around it in its run of
// adjacent lines. A full-width paragraph above two columns is no part of them.
void findColumns(QList<Item>& items, double pitch, int bodySize) {
    for (qsizetype i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        item.columnLeft = item.place.x0;
        item.columnRight = item.place.x1;
        for (qsizetype j = i;
             j > 0 && i - j < columnReach && adjacent(items[j - 1], items[j], pitch, bodySize);
             --j) {
            item.columnLeft = qMin(item.columnLeft, items[j - 1].place.x0);
            item.columnRight = qMax(item.columnRight, items[j - 1].place.x1);
        }
        for (qsizetype j = i; j + 1 < items.size() && j - i < columnReach &&
                              adjacent(items[j], items[j + 1], pitch, bodySize);
             ++j) {
            item.columnLeft = qMin(item.columnLeft, items[j + 1].place.x0);
            item.columnRight = qMax(item.columnRight, items[j + 1].place.x1);
        }
    }
}

// How a line stands to the one before it in the flow.
struct Step {
    bool broken = false; // a new page or column
    bool gap = false;    // clearly more space than between the lines of a paragraph
    bool sizeChange = false;
    bool indent = false;        // a first-line indent
    bool previousShort = false; // the line before ended a paragraph well short of the column

    bool newParagraph(QStringView previousText) const {
        return gap || sizeChange || indent || previousShort ||
               (broken && endsSentence(previousText));
    }
};

Step step(const Item* previous, const Item& item, const Item* next, double pitch, int bodySize) {
    Step s;
    if (!previous)
        return s;
    s.sizeChange = differentSize(previous->size, item.size);
    // A paragraph goes on across a break only from a line that fills its column.
    const double width = previous->columnRight - previous->columnLeft;
    const bool previousFull = !previous->located || width <= 0 ||
                              previous->place.x1 >= previous->columnRight - 0.25 * width;
    if (previous->page != item.page) {
        s.broken = true;
        s.previousShort = !previousFull;
        return s;
    }
    if (!previous->located || !item.located)
        return s;
    const double size = qMax(item.size, 1.0);
    const double down = item.place.baseline - previous->place.baseline;
    if (down < 0.3 * size) {
        s.broken = true;
        s.previousShort = !previousFull;
        return s;
    }
    const double linePitch =
        pitch * (bodySize > 0 ? qMax(item.size, previous->size) / bodySize : 1.0);
    s.gap = down > 1.3 * linePitch + 1.0;
    // A first-line indent: the line after goes back to the left. Under a
    // hanging first line the lines after stay indented.
    const bool nextGoesBack = next && next->page == item.page && next->located &&
                              next->place.x0 < item.place.x0 - 0.5 * size;
    s.indent = item.place.x0 > previous->place.x0 + 0.8 * size &&
               item.place.x0 < previous->place.x0 + 8 * size &&
               item.place.x1 > previous->place.x1 - 4 * size &&
               (nextGoesBack || endsSentence(previous->text));
    s.previousShort = !previousFull && endsSentence(previous->text);
    return s;
}

bool isHeadingLine(const Item& item, const PDFLayout::SizeStats& stats) {
    return stats.headingSizes.contains(item.key) && wordCount(item.text) <= 9 &&
           Unicode::graphemeCount(item.text) <= 70;
}

// A heading may be set in a code font (the name of a function); a run of
// such lines at one size is code set large.
bool isCodeHeading(const QList<Item>& items, qsizetype i, const PDFLayout::SizeStats& stats) {
    const Item& item = items[i];
    const auto codeBeside = [&item](const Item& other) {
        return other.place.monospaced && other.key == item.key && other.page == item.page;
    };
    return item.place.monospaced && isHeadingLine(item, stats) && hasLetter(item.text) &&
           endsLikeHeading(item.text) && !(i > 0 && codeBeside(items[i - 1])) &&
           !(i + 1 < items.size() && codeBeside(items[i + 1]));
}

// Where the next line of the open paragraph or list item would stand: not
// indented past the line before, and right of the item's marker.
bool inProseColumn(const Builder& builder, const Item& previous, const Item& item) {
    if (!previous.located || !item.located)
        return true;
    const double size = qMax(item.size, 1.0);
    if (builder.open() != Builder::Open::list)
        return item.place.x0 <= previous.place.x0 + 0.8 * size;
    // The item's first line starts at its marker; its text stands right of it.
    const double marker = builder.itemMarkerX();
    const bool firstLine = previous.place.x0 <= marker + 0.3 * size;
    return item.place.x0 > marker + 0.3 * size &&
           (item.place.x0 <= previous.place.x0 + 0.8 * size ||
            (firstLine && item.place.x0 < marker + 4 * size));
}

// A line, in whatever font, that starts the open list's next item.
bool startsNextItem(const Builder& builder, const Item& item) {
    return builder.open() == Builder::Open::list && StructuredLayout::listMarker(item.text) &&
           (!item.located || item.place.x0 < builder.itemMarkerX() + 0.5 * qMax(item.size, 1.0));
}

// How many lines in a code font follow each other closely from `i` on, up
// to the open list's next item.
qsizetype codeRun(const Builder& builder, const QList<Item>& items, qsizetype i, double pitch,
                  int bodySize) {
    qsizetype end = i + 1;
    while (end < items.size() && items[end].place.monospaced && items[end].page == items[i].page &&
           !step(&items[end - 1], items[end], nullptr, pitch, bodySize).gap &&
           !startsNextItem(builder, items[end]))
        ++end;
    return end - i;
}

// Lines of one heading: same size and style, close together on one page.
bool continuesHeading(const Item& previous, const Item& item) {
    if (previous.page != item.page || previous.key != item.key ||
        previous.place.bold != item.place.bold || previous.place.italic != item.place.italic)
        return false;
    if (!previous.located || !item.located)
        return true;
    const double down = item.place.baseline - previous.place.baseline;
    return down > 0 && down < 1.8 * qMax(item.size, 1.0);
}

bool isBoldHeadingText(const Item& item, int bodySize) {
    return item.place.bold && !item.place.monospaced && item.key == bodySize &&
           hasLetter(item.text) && endsLikeHeading(item.text) && wordCount(item.text) <= 9 &&
           item.text.size() <= 70 && !StructuredLayout::listMarker(item.text);
}

// A bold line alone at body size, with plain text of the same size after it.
bool isBoldHeading(const QList<Item>& items, qsizetype i, int bodySize) {
    if (!isBoldHeadingText(items[i], bodySize))
        return false;
    if (i > 0 && items[i - 1].page == items[i].page && items[i - 1].place.bold)
        return false;
    return i + 1 < items.size() && !items[i + 1].place.bold && items[i + 1].key == bodySize;
}

// The texts of bold lines that stand before many paragraphs ("Note", "Tip"):
// labels of those paragraphs, not headings of sections.
QSet<QString> boldLabels(const QList<Item>& items, int bodySize) {
    QHash<QString, int> uses;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (isBoldHeading(items, i, bodySize))
            ++uses[items[i].text];
    }
    QSet<QString> labels;
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        if (it.value() >= 3)
            labels.insert(it.key());
    }
    return labels;
}

QString boldHeadingMarker(const QList<Item>& items, const PDFLayout::SizeStats& stats,
                          const QSet<QString>& labels) {
    qsizetype candidates = 0;
    for (qsizetype i = 0; i < items.size(); ++i)
        candidates += isBoldHeading(items, i, stats.bodySize) && !labels.contains(items[i].text);
    // One bold line may be an emphasis; the convention needs a second.
    if (candidates < 2)
        return {};
    qsizetype deepest = 2;
    for (const Item& item : items) {
        if (isHeadingLine(item, stats))
            deepest = qMax(deepest, PDFLayout::headingMarker(item.size, stats.bodySize).size());
    }
    return QString(qMin<qsizetype>(deepest + 1, 4), u'#');
}

// The page's footnotes: small lines at its bottom, below everything else,
// the first of them starting with a marker. They leave the page's items.
QStringList takeFootnotes(QList<Item>& pageItems, int bodySize) {
    qsizetype start = pageItems.size();
    while (start > 0) {
        const Item& item = pageItems[start - 1];
        if (!item.located || item.key <= 0 || item.key >= bodySize ||
            item.place.y0 < 0.5 * item.place.pageHeight)
            break;
        --start;
    }
    qsizetype first = start;
    while (first < pageItems.size() && !startsFootnote(pageItems[first].text))
        ++first;
    if (first == pageItems.size())
        return {};
    float top = pageItems[first].place.y0;
    for (qsizetype i = 0; i < first; ++i) {
        if (pageItems[i].located && pageItems[i].place.y1 > top + 1)
            return {};
    }
    QStringList notes;
    QString note;
    const float left = pageItems[first].place.x0;
    for (qsizetype i = first; i < pageItems.size(); ++i) {
        const Item& item = pageItems[i];
        const bool starts = startsFootnote(item.text) && item.place.x0 <= left + 1;
        if (!note.isEmpty() && starts) {
            notes.append(PDFLayout::collapseWs(note));
            note.clear();
        }
        appendText(note, starts ? withSpacedMarker(item.text) : item.text);
    }
    notes.append(PDFLayout::collapseWs(note));
    pageItems.resize(first);
    return notes;
}

// A list marker with its text on a line of its own ("•", "3.", "(a)").
bool isLoneMarker(QStringView text) {
    if (text.size() <= 2 && isBulletGlyph(Unicode::firstCodePoint(text)))
        return true;
    return text.size() <= 5 &&
           StructuredLayout::listMarker(text.toString() + u" x"_s).has_value() &&
           !isDashBullet(Unicode::firstCodePoint(text));
}

// The page's lines as items; a marker standing alone is joined to the text
// beside it.
QList<Item> pageItems(const Page& page, int pageIndex) {
    QList<Item> items;
    items.reserve(page.size());
    for (const Line& line : page) {
        const QStringView text = Unicode::trimmed(line.text);
        if (text.isEmpty())
            continue;
        Item item;
        item.text = text.toString();
        item.raw = line.text;
        item.size = line.size;
        item.key = PDFLayout::sizeKey(line.size);
        item.place = line.place;
        item.page = pageIndex;
        item.located = hasPlace(line.place);
        if (!items.isEmpty()) {
            Item& marker = items.last();
            // Code keeps its pieces and places them itself.
            const bool code = marker.place.monospaced || item.place.monospaced ||
                              marker.place.block || item.place.block;
            const bool located = marker.located && item.located;
            const bool beside = located && std::abs(item.place.baseline - marker.place.baseline) <
                                               0.5 * qMax(item.size, 1.0);
            // A section number set apart from its title counts as a marker too.
            const bool number = beside && marker.key == item.key && marker.text.size() <= 8 &&
                                !hasLetter(marker.text) && marker.place.x1 < item.place.x0;
            if (!code && ((isLoneMarker(marker.text) && (beside || !located)) || number)) {
                marker.text += u' ' + item.text;
                marker.raw = item.raw;
                marker.size = item.size;
                marker.key = item.key;
                const float left = marker.place.x0;
                marker.place = item.place;
                marker.place.x0 = qMin(left, item.place.x0);
                continue;
            }
            // A contents entry's leader and page number set apart from its title.
            const bool leader = StructuredLayout::withoutDotLeaders(item.text).isEmpty();
            const bool afterLeader =
                marker.text.endsWith(u'.') &&
                StructuredLayout::withoutDotLeaders(marker.text).size() < marker.text.size() &&
                std::all_of(item.text.cbegin(), item.text.cend(),
                            [](QChar c) { return c.isLetterOrNumber(); });
            if (!code && beside && marker.place.x1 < item.place.x0 && (leader || afterLeader)) {
                marker.text += u' ' + item.text;
                marker.place.x1 = item.place.x1;
                continue;
            }
        }
        items.append(std::move(item));
    }
    return items;
}

} // namespace

namespace StructuredLayout {

QString markdown(const QList<Page>& pages) {
    const QList<Page> kept = withoutFurniture(pages);
    QList<Line> all;
    for (const Page& page : kept) {
        for (const Line& line : page) {
            // A table counts as the lines it was made of, a picture not at all.
            if (!line.place.block) {
                all.append(line);
            } else if (line.text.startsWith(u'|')) {
                for (QStringView row : QStringView(line.text).split(u'\n'))
                    all.append(Line(row.toString(), line.size));
            }
        }
    }
    DocumentFacts facts;
    facts.stats = PDFLayout::sizeStats(all);
    all.clear();
    const int bodySize = facts.stats.bodySize;

    QList<Item> items;
    QList<QStringList> notesOfPage(kept.size());
    QList<qsizetype> pageEnd(kept.size());
    for (qsizetype p = 0; p < kept.size(); ++p) {
        QList<Item> page = pageItems(kept[p], int(p));
        notesOfPage[p] = takeFootnotes(page, bodySize);
        items.append(std::move(page));
        pageEnd[p] = items.size();
    }
    facts.pitch = bodyPitch(items, bodySize);
    findColumns(items, facts.pitch, bodySize);
    facts.boldLabels = boldLabels(items, bodySize);
    facts.boldHeadingMarker = boldHeadingMarker(items, facts.stats, facts.boldLabels);

    Builder builder;
    const Item* previous = nullptr;
    bool previousClosed = false; // the line before ended its block itself (a contents entry)
    qsizetype nextPage = 0;
    const auto finishPages = [&](qsizetype upTo) {
        // Footnotes of every page that has ended wait for the open block.
        while (nextPage < kept.size() && pageEnd[nextPage] <= upTo)
            builder.footnotes(notesOfPage[nextPage++]);
    };
    finishPages(0);
    for (qsizetype i = 0; i < items.size();) {
        const Item& item = items[i];
        if (item.place.block) {
            builder.block(item.text, previous && previous->place.block &&
                                         previous->page + 1 == item.page &&
                                         builder.open() == Builder::Open::nothing);
            previous = &item;
            previousClosed = true;
            finishPages(++i);
            continue;
        }
        const Step relation = step(previous, item, i + 1 < items.size() ? &items[i + 1] : nullptr,
                                   facts.pitch, bodySize);
        const bool boundary = !previous || previousClosed || relation.newParagraph(previous->text);
        previousClosed = false;

        // Code: a run of monospaced lines. A line or two that a sentence runs
        // through are words set in code, a bulleted one or one at the list's
        // marker is an item, and one alone at a heading's size is a heading.
        if (item.place.monospaced && !isBulletGlyph(Unicode::firstCodePoint(item.text)) &&
            !isCodeHeading(items, i, facts.stats)) {
            const bool nextMono = i + 1 < items.size() && items[i + 1].place.monospaced &&
                                  items[i + 1].page == item.page;
            const bool prose =
                builder.open() == Builder::Open::paragraph || builder.open() == Builder::Open::list;
            // As a list item's lines go on: its hanging lines stand indented.
            const bool goesOn = builder.open() == Builder::Open::list
                                    ? !relation.gap && !relation.sizeChange &&
                                          !(relation.broken && endsSentence(previous->text))
                                    : prose && !boundary;
            // The rest of a sentence, with a name set in code, goes on.
            const bool sentenceGoesOn =
                goesOn && !endsSentence(previous->text) &&
                ((builder.open() == Builder::Open::paragraph &&
                  Unicode::isLowercase(Unicode::firstCodePoint(item.text))) ||
                 (codeRun(builder, items, i, facts.pitch, bodySize) <= 2 &&
                  inProseColumn(builder, *previous, item)));
            if (builder.open() == Builder::Open::code ||
                ((nextMono || boundary || !prose) && !sentenceGoesOn &&
                 !(startsNextItem(builder, item) && !relation.gap))) {
                builder.codeLine(item, relation.gap);
                previous = &item;
                finishPages(++i);
                continue;
            }
        }

        // Headings: the plain layout's size rules, wrapped lines joined.
        if (isHeadingLine(item, facts.stats) && item.text == withoutDotLeaders(item.text)) {
            qsizetype end = i + 1;
            QString text = item.text;
            while (end < items.size() && end - i < 3 && isHeadingLine(items[end], facts.stats) &&
                   continuesHeading(items[end - 1], items[end])) {
                appendText(text, items[end].text);
                ++end;
            }
            if (hasLetter(text) && endsLikeHeading(items[end - 1].text)) {
                builder.heading(PDFLayout::headingMarker(item.size, bodySize) + u' ' +
                                MarkdownEscape::headingText(text));
                previous = &items[end - 1];
                previousClosed = true;
                i = end;
                finishPages(i);
                continue;
            }
        }
        if (!facts.boldHeadingMarker.isEmpty() && boundary && isBoldHeading(items, i, bodySize) &&
            !facts.boldLabels.contains(item.text)) {
            builder.heading(facts.boldHeadingMarker + u' ' +
                            MarkdownEscape::headingText(item.text));
            previous = &item;
            previousClosed = true;
            finishPages(++i);
            continue;
        }

        const QString text = withoutDotLeaders(item.text);
        const bool contentsEntry = text.size() != item.text.size();
        if (const std::optional<ListMarker> marker = listMarker(text)) {
            // Bullet glyphs always open an item; dashes and numbers also
            // begin prose lines, so they need a place where a block may start.
            if (isBulletGlyph(Unicode::firstCodePoint(text)) || boundary ||
                builder.open() == Builder::Open::list) {
                builder.listItem(*marker, QStringView(text).sliced(marker->length), item.place.x0,
                                 item.size);
                previous = &item;
                finishPages(++i);
                continue;
            }
        }

        if (builder.open() == Builder::Open::list && !relation.gap && !relation.sizeChange &&
            !(relation.broken && endsSentence(previous->text)) &&
            (!item.located || item.place.x0 > builder.itemMarkerX() + 0.3 * item.size)) {
            builder.continueItem(text);
        } else if (builder.open() == Builder::Open::paragraph && !boundary) {
            builder.continueParagraph(text);
        } else {
            builder.startParagraph(text);
        }
        if (contentsEntry) {
            builder.close();
            previousClosed = true;
        }
        previous = &item;
        finishPages(++i);
    }
    builder.close();
    finishPages(items.size());

    // The repairs of the plain layout, everywhere but inside code.
    QStringList prose;
    for (qsizetype b = 0; b < builder.blocks.size(); ++b) {
        if (!builder.codeBlocks[b])
            prose.append(builder.blocks[b]);
    }
    const QStringList repaired = PDFLayout::fixLigatures(prose.join(u"\n\n"_s)).split(u"\n\n"_s);
    QStringList blocks;
    qsizetype next = 0;
    for (qsizetype b = 0; b < builder.blocks.size(); ++b) {
        if (builder.codeBlocks[b])
            blocks.append(builder.blocks[b]);
        else
            blocks.append(repaired.size() == prose.size() ? repaired[next++] : builder.blocks[b]);
    }
    return PDFLayout::tidy(blocks.join(u"\n\n"_s));
}

} // namespace StructuredLayout
