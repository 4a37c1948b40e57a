#include "elided_label.h"

#include <QPainter>

ElidedLabel::ElidedLabel(QWidget* parent)
    : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateToolTip();
    updateGeometry();
    update();
}

void ElidedLabel::updateToolTip() {
    setToolTip(shownText() == m_text ? QString() : m_text);
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    updateToolTip();
    QWidget::resizeEvent(event);
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(m_text, Qt::ElideMiddle, contentsRect().width());
}

void ElidedLabel::setTextColor(const QColor& color) {
    m_color = color;
    update();
}

namespace {

// At small sizes a hinted underscore sits below the font's descent, and a
// line only as tall as the font would clip "my_folder" to "my folder".
int lineHeight(const QFontMetrics& metrics) {
    const int underscoreBottom = metrics.tightBoundingRect(QStringLiteral("_")).bottom() + 1;
    return metrics.ascent() + qMax(metrics.descent(), underscoreBottom);
}

} // namespace

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return QSize(metrics.horizontalAdvance(m_text), lineHeight(metrics));
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return QSize(metrics.horizontalAdvance(QStringLiteral("…")) * 3, lineHeight(metrics));
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_color.isValid() ? m_color : palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    const QRect area = contentsRect();
    const int baseline = area.top() + (area.height() - lineHeight(metrics)) / 2 + metrics.ascent();
    painter.drawText(QPoint(area.left(), baseline), shownText());
}
