#include "icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QStringList>

using namespace Qt::StringLiterals;

// The drawings are linked in from a static library, so their registration is
// not automatic.
static void registerBundledIcons() {
    Q_INIT_RESOURCE(icons);
}

namespace Icons {

namespace {

struct Source {
    QStringList themeNames;
    QString bundled;
};

Source source(Name name) {
    switch (name) {
    case Name::tray:
        return {{u"document-import-symbolic"_s, u"document-import"_s}, u":/icons/tray.svg"_s};
    case Name::document:
        return {{u"text-x-generic-symbolic"_s, u"text-x-generic"_s}, u":/icons/document.svg"_s};
    case Name::copy:
        return {{u"edit-copy-symbolic"_s, u"edit-copy"_s}, u":/icons/copy.svg"_s};
    case Name::open:
        return {{u"send-to-symbolic"_s, u"document-open-symbolic"_s, u"document-open"_s},
                u":/icons/open.svg"_s};
    case Name::folder:
        return {{u"folder-symbolic"_s, u"folder"_s}, u":/icons/folder.svg"_s};
    case Name::application:
        return {{u"morvane"_s}, u":/icons/morvane.svg"_s};
    }
    return {};
}

QString bundled(Name name) {
    static const bool registered = (registerBundledIcons(), true);
    Q_UNUSED(registered);
    return source(name).bundled;
}

QString themeName(Name name) {
    for (const QString& candidate : source(name).themeNames) {
        if (QIcon::hasThemeIcon(candidate))
            return candidate;
    }
    return {};
}

// The shape in one colour, `pixels` physical pixels square, at ratio 1.
QPixmap tintedPixels(Name name, int pixels, const QColor& color) {
    pixels = qMax(1, pixels);
    // The overload without a ratio would multiply by the application's ratio,
    // handing back a picture larger than the box it is centred in.
    QPixmap shape = named(name).pixmap(QSize(pixels, pixels), 1.0);
    if (shape.isNull())
        return shape;
    shape.setDevicePixelRatio(1.0);
    // A theme with fixed sizes only may answer smaller than asked.
    if (shape.width() < pixels && shape.height() < pixels)
        shape = shape.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap result(pixels, pixels);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap((pixels - shape.width()) / 2, (pixels - shape.height()) / 2, shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), color);
    painter.end();
    return result;
}

// Tints at whatever size and ratio it is drawn, so a screen at 1.5 or a move
// to another screen gets a sharp picture rather than a scaled one.
class TintedEngine : public QIconEngine {
public:
    TintedEngine(Name name, QColor color, QColor disabled)
        : m_name(name)
        , m_color(color)
        , m_disabled(disabled) {}

    // `size` is in physical pixels: QIcon has already applied the ratio.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        return tintedPixels(m_name, qMin(size.width(), size.height()),
                            mode == QIcon::Disabled ? m_disabled : m_color);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = qMin(rect.width(), rect.height());
        QPixmap picture = pixmap(QSize(side, side) * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        const QPointF corner(rect.x() + (rect.width() - side) / 2.0,
                             rect.y() + (rect.height() - side) / 2.0);
        painter->drawPixmap(corner, picture);
    }

    QIconEngine* clone() const override { return new TintedEngine(*this); }

private:
    Name m_name;
    QColor m_color;
    QColor m_disabled;
};

} // namespace

QIcon named(Name name) {
    const QString theme = themeName(name);
    return theme.isEmpty() ? QIcon(bundled(name)) : QIcon::fromTheme(theme);
}

bool fromTheme(Name name) {
    return !themeName(name).isEmpty();
}

QIcon tintedIcon(Name name, const QColor& color, const QColor& disabled) {
    return QIcon(new TintedEngine(name, color, disabled));
}

} // namespace Icons
