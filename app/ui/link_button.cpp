#include "link_button.h"

#include <QPainter>

namespace {

constexpr int padding = 4;

} // namespace

LinkButton::LinkButton(const QString& text, const QUrl& target, QWidget* parent)
    : QPushButton(text, parent) {
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(target.toString());
    setAutoDefault(false);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

QSize LinkButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(text()) + 2 * padding, metrics.height() + 2 * padding};
}

QSize LinkButton::minimumSizeHint() const {
    return sizeHint();
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor link =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Link);
    if (hasFocus()) {
        QPen frame(palette().color(QPalette::Highlight), 1.5);
        painter.setPen(frame);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
    QFont font = this->font();
    font.setUnderline(underMouse() || isDown());
    painter.setFont(font);
    painter.setPen(link);
    painter.drawText(rect(), Qt::AlignCenter, text());
}
