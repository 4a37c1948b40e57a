#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

// The colour and type roles the windows are drawn with, taken from the
// desktop's palette and font so that light and dark themes both hold.
namespace Look {

QColor primary(const QPalette& palette);
// Text that matters less: the primary colour at half strength.
QColor secondary(const QPalette& palette);
// Faint fills behind grouped rows.
QColor quaternary(const QPalette& palette);
QColor accent(const QPalette& palette);
// `color` with its alpha multiplied by `opacity`.
QColor withOpacity(QColor color, qreal opacity);

QFont headline(const QFont& base);
QFont caption(const QFont& base);
QFont callout(const QFont& base);

} // namespace Look
