#include "icons.h"

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

} // namespace

QIcon named(Name name) {
    const QString theme = themeName(name);
    return theme.isEmpty() ? QIcon(bundled(name)) : QIcon::fromTheme(theme);
}

bool fromTheme(Name name) {
    return !themeName(name).isEmpty();
}

QPixmap tinted(Name name, int size, const QColor& color, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QPixmap shape = named(name).pixmap(QSize(pixels, pixels));
    if (shape.isNull())
        return shape;
    // Theme icons may come back smaller than asked; centre them.
    QPixmap result(pixels, pixels);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap((pixels - shape.width()) / 2, (pixels - shape.height()) / 2, shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), color);
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon tintedIcon(Name name, int size, const QColor& color, const QColor& disabled) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(tinted(name, size, color, ratio), QIcon::Normal);
        icon.addPixmap(tinted(name, size, disabled, ratio), QIcon::Disabled);
    }
    return icon;
}

} // namespace Icons
