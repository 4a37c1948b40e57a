#include "look.h"

namespace Look {

QColor primary(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::WindowText);
}

QColor secondary(const QPalette& palette) {
    return withOpacity(primary(palette), 0.55);
}

QColor quaternary(const QPalette& palette) {
    return withOpacity(primary(palette), 0.12);
}

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

namespace {

QFont scaled(const QFont& base, qreal factor) {
    QFont font = base;
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * factor);
    else
        font.setPixelSize(qMax(1, qRound(base.pixelSize() * factor)));
    return font;
}

} // namespace

QFont headline(const QFont& base) {
    QFont font = scaled(base, 1.08);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont caption(const QFont& base) {
    return scaled(base, 0.85);
}

QFont callout(const QFont& base) {
    return scaled(base, 0.95);
}

} // namespace Look
