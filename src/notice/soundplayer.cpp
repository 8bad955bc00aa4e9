#include "notice/soundplayer.h"

#include "notice/playerpolicy.h"
#include "notice/soundconnection.h"

#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

using Clock = PlayerPolicy::Clock;

// The end of the program gives an idle player this long to leave the sound server.
constexpr auto leaveLimit = std::chrono::milliseconds(200);

// A beep waiting for the player, or being played.
struct Request {
    std::string xid;
    std::shared_ptr<PlayerTicket> ticket;
};

} // namespace

// A beep between the window's thread and the player's: its hand-over, and what the ringer is
// told, once, by whichever side withdraws it or has started its sound.
struct PlayerTicket {
    Handover handover;
    std::function<void(bool)> settled;
};

// What the window's thread and the player share. The player holds it as long as it runs, so a
// player stuck in a hung sound server at the program's end touches nothing that has gone.
struct PlayerShared {
    std::mutex mutex;
    std::condition_variable woken;
    std::condition_variable ended;
    std::deque<Request> waiting;
    PlayerPolicy policy;
    QObject *home = nullptr; // receives the settling, on the window's thread
    bool closing = false;
    bool finished = false;
    SoundPlayer::Identity identity;
};

namespace {

// Tells the ringer on the window's thread whether its sound played.
void tell(QObject *home, std::function<void(bool)> settled, bool played)
{
    QMetaObject::invokeMethod(
        home, [settled = std::move(settled), played] { settled(played); }, Qt::QueuedConnection);
}

// The player's thread: one sound after the other, in the order rung, until the program ends.
void serve(PlayerShared &shared, SoundConnection &connection)
{
    std::unique_lock lock(shared.mutex);
    if (!connection.loaded())
        shared.policy.disable();
    const auto locked = [&](auto ask) {
        return [&shared, ask] {
            std::lock_guard asking(shared.mutex);
            return ask();
        };
    };
    for (;;) {
        shared.woken.wait(lock, [&] { return shared.closing || !shared.waiting.empty(); });
        if (shared.closing)
            break;
        Request request = std::move(shared.waiting.front());
        shared.waiting.pop_front();
        Handover &handover = request.ticket->handover;
        auto outcome = PlayerPolicy::Outcome::Late;
        if (shared.policy.admit(handover.rung(), Clock::now())) {
            lock.unlock();
            const SoundConnection::Asks asks{
                locked([&] { return shared.policy.mayConnect(Clock::now()); }),
                locked([&] { return handover.start(Clock::now()); }),
                locked([&] { handover.putBack(); }),
            };
            outcome = connection.play(request.xid, asks);
            lock.lock();
            shared.policy.settle(outcome, connection.open());
        }
        // A sound that went out is the player's to tell; one that did not, if the window has not
        // withdrawn it at the start limit already, is withdrawn here, so that the desktop's bell
        // stands in at once.
        const bool played = outcome == PlayerPolicy::Outcome::Played;
        if ((played || handover.withdraw()) && shared.home)
            tell(shared.home, std::move(request.ticket->settled), played);
    }
    shared.waiting.clear();
}

void run(std::shared_ptr<PlayerShared> shared)
{
    {
        SoundConnection connection(shared->identity);
        serve(*shared, connection);
    }
    std::lock_guard lock(shared->mutex);
    shared->finished = true;
    shared->ended.notify_all();
}

} // namespace

SoundPlayer::SoundPlayer(Identity identity, QObject *parent)
    : QObject(parent),
      m_shared(std::make_shared<PlayerShared>())
{
    m_shared->identity = std::move(identity);
    m_shared->home = this;
}

SoundPlayer::~SoundPlayer()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->closing = true;
    m_shared->home = nullptr;
    m_shared->woken.notify_all();
    if (m_started && !m_shared->policy.busy())
        m_shared->ended.wait_for(lock, leaveLimit, [this] { return m_shared->finished; });
}

PlayerState SoundPlayer::state() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->policy.state(Clock::now());
}

void SoundPlayer::play(const std::string &xid, std::function<void(bool played)> settled)
{
    if (!m_started && !start()) {
        tell(this, std::move(settled), false);
        return;
    }
    auto ticket =
        std::make_shared<PlayerTicket>(PlayerTicket{Handover(Clock::now()), std::move(settled)});
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->waiting.push_back({xid, ticket});
        m_shared->woken.notify_one();
    }
    // Precise: a coarse timer may come early, before the player has had the whole limit.
    QTimer::singleShot(PlayerPolicy::startLimit, Qt::PreciseTimer, this,
                       [this, ticket] { limitReached(ticket); });
}

void SoundPlayer::limitReached(const std::shared_ptr<PlayerTicket> &ticket)
{
    std::unique_lock lock(m_shared->mutex);
    if (!ticket->handover.withdraw())
        return;
    lock.unlock();
    ticket->settled(false);
}

// A thread that cannot be started leaves the player silent for good.
bool SoundPlayer::start()
{
    try {
        std::thread(run, m_shared).detach();
        m_started = true;
    } catch (const std::system_error &) {
        std::lock_guard lock(m_shared->mutex);
        m_shared->policy.disable();
    }
    return m_started;
}
