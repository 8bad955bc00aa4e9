#include "notice/xbell.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <xcb/xcb.h>
// The keyboard extension's header names a field with a word that C++ keeps for itself.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <cstring>

namespace {

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

std::unique_ptr<XBell> XBell::create()
{
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return nullptr;
    std::unique_ptr<XBell> bell(new XBell(xkb->first_event));
    // The controls' notifications are asked for before the controls themselves, so that no change
    // is missed; both questions share one round trip.
    xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_CONTROLS_NOTIFY,
                          0, XCB_XKB_EVENT_TYPE_CONTROLS_NOTIFY, 0, 0, nullptr);
    const char xwayland[] = "XWAYLAND";
    const auto xwaylandCookie = xcb_query_extension(connection, std::strlen(xwayland), xwayland);
    const auto controlsCookie = xcb_xkb_get_controls(connection, XCB_XKB_ID_USE_CORE_KBD);
    if (auto *reply = xcb_query_extension_reply(connection, xwaylandCookie, nullptr)) {
        bell->m_xwayland = reply->present;
        std::free(reply);
    }
    // Xwayland before 23.1 has no such extension, only its own names for its outputs.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen && screen->name().startsWith(QLatin1String("XWAYLAND")))
        bell->m_xwayland = true;
    if (auto *controls = xcb_xkb_get_controls_reply(connection, controlsCookie, nullptr)) {
        bell->m_audible = controls->enabledControls & XCB_XKB_BOOL_CTRL_AUDIBLE_BELL_MASK;
        std::free(controls);
    }
    QCoreApplication::instance()->installNativeEventFilter(bell.get());
    return bell;
}

bool XBell::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (type != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_xkb_controls_notify_event_t *>(message);
    if ((event->response_type & 0x7f) == m_firstEvent && event->xkbType == XCB_XKB_CONTROLS_NOTIFY)
        m_audible = event->enabledControls & XCB_XKB_BOOL_CTRL_AUDIBLE_BELL_MASK;
    return false;
}

void XBell::ring(QWidget *window, bool noticeOnly)
{
    xcb_connection_t *connection = x11Connection();
    const xcb_window_t xid = window ? xcb_window_t(window->window()->internalWinId()) : 0;
    xcb_xkb_bell(connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_BELL_CLASS_DFLT_XI_CLASS,
                 XCB_XKB_ID_DFLT_XI_ID, 0, 0, noticeOnly, 0, 0, XCB_ATOM_NONE, xid);
    xcb_flush(connection);
}
