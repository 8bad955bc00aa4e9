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
    using TimePoint = PlayerPolicy::TimePoint;

    explicit SoundConnection(const SoundPlayer::Identity &identity);
    ~SoundConnection();
    SoundConnection(const SoundConnection &) = delete;
    SoundConnection &operator=(const SoundConnection &) = delete;

    // Whether libcanberra could be loaded.
    bool loaded() const;
    bool open() const { return m_context; }

    // Plays the sound for the window with that X11 id (or none) of a beep rung then. mayConnect
    // tells whether a fresh connection may be made now.
    Outcome play(const std::string &xid, TimePoint rung, const std::function<bool()> &mayConnect);

private:
    const SoundPlayer::Identity &m_identity;
    std::unique_ptr<Canberra> m_canberra;
    SoundContext *m_context = nullptr;
    std::uint32_t m_id = 0;
};
