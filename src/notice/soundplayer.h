#pragma once

#include "notice/beepway.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

struct PlayerShared;
struct PlayerTicket;

// The desktop's event sound for a window's bell, played through the sound server by libcanberra
// on a thread of its own: a sound server may take its time or hang, and a window's handler must
// not wait for it. libcanberra is loaded at the first sound, not linked: a program that never
// beeps does not load it and the sound server's library it brings along.
class SoundPlayer final : public QObject {
    Q_OBJECT
public:
    // Who plays, as the sound server and the desktop's per-application sound settings learn it.
    struct Identity {
        std::string applicationName;
        std::string applicationId;
        std::string x11Display; // empty off X11
    };

    SoundPlayer(Identity identity, QObject *parent);
    // An idle player leaves the sound server first; one stuck in a hung server is left behind.
    ~SoundPlayer() override;

    PlayerState state() const;

    // Plays the sound for the window (its X11 id, or empty). Once it is known whether the sound
    // played, settled is called once on this object's thread: with false as soon as it cannot be
    // played, and at the start limit for a sound that has not started by then, which is dropped.
    void play(const std::string &xid, std::function<void(bool played)> settled);

private:
    bool start();
    // The start limit of a beep is over: unless its sound has started, it is withdrawn as lost.
    void limitReached(const std::shared_ptr<PlayerTicket> &ticket);

    std::shared_ptr<PlayerShared> m_shared;
    bool m_started = false;
};
