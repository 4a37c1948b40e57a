#include "busy_indicator.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {

constexpr int side = 14;
constexpr int turnMilliseconds = 900;

} // namespace

BusyIndicator::BusyIndicator(QWidget* parent)
    : QWidget(parent)
    , m_color(palette().color(QPalette::WindowText))
    , m_turn(new QVariantAnimation(this)) {
    setFixedSize(sizeHint());
    setAccessibleName(QStringLiteral("Working"));
    m_turn->setStartValue(0);
    m_turn->setEndValue(360);
    m_turn->setDuration(turnMilliseconds);
    m_turn->setLoopCount(-1);
    connect(m_turn, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

void BusyIndicator::setColor(const QColor& color) {
    m_color = color;
    update();
}

bool BusyIndicator::isTurning() const {
    return m_turn->state() == QAbstractAnimation::Running;
}

QSize BusyIndicator::sizeHint() const {
    return {side, side};
}

void BusyIndicator::showEvent(QShowEvent* event) {
    m_turn->start();
    QWidget::showEvent(event);
}

void BusyIndicator::hideEvent(QHideEvent* event) {
    m_turn->stop();
    QWidget::hideEvent(event);
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = 2;
    const QRectF ring = QRectF(rect()).adjusted(width, width, -width, -width);
    QColor faint = m_color;
    faint.setAlphaF(faint.alphaF() * 0.25);
    painter.setPen(QPen(faint, width));
    painter.drawEllipse(ring);
    QPen arc(m_color, width);
    arc.setCapStyle(Qt::RoundCap);
    painter.setPen(arc);
    // Angles in sixteenths of a degree, counter-clockwise; the arc turns clockwise.
    const int start = -m_turn->currentValue().toInt() * 16;
    painter.drawArc(ring, start, 100 * 16);
}
