#include "notice/playerpolicy.h"

PlayerState PlayerPolicy::state(TimePoint now) const
{
    if (m_busySince && now - *m_busySince > startLimit)
        return PlayerState::Stuck;
    if (m_disabled || (m_silentUntil && now < *m_silentUntil))
        return PlayerState::Silent;
    return m_played ? PlayerState::Played : PlayerState::Ready;
}

bool PlayerPolicy::admit(TimePoint rung, TimePoint now)
{
    if (late(rung, now))
        return false;
    m_busySince = now;
    return true;
}

bool PlayerPolicy::mayConnect(TimePoint now)
{
    if (m_nextConnect && now < *m_nextConnect)
        return false;
    m_nextConnect = now + retryPause;
    return true;
}

void PlayerPolicy::settle(Outcome outcome, bool connected)
{
    m_busySince.reset();
    m_played = connected && (m_played || outcome == Outcome::Played);
    m_silentUntil.reset();
    if (!connected)
        m_silentUntil = m_nextConnect;
}

bool Handover::start(PlayerPolicy::TimePoint now)
{
    if (m_fate == Fate::Withdrawn)
        return false;
    m_fate = PlayerPolicy::late(m_rung, now) ? Fate::Waiting : Fate::Started;
    return m_fate == Fate::Started;
}

void Handover::putBack()
{
    if (m_fate == Fate::Started)
        m_fate = Fate::Waiting;
}

bool Handover::withdraw()
{
    if (m_fate != Fate::Waiting)
        return false;
    m_fate = Fate::Withdrawn;
    return true;
}
