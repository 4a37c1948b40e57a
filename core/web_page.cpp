#include "web_page.h"

#include "unicode.h"

namespace WebPage {

QString decodeHTML(const QByteArray& data, const QByteArray& contentType) {
    for (const QByteArray& parameter : contentType.split(';')) {
        const QByteArray trimmed = parameter.trimmed();
        if (trimmed.toLower().startsWith("charset=")) {
            QByteArray name = trimmed.mid(8).trimmed();
            if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
                name = name.mid(1, name.size() - 2);
            if (std::optional<QString> text = Unicode::decodeStrict(data, name))
                return *text;
        }
    }
    if (std::optional<QString> text = Unicode::decodeUtf8Strict(data))
        return *text;
    return Unicode::decodeStrict(data, "windows-1252").value_or(QString());
}

} // namespace WebPage
