#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

// The pictures the windows use: the desktop theme's symbolic icon when it has
// one, else the bundled drawing; both are recoloured to the role they play.
namespace Icons {

enum class Name { tray, document, copy, open, folder, application };

// The icon as found (theme or bundled), not recoloured.
QIcon named(Name name);
// Whether the theme supplied it rather than the bundle.
bool fromTheme(Name name);
// One colour over the icon's shape, `size` device-independent pixels square.
QPixmap tinted(Name name, int size, const QColor& color, qreal devicePixelRatio);
// For buttons: the shape in `color`, and in `disabled` for the disabled state.
QIcon tintedIcon(Name name, int size, const QColor& color, const QColor& disabled);

} // namespace Icons
