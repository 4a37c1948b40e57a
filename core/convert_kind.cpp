#include "convert_kind.h"

using namespace Qt::StringLiterals;

std::optional<ConvertKind> ConvertKind::fromRawValue(QStringView rawValue) {
    for (Value value : {pdf, docx, pptx, html, url}) {
        if (ConvertKind(value).rawValue() == rawValue)
            return ConvertKind(value);
    }
    return std::nullopt;
}

std::optional<ConvertKind> ConvertKind::forFile(const QUrl& location) {
    return forFile(location.path());
}

std::optional<ConvertKind> ConvertKind::forFile(const QString& path) {
    QStringView name(path);
    while (name.endsWith(u'/'))
        name.chop(1);
    name = name.mid(name.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    const QString extension = name.mid(dot + 1).toString().toLower();
    if (extension == u"pdf")
        return pdf;
    if (extension == u"docx")
        return docx;
    if (extension == u"pptx")
        return pptx;
    if (extension == u"html" || extension == u"htm")
        return html;
    return std::nullopt;
}

QString ConvertKind::rawValue() const {
    switch (m_value) {
    case pdf:
        return u"pdf"_s;
    case docx:
        return u"docx"_s;
    case pptx:
        return u"pptx"_s;
    case html:
        return u"html"_s;
    case url:
        return u"url"_s;
    }
    Q_UNREACHABLE();
    return {};
}
