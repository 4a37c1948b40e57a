#pragma once

#include <QColor>
#include <QIcon>

// The pictures the windows use: the desktop theme's symbolic icon when it has
// one, else the bundled drawing; both are recoloured to the role they play.
namespace Icons {

enum class Name { tray, document, copy, open, folder, application };

// The icon as found (theme or bundled), not recoloured.
QIcon named(Name name);
// Whether the theme supplied it rather than the bundle.
bool fromTheme(Name name);
// The shape in `color`, and in `disabled` for the disabled state, drawn afresh
// at every size and pixel ratio it is asked for.
QIcon tintedIcon(Name name, const QColor& color, const QColor& disabled);

} // namespace Icons
