#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <optional>
#include <string_view>

class QDBusVariant;

// The desktop's one switch for alert sounds, which its own programs follow too: where it is off,
// a program plays no sound of its own for a beep. Read once and then kept current from the
// desktop's notifications, so that asking never waits:
//  - on an X server, Xwayland too: the setting Net/EnableEventSounds of the XSETTINGS manager
//    (the settings daemons of GNOME, Xfce, MATE and Cinnamon export it; the last three have it
//    off unless the user switched alert sounds on);
//  - natively on Wayland: the desktop portal's event-sounds of org.gnome.desktop.sound, and
//    Enable in the Sounds group of Plasma's kdeglobals (Plasma 6; off where either is off).
// Where the desktop tells nothing, alert sounds are on.
class AlertSounds final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit AlertSounds(QObject *parent);
    ~AlertSounds() override;

    bool on() const { return m_on && m_portalOn[0] && m_portalOn[1]; }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override;

    // Net/EnableEventSounds in the contents of an XSETTINGS manager's settings property;
    // nothing where the property holds no such integer or is cut short.
    static std::optional<bool> eventSounds(std::string_view settings);

private Q_SLOTS:
    void portalChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void watchX();
    void watchManager(std::uint32_t manager);
    void readManager();
    void watchPortal();

    bool m_on = true;
    bool m_portalOn[2] = {true, true};
    bool m_portalChanged[2] = {false, false};
    std::uint32_t m_root = 0;
    std::uint32_t m_selection = 0; // the manager's selection, _XSETTINGS_S0
    std::uint32_t m_settings = 0;  // its property, _XSETTINGS_SETTINGS
    std::uint32_t m_managerAtom = 0;
    std::uint32_t m_manager = 0; // the window that holds the selection, if any
};
