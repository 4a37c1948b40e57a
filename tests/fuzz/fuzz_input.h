#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>

// Helpers shared by the fuzz targets: reading structured values off the input
// and the checks most of them make.
namespace FuzzInput {

// Reads bytes off the front of the input; past the end every read gives zero.
class Reader {
public:
    Reader(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size) {}

    bool atEnd() const { return m_offset >= m_size; }
    size_t remaining() const { return atEnd() ? 0 : m_size - m_offset; }

    uint8_t byte() { return atEnd() ? 0 : m_data[m_offset++]; }

    // Up to `units` UTF-16 code units, any values (lone surrogates included).
    QString utf16(size_t units) {
        units = qMin(units, remaining() / 2);
        QString text(static_cast<qsizetype>(units), Qt::Uninitialized);
        std::memcpy(text.data(), m_data + m_offset, units * 2);
        m_offset += units * 2;
        return text;
    }

    // The bytes up to the next `separator` (dropped) or the end.
    QByteArray until(uint8_t separator) {
        const size_t start = m_offset;
        while (!atEnd() && m_data[m_offset] != separator)
            ++m_offset;
        const QByteArray part(reinterpret_cast<const char*>(m_data + start),
                              static_cast<qsizetype>(m_offset - start));
        if (!atEnd())
            ++m_offset;
        return part;
    }

    // Everything not read yet.
    QByteArray rest() {
        const QByteArray part(reinterpret_cast<const char*>(m_data + m_offset),
                              static_cast<qsizetype>(remaining()));
        m_offset = m_size;
        return part;
    }

    // A size in points, with the values that break arithmetic among them.
    double size() {
        static constexpr double awkward[] = {0,
                                             std::numeric_limits<double>::quiet_NaN(),
                                             std::numeric_limits<double>::infinity(),
                                             -std::numeric_limits<double>::infinity(),
                                             1e300,
                                             -12,
                                             2147483647.5,
                                             std::numeric_limits<double>::denorm_min()};
        const uint8_t selector = byte();
        return selector < std::size(awkward) ? awkward[selector] : selector / 4.0 + byte() / 1024.0;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
};

// Aborts so that libFuzzer keeps the input, with the broken rule on stderr.
[[noreturn]] inline void fail(const char* rule) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", rule);
    std::abort();
}

inline void check(bool holds, const char* rule) {
    if (!holds)
        fail(rule);
}

// What the layouts' final tidying promises of a whole text.
inline void checkTidy(QStringView text, bool validInput) {
    check(text.endsWith(u'\n'), "tidy: ends with a line feed");
    check(!text.endsWith(u"\n\n"), "tidy: exactly one final line feed");
    check(!text.contains(u"\n\n\n"), "tidy: at most one blank line in a row");
    check(text == u"\n" || !text.startsWith(u'\n'), "tidy: no blank start");
    for (QStringView line : text.split(u'\n'))
        check(!line.endsWith(u' ') && !line.endsWith(u'\t'), "tidy: no trailing space or tab");
    if (validInput)
        check(text.isValidUtf16(), "tidy: valid UTF-16 stays valid");
}

} // namespace FuzzInput
