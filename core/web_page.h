#pragma once

#include <QByteArray>
#include <QString>

namespace WebPage {

// A fetched page's text: the character set its Content-Type declares, then
// strict UTF-8, then strict Windows-1252; empty when none fits. A character
// set named inside the HTML is not consulted.
QString decodeHTML(const QByteArray& data, const QByteArray& contentType);

} // namespace WebPage
