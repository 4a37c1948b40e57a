#include "drop_zone.h"

#include "icon_label.h"
#include "look.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int zoneHeight = 150;
constexpr qreal radius = 14;
constexpr qreal lineWidth = 2;
constexpr qreal dash = 7;
constexpr int iconSize = 30;

} // namespace

DropZone::DropZone(QWidget* parent)
    : QWidget(parent) {
    setObjectName(u"dropZone"_s);
    setAcceptDrops(true);
    setFixedHeight(zoneHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(u"Drop PDF, Word, PowerPoint, or HTML here"_s);
    setToolTip(u"Drop files here, or click to choose them"_s);

    m_icon = new IconLabel(Icons::Name::tray, iconSize, this);
    m_icon->setObjectName(u"dropIcon"_s);
    m_headline = new QLabel(u"Drop PDF, Word, PowerPoint, or HTML here"_s, this);
    m_headline->setObjectName(u"dropHeadline"_s);
    m_headline->setAlignment(Qt::AlignCenter);
    m_caption = new QLabel(u"Clean Markdown out — one file each, tables and all."_s, this);
    m_caption->setObjectName(u"dropCaption"_s);
    m_caption->setAlignment(Qt::AlignCenter);
    for (QLabel* label : {m_headline, m_caption})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(6);
    column->addStretch();
    column->addWidget(m_icon, 0, Qt::AlignHCenter);
    column->addWidget(m_headline);
    column->addWidget(m_caption);
    column->addStretch();
    applyLook();
}

QList<QUrl> DropZone::urls(const QMimeData* data) {
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files.append(url);
    }
    return files;
}

void DropZone::setTargeted(bool targeted) {
    if (targeted == m_isTargeted)
        return;
    m_isTargeted = targeted;
    update();
}

void DropZone::applyLook() {
    const QPalette& colours = palette();
    m_icon->setColor(Look::secondary(colours));
    m_headline->setFont(Look::headline(font()));
    m_caption->setFont(Look::caption(font()));
    QPalette captionColours = m_caption->palette();
    captionColours.setColor(QPalette::WindowText, Look::secondary(colours));
    m_caption->setPalette(captionColours);
}

void DropZone::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange)
        applyLook();
    QWidget::changeEvent(event);
}

void DropZone::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame =
        QRectF(rect()).adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    QPainterPath outline;
    outline.addRoundedRect(frame, radius, radius);
    const QColor accent = Look::accent(palette());
    if (m_isTargeted)
        painter.fillPath(outline, Look::withOpacity(accent, 0.08));
    QPen pen(m_isTargeted ? accent : Look::withOpacity(Look::secondary(palette()), 0.5), lineWidth);
    // Dash lengths are in units of the line width.
    pen.setDashPattern({dash / lineWidth, dash / lineWidth});
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.drawPath(outline);
    if (hasFocus()) {
        QPen focus(Look::withOpacity(accent, 0.6), 1);
        painter.setPen(focus);
        painter.drawRoundedRect(frame.adjusted(3, 3, -3, -3), radius - 3, radius - 3);
    }
}

bool DropZone::takeAsCopy(QDropEvent* event) {
    // A Move would let the source delete the files it gave us; a source that
    // cannot copy is refused rather than obeyed.
    if (!(event->possibleActions() & Qt::CopyAction) || urls(event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void DropZone::dragEnterEvent(QDragEnterEvent* event) {
    if (takeAsCopy(event))
        setTargeted(true);
}

void DropZone::dragMoveEvent(QDragMoveEvent* event) {
    takeAsCopy(event);
}

void DropZone::dragLeaveEvent(QDragLeaveEvent* event) {
    setTargeted(false);
    QWidget::dragLeaveEvent(event);
}

void DropZone::dropEvent(QDropEvent* event) {
    setTargeted(false);
    if (!takeAsCopy(event))
        return;
    const QList<QUrl> files = urls(event->mimeData());
    // The drag source waits for this event to return; the batch starts after.
    QMetaObject::invokeMethod(
        this, [this, files] { Q_EMIT filesDropped(files); }, Qt::QueuedConnection);
}

void DropZone::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT activated();
    QWidget::mouseReleaseEvent(event);
}

void DropZone::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT activated();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
