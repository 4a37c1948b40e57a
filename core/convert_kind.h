#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// The closed set of inputs the converters understand. A class around the enum
// so the kind carries its raw value and reading mode with it.
class ConvertKind {
public:
    enum Value { pdf, docx, pptx, html, url };

    constexpr ConvertKind(Value value)
        : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    // Exactly the five raw values, case-sensitive.
    static std::optional<ConvertKind> fromRawValue(QStringView rawValue);

    // Only the last extension counts, compared after lower-casing; never `url`.
    static std::optional<ConvertKind> forFile(const QUrl& location);
    static std::optional<ConvertKind> forFile(const QString& path);

    QString rawValue() const;
    // Binary kinds travel to the engine as base64 of the file's bytes,
    // the others as the file's UTF-8 text.
    constexpr bool isBinary() const { return m_value == pdf || m_value == docx || m_value == pptx; }

private:
    Value m_value;
};

inline size_t qHash(ConvertKind kind, size_t seed = 0) noexcept {
    return qHash(static_cast<int>(ConvertKind::Value(kind)), seed);
}

template <>
struct std::hash<ConvertKind> {
    size_t operator()(ConvertKind kind) const noexcept {
        return std::hash<int>()(static_cast<int>(ConvertKind::Value(kind)));
    }
};
