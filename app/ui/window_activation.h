#pragma once

#include <QString>

class QWidget;

// Bringing a window forward on behalf of another launch of the application:
// the desktop lets a window come to the front, and ends that launch's busy
// feedback, when it is handed the launch's activation token.
namespace WindowActivation {

// The token the desktop gave this process: XDG_ACTIVATION_TOKEN on Wayland,
// DESKTOP_STARTUP_ID on X11; empty when launched without one.
QString launchToken();

// Restores `window` if minimized, shows it and asks for it to be activated,
// with `token` when there is one.
void bringForward(QWidget* window, const QString& token);

} // namespace WindowActivation
