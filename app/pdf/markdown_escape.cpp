#include "markdown_escape.h"

#include <QList>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

bool isAsciiPunctuation(QChar c) {
    return c.unicode() < 128 && c.isPrint() && !c.isLetterOrNumber() && !c.isSpace();
}

bool isPunctuation(QChar c) {
    return isAsciiPunctuation(c) || c.isPunct() || c.isSymbol();
}

// A delimiter run of "*", "_" or "~" and what the characters around it let it do.
struct Run {
    qsizetype start = 0, length = 0;
    bool opens = false, closes = false;
};

Run runAt(QStringView text, qsizetype start) {
    qsizetype end = start;
    while (end < text.size() && text[end] == text[start])
        ++end;
    // The line's ends count as white space.
    const QChar before = start > 0 ? text[start - 1] : QChar(u' ');
    const QChar after = end < text.size() ? text[end] : QChar(u' ');
    const bool left =
        !after.isSpace() && (!isPunctuation(after) || before.isSpace() || isPunctuation(before));
    const bool right =
        !before.isSpace() && (!isPunctuation(before) || after.isSpace() || isPunctuation(after));
    Run run{start, end - start, left, right};
    // An underscore inside a word ("base_dir") neither opens nor closes.
    if (text[start] == u'_') {
        run.opens = left && (!right || isPunctuation(before));
        run.closes = right && (!left || isPunctuation(after));
    }
    return run;
}

void markRun(QList<bool>& escaped, qsizetype start, qsizetype length) {
    for (qsizetype i = start; i < start + length; ++i)
        escaped[i] = true;
}

// The positions that need a backslash before them, `blockStart` adding the
// characters that would begin a list, quote, heading, rule or fence.
QList<bool> escapes(QStringView text, bool blockStart) {
    const qsizetype size = text.size();
    QList<bool> escaped(size, false);
    static const QRegularExpression entity(
        uR"(&(?:#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[A-Za-z][A-Za-z0-9]{1,31});)"_s);
    const QString whole = text.toString();
    const qsizetype lastLinkEnd = text.lastIndexOf(u"]("_s);
    QList<Run> backticks;
    QList<Run> delimiters;
    for (qsizetype i = 0; i < size;) {
        const QChar c = text[i];
        const QChar next = i + 1 < size ? text[i + 1] : QChar();
        if (c == u'`' || c == u'*' || c == u'_' || c == u'~') {
            const Run run = runAt(text, i);
            (c == u'`' ? backticks : delimiters).append(run);
            i += run.length;
            continue;
        }
        if (c == u'\\')
            escaped[i] = isAsciiPunctuation(next);
        else if (c == u'<')
            escaped[i] = (next.unicode() < 128 && next.isLetter()) || next == u'/' ||
                         next == u'!' || next == u'?';
        else if (c == u'&')
            escaped[i] = entity
                             .match(whole, i, QRegularExpression::NormalMatch,
                                    QRegularExpression::AnchorAtOffsetMatchOption)
                             .hasMatch();
        else if (c == u'[')
            escaped[i] = i < lastLinkEnd || (i == 0 && blockStart && text.contains(u"]:"_s));
        ++i;
    }
    // A run of backticks opens a code span only where an equal run follows.
    QSet<qsizetype> lengthsAfter;
    for (qsizetype r = backticks.size() - 1; r >= 0; --r) {
        const Run& run = backticks[r];
        const bool fence = blockStart && run.start == 0 && run.length >= 3;
        if (fence || lengthsAfter.contains(run.length))
            markRun(escaped, run.start, run.length);
        lengthsAfter.insert(run.length);
    }
    // Emphasis needs an opening run and a later closing one of its character.
    for (const QChar c : {u'*', u'_', u'~'}) {
        bool opened = false, paired = false;
        for (const Run& run : std::as_const(delimiters)) {
            if (text[run.start] != c)
                continue;
            paired = paired || (run.closes && opened);
            opened = opened || run.opens;
        }
        for (const Run& run : std::as_const(delimiters)) {
            const bool fence = blockStart && c == u'~' && run.start == 0 && run.length >= 3;
            if (text[run.start] == c && (fence || (paired && (run.opens || run.closes))))
                markRun(escaped, run.start, run.length);
        }
    }
    if (blockStart && size > 0) {
        static const QRegularExpression heading(uR"(^#{1,6}(?:\s|$))"_s);
        static const QRegularExpression rule(uR"(^([-*_])(?:[ \t]*\1){2,}[ \t]*$)"_s);
        static const QRegularExpression ordered(uR"(^[0-9]{1,9}([.)])(?:\s|$))"_s);
        const QChar first = text[0];
        const bool bullet =
            (first == u'-' || first == u'+' || first == u'*') && (size == 1 || text[1].isSpace());
        if (bullet || first == u'>' || heading.match(whole).hasMatch() ||
            rule.match(whole).hasMatch())
            escaped[0] = true;
        if (const QRegularExpressionMatch number = ordered.match(whole); number.hasMatch())
            escaped[number.capturedStart(1)] = true;
    }
    return escaped;
}

QString withEscapes(QStringView text, const QList<bool>& escaped) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (escaped[i])
            out += u'\\';
        out += text[i];
    }
    return out;
}

} // namespace

namespace MarkdownEscape {

QString inlineText(QStringView text) {
    return withEscapes(text, escapes(text, false));
}

QString blockText(QStringView text) {
    return withEscapes(text, escapes(text, true));
}

QString headingText(QStringView text) {
    QList<bool> escaped = escapes(text, false);
    qsizetype start = text.size();
    while (start > 0 && text[start - 1] == u'#')
        --start;
    if (start < text.size() && (start == 0 || text[start - 1].isSpace()))
        escaped[start] = true;
    return withEscapes(text, escaped);
}

} // namespace MarkdownEscape
