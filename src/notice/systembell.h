#pragma once

#include "notice/beepway.h"

#include <QObject>

#include <memory>

class AlertSounds;
class QWidget;
class SoundPlayer;
class WaylandBell;
class XBell;

// The system beep of a window, which owns it: one audible sound for each ring.
//  - A bare X server whose own bell is switched off: a desktop has taken the bell over and
//    plays it with its own settings; the window rings the X bell and nothing else.
//  - Otherwise: the desktop's event sound "bell-window-system", played through the sound
//    server with the window's and the application's properties. On a bare X server with an X
//    bell that only notifies, so that visual bells follow it; on Xwayland with no X bell at
//    all, since a compositor may sound that too.
//  - Where the desktop's switch for alert sounds is off: no sound of the program's own, only
//    the X bell as a notification on a bare X server.
//  - Where no sound can be played (no sound library, no sound server or one that fails or
//    hangs), until a sound server answers again, and for a sound that cannot start within about
//    a second: the desktop's own bell stands in. On X11 and Xwayland that is the X bell, named
//    for the window; natively on Wayland the compositor's bell, where it offers the system-bell
//    protocol, which sounds by the user's settings; elsewhere the toolkit's beep (which sounds
//    nothing on Wayland).
// Ringing returns at once: the sound is played on a thread of its own; one that has not started
// at the start limit is dropped and the stand-in rings then, not once the sound server is back,
// and the program's end never waits for the sound server.
class SystemBell final : public QObject {
    Q_OBJECT
public:
    // The application's name is the one the desktop's sound settings show.
    SystemBell(const QString &applicationName, QWidget *window);
    ~SystemBell() override;

    void ring();

private:
    // The bell's means, made at the first ring: nothing of the sound is loaded before it.
    void makeMeans();
    BellFacts facts() const;
    // What a beep still owes once its sound has been tried.
    void settle(BeepWay way, bool played);
    // The desktop's own bell, in place of a sound that cannot be played.
    void standIn();

    QWidget *m_window;
    QString m_applicationName;
    std::unique_ptr<XBell> m_xBell;
    std::unique_ptr<WaylandBell> m_waylandBell; // natively on Wayland
    SoundPlayer *m_player = nullptr;
    // Watched from the start, so that the first beep already follows the desktop's switch.
    AlertSounds *m_alertSounds;
};
