#pragma once

#include "notice/beepway.h"

#include <chrono>
#include <optional>

// The sound player's rules of time, over instants it is given: a beep that cannot start within a
// second is dropped, and the desktop's own bell stands in for it; a player held up longer than
// that is stuck; a sound server that failed is not met afresh sooner than three seconds after the
// last connection was made, and the player is silent until then.
class PlayerPolicy {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    enum class Outcome { Played, Failed, Late };

    static constexpr auto startLimit = std::chrono::milliseconds(1000);
    static constexpr auto retryPause = std::chrono::seconds(3);

    // Whether a beep rung then may no longer start now.
    static bool late(TimePoint rung, TimePoint now) { return now - rung > startLimit; }

    PlayerState state(TimePoint now) const;
    bool busy() const { return m_busySince.has_value(); }

    // No sound can be played at all: no sound library, or no thread to play on.
    void disable() { m_disabled = true; }
    // Takes up a beep rung then, unless it is late; the player is busy from now.
    bool admit(TimePoint rung, TimePoint now);
    // Whether a fresh connection may be made now; if so, the pause before the next begins now.
    bool mayConnect(TimePoint now);
    // The beep taken up has ended so, with the connection kept or not.
    void settle(Outcome outcome, bool connected);

private:
    std::optional<TimePoint> m_busySince;
    std::optional<TimePoint> m_silentUntil;
    std::optional<TimePoint> m_nextConnect;
    bool m_disabled = false;
    bool m_played = false; // a sound has played on the present connection
};

// One beep on its way from the window's thread to the player's, asked under the player's lock.
// Its sound is started by the player right before the play call, unless it has been withdrawn:
// by the window once the start limit has passed, or by the player when it cannot play it. A
// beep is withdrawn once at most and never after its sound went out, and whoever withdraws it
// rings the desktop's own bell in its place: each beep is heard once, by one or the other.
class Handover {
public:
    explicit Handover(PlayerPolicy::TimePoint rung) : m_rung(rung) {}

    PlayerPolicy::TimePoint rung() const { return m_rung; }
    // Whether its sound may go out now; then the beep is the player's. One that is late stays
    // silent, also on a second try after a play call that failed, and may be withdrawn.
    bool start(PlayerPolicy::TimePoint now);
    // The play call failed: the sound did not go out, and the beep waits again.
    void putBack();
    // Whether it was waiting still: it is lost, and the caller rings the desktop's bell for it.
    bool withdraw();

private:
    enum class Fate { Waiting, Started, Withdrawn };

    PlayerPolicy::TimePoint m_rung;
    Fate m_fate = Fate::Waiting;
};
