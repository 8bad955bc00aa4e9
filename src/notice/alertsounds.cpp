#include "notice/alertsounds.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalSettings = QStringLiteral("org.freedesktop.portal.Settings");
// The switch as GNOME keeps it, and as Plasma keeps it in kdeglobals, which KDE's portal offers
// group by group (Plasma mirrors it into GNOME's for GTK programs, where those settings exist).
struct PortalSwitch {
    QString group;
    QString key;
};
const PortalSwitch portalSwitches[] = {
    {QStringLiteral("org.gnome.desktop.sound"), QStringLiteral("event-sounds")},
    {QStringLiteral("org.kde.kdeglobals.Sounds"), QStringLiteral("Enable")},
};

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atomReply(xcb_connection_t *connection, xcb_intern_atom_cookie_t cookie)
{
    xcb_atom_t atom = XCB_ATOM_NONE;
    if (auto *reply = xcb_intern_atom_reply(connection, cookie, nullptr)) {
        atom = reply->atom;
        std::free(reply);
    }
    return atom;
}

// The portal gives a setting wrapped once more than its signal does, older ones twice; KDE's
// gives kdeglobals' entries as the text they are written as.
std::optional<bool> portalBool(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.metaType() == QMetaType::fromType<bool>())
        return value.toBool();
    if (value.metaType() == QMetaType::fromType<QString>()) {
        const QString text = value.toString();
        if (text == QLatin1String("true") || text == QLatin1String("false"))
            return text == QLatin1String("true");
    }
    return std::nullopt;
}

} // namespace

AlertSounds::AlertSounds(QObject *parent) : QObject(parent)
{
    if (x11Connection())
        watchX();
    else if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        watchPortal();
}

AlertSounds::~AlertSounds()
{
    if (m_root)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void AlertSounds::watchX()
{
    xcb_connection_t *connection = x11Connection();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return;
    const auto intern = [connection](const char *name) {
        return xcb_intern_atom(connection, false, std::strlen(name), name);
    };
    const auto selectionCookie = intern("_XSETTINGS_S0");
    const auto settingsCookie = intern("_XSETTINGS_SETTINGS");
    const auto managerCookie = intern("MANAGER");
    // A new manager announces itself to the root window's structure watchers: the program's
    // own watch on the root window is kept and widened.
    const auto rootCookie = xcb_get_window_attributes(connection, screen->root);
    m_selection = atomReply(connection, selectionCookie);
    m_settings = atomReply(connection, settingsCookie);
    m_managerAtom = atomReply(connection, managerCookie);
    auto *root = xcb_get_window_attributes_reply(connection, rootCookie, nullptr);
    if (!root || !m_selection || !m_settings || !m_managerAtom) {
        std::free(root);
        return;
    }
    const std::uint32_t mask = root->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    std::free(root);
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    m_root = screen->root;
    QCoreApplication::instance()->installNativeEventFilter(this);
    xcb_window_t manager = XCB_WINDOW_NONE;
    if (auto *owner = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, m_selection), nullptr)) {
        manager = owner->owner;
        std::free(owner);
    }
    watchManager(manager);
}

void AlertSounds::watchManager(std::uint32_t manager)
{
    m_manager = manager;
    if (!manager) {
        m_on = true;
        return;
    }
    // Its changes are asked for before its settings are read, so that none is missed.
    xcb_connection_t *connection = x11Connection();
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, manager, XCB_CW_EVENT_MASK, &mask);
    readManager();
}

void AlertSounds::readManager()
{
    xcb_connection_t *connection = x11Connection();
    auto *reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, false, m_manager, m_settings, m_settings, 0, 0x10000),
        nullptr);
    m_on = true;
    if (reply) {
        const auto *bytes = static_cast<const char *>(xcb_get_property_value(reply));
        const auto length = std::size_t(xcb_get_property_value_length(reply));
        m_on = eventSounds(std::string_view(bytes, length)).value_or(true);
        std::free(reply);
    }
}

bool AlertSounds::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (type != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto *notify = static_cast<const xcb_property_notify_event_t *>(message);
        if (m_manager && notify->window == m_manager && notify->atom == m_settings)
            readManager();
        break;
    }
    case XCB_DESTROY_NOTIFY:
        if (m_manager &&
            static_cast<const xcb_destroy_notify_event_t *>(message)->window == m_manager)
            watchManager(XCB_WINDOW_NONE);
        break;
    case XCB_CLIENT_MESSAGE: {
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (client->window == m_root && client->type == m_managerAtom && client->format == 32 &&
            client->data.data32[1] == m_selection)
            watchManager(client->data.data32[2]);
        break;
    }
    }
    return false;
}

std::optional<bool> AlertSounds::eventSounds(std::string_view settings)
{
    // A byte order, a serial and a count, then each setting: its type, its name padded to four
    // bytes, the serial of its last change, and its value.
    if (settings.size() < 12)
        return std::nullopt;
    const bool bigEndian = settings[0] != 0;
    const auto card = [&](std::size_t at, int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const auto byte =
                static_cast<std::uint8_t>(settings[at + (bigEndian ? i : bytes - 1 - i)]);
            value = value << 8 | byte;
        }
        return value;
    };
    const auto padded = [](std::size_t n) { return (n + 3) & ~std::size_t(3); };
    const std::uint32_t count = card(8, 4);
    std::size_t at = 12;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (settings.size() < at + 4)
            return std::nullopt;
        const auto kind = static_cast<std::uint8_t>(settings[at]);
        const std::size_t nameLength = card(at + 2, 2);
        const std::size_t valueAt = at + 4 + padded(nameLength) + 4;
        if (settings.size() < valueAt + 4)
            return std::nullopt;
        const std::string_view name = settings.substr(at + 4, nameLength);
        switch (kind) {
        case 0: // an integer
            if (name == "Net/EnableEventSounds")
                return card(valueAt, 4) != 0;
            at = valueAt + 4;
            break;
        case 1: at = valueAt + 4 + padded(card(valueAt, 4)); break; // a string
        case 2: at = valueAt + 8; break;                            // a colour
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

void AlertSounds::watchPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Changes are asked for first; one that comes before the answer is newer than it.
    bus.connect(portalService, portalPath, portalSettings, QStringLiteral("SettingChanged"), this,
                SLOT(portalChanged(QString, QString, QDBusVariant)));
    for (std::size_t i = 0; i < std::size(portalSwitches); ++i) {
        QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath,
                                                           portalSettings, QStringLiteral("Read"));
        read << portalSwitches[i].group << portalSwitches[i].key;
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, i](QDBusPendingCallWatcher *call) {
                    const QDBusPendingReply<QDBusVariant> reply = *call;
                    if (!reply.isError() && !m_portalChanged[i])
                        m_portalOn[i] =
                            portalBool(QVariant::fromValue(reply.value())).value_or(true);
                    call->deleteLater();
                });
    }
}

void AlertSounds::portalChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    for (std::size_t i = 0; i < std::size(portalSwitches); ++i) {
        if (group == portalSwitches[i].group && key == portalSwitches[i].key) {
            m_portalChanged[i] = true;
            m_portalOn[i] = portalBool(QVariant::fromValue(value)).value_or(true);
        }
    }
}
