#include "recent_row.h"

#include "desktop.h"
#include "elided_label.h"
#include "icon_label.h"
#include "look.h"
#include "morvane_model.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

constexpr int iconSize = 16;
constexpr qreal radius = 8;

} // namespace

RecentRow::RecentRow(MorvaneModel& model, Desktop& desktop, const Recent& recent, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_desktop(desktop) {
    setObjectName(u"recentRow"_s);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_icon = new IconLabel(Icons::Name::document, iconSize, this);
    m_icon->setObjectName(u"recentIcon"_s);
    m_name = new ElidedLabel(this);
    m_name->setObjectName(u"recentName"_s);
    m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(8, 8, 8, 8);
    line->setSpacing(10);
    line->addWidget(m_icon);
    // The name takes the room the buttons leave, so they stay visible.
    line->addWidget(m_name, 1);
    m_copy = addButton(u"copyButton"_s, u"Copy Markdown"_s);
    m_open = addButton(u"openButton"_s, u"Open"_s);
    m_reveal = addButton(u"revealButton"_s, u"Reveal in Finder"_s);
    for (QToolButton* button : {m_copy, m_open, m_reveal})
        line->addWidget(button);

    connect(m_copy, &QToolButton::clicked, this, [this] { m_model.copyRecent(m_recent); });
    connect(m_open, &QToolButton::clicked, this,
            [this] { m_desktop.open(QUrl::fromLocalFile(m_recent.path)); });
    connect(m_reveal, &QToolButton::clicked, this,
            [this] { m_desktop.revealFiles({QUrl::fromLocalFile(m_recent.path)}); });

    setRecent(recent);
    applyLook();
}

void RecentRow::setRecent(const Recent& recent) {
    m_recent = recent;
    m_name->setText(recent.name);
    setAccessibleName(recent.name);
}

QList<QWidget*> RecentRow::buttons() const {
    return {m_copy, m_open, m_reveal};
}

QToolButton* RecentRow::addButton(const QString& objectName, const QString& tip) {
    auto* button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setAutoRaise(true);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setIconSize(QSize(iconSize, iconSize));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

void RecentRow::applyLook() {
    const QPalette& colours = palette();
    m_icon->setColor(Look::secondary(colours));
    const QColor normal = Look::primary(colours);
    const QColor disabled = Look::withOpacity(normal, 0.35);
    m_copy->setIcon(Icons::tintedIcon(Icons::Name::copy, normal, disabled));
    m_open->setIcon(Icons::tintedIcon(Icons::Name::open, normal, disabled));
    m_reveal->setIcon(Icons::tintedIcon(Icons::Name::folder, normal, disabled));
}

void RecentRow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        applyLook();
    QWidget::changeEvent(event);
}

void RecentRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(background, Look::withOpacity(Look::quaternary(palette()), 0.5));
}
