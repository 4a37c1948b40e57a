#include "icon_label.h"

#include <QPainter>

IconLabel::IconLabel(Icons::Name name, int size, QWidget* parent)
    : QWidget(parent)
    , m_name(name)
    , m_icon(Icons::named(name)) {
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void IconLabel::setColor(const QColor& color) {
    m_icon = Icons::tintedIcon(m_name, color, color);
    update();
}

void IconLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_icon.paint(&painter, rect());
}
