#include "window_activation.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#if defined(MORVANE_HAVE_XCB)
#include <QRegularExpression>
#include <xcb/xcb.h>
#endif

using namespace Qt::StringLiterals;

namespace WindowActivation {

namespace {

#if defined(MORVANE_HAVE_XCB)

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, false, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return found;
}

xcb_window_t rootOf(xcb_connection_t* connection) {
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem ? screens.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

// Startup notification: the message travels in 20-byte pieces, the first
// marked BEGIN, ending with a NUL.
void sendStartupMessage(xcb_connection_t* connection, xcb_window_t window,
                        const QByteArray& message) {
    const xcb_window_t root = rootOf(connection);
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    const QByteArray text = message + '\0';
    for (qsizetype start = 0; start < text.size(); start += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = start == 0 ? begin : more;
        const QByteArray piece = text.mid(start, 20);
        memcpy(event.data.data8, piece.constData(), size_t(piece.size()));
        xcb_send_event(connection, false, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
}

// The user's action that started the launch, in X server time.
uint32_t timeOf(const QString& startupId) {
    static const QRegularExpression time(u"_TIME(\\d+)$"_s);
    const QRegularExpressionMatch match = time.match(startupId);
    return match.hasMatch() ? match.captured(1).toUInt() : 0;
}

// Marks the window as answering the launch, ends its busy feedback, and asks
// for activation with the launch's time, so that focus-stealing prevention
// sees a fresh user action rather than this process's old one.
bool forwardOnX11(QWindow* window, const QString& token) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t* connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    const QByteArray startupId = token.toUtf8();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom(connection, "_NET_STARTUP_ID"),
                        atom(connection, "UTF8_STRING"), 8, uint32_t(startupId.size()),
                        startupId.constData());
    sendStartupMessage(connection, id, "remove: ID=" + startupId);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = atom(connection, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1; // from an application
    event.data.data32[1] = timeOf(token);
    xcb_send_event(connection, false, rootOf(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
    return true;
}

#endif

} // namespace

QString launchToken() {
    const QString wayland = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : wayland;
}

void bringForward(QWidget* window, const QString& token) {
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    QWindow* handle = window->windowHandle();
    if (!token.isEmpty() && handle) {
#if defined(MORVANE_HAVE_XCB)
        if (QGuiApplication::platformName() == u"xcb"_s && forwardOnX11(handle, token))
            return;
#endif
        // The Wayland plugin hands this token to the compositor with the
        // activation request that follows.
        if (QGuiApplication::platformName().startsWith(u"wayland"_s))
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    }
    window->activateWindow();
}

} // namespace WindowActivation
