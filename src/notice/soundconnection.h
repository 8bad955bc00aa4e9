#pragma once

#include "notice/playerpolicy.h"
#include "notice/soundplayer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct Canberra;
struct SoundContext;

// The sound server as the player meets it, through libcanberra: one connection, dropped when it
// fails and made afresh for a later sound when the player's rules allow it. Used on the player's
// thread alone.
class SoundConnection {
public:
    using Outcome = PlayerPolicy::Outcome;

    explicit SoundConnection(const SoundPlayer::Identity &identity);
    ~SoundConnection();
    SoundConnection(const SoundConnection &) = delete;
    SoundConnection &operator=(const SoundConnection &) = delete;

    // Whether libcanberra could be loaded.
    bool loaded() const;
    bool open() const { return m_context; }

    // What the player is asked while it plays a beep, each under its lock.
    struct Asks {
        std::function<bool()> mayConnect; // whether a fresh connection may be made now
        std::function<bool()> start;      // right before the play call: may the sound go out now
        std::function<void()> putBack;    // the play call failed: the sound did not go out
    };

    // Plays the sound for the window with that X11 id (or none): Played once the sound went out,
    // Late where start said no, Failed where it could not be played.
    Outcome play(const std::string &xid, const Asks &asks);

private:
    const SoundPlayer::Identity &m_identity;
    std::unique_ptr<Canberra> m_canberra;
    SoundContext *m_context = nullptr;
    std::uint32_t m_id = 0;
};
