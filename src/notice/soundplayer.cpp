#include "notice/soundplayer.h"

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A beep that has not started this long after it was rung would only confuse: it is dropped.
constexpr auto startLimit = std::chrono::milliseconds(1000);
// A sound server that failed is not met afresh sooner: it may be restarting, and each try costs
// a connection.
constexpr auto retryPause = std::chrono::seconds(3);
// The end of the program gives an idle player this long to leave the sound server.
constexpr auto leaveLimit = std::chrono::milliseconds(200);

constexpr const char *eventId = "bell-window-system";
// The desktop entry's icon.
constexpr const char *iconName = "pafuro";

// The few entry points of libcanberra that are used, looked up at the first sound.
struct SoundContext;
struct Canberra {
    int (*create)(SoundContext **) = nullptr;
    int (*changeProps)(SoundContext *, ...) = nullptr;
    int (*open)(SoundContext *) = nullptr;
    int (*play)(SoundContext *, std::uint32_t, ...) = nullptr;
    int (*cancel)(SoundContext *, std::uint32_t) = nullptr;
    int (*destroy)(SoundContext *) = nullptr;

    bool load()
    {
        // Never unloaded: it loads its sound server's library in turn.
        void *library = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
        return library && find(library, "ca_context_create", create) &&
               find(library, "ca_context_change_props", changeProps) &&
               find(library, "ca_context_open", open) && find(library, "ca_context_play", play) &&
               find(library, "ca_context_cancel", cancel) &&
               find(library, "ca_context_destroy", destroy);
    }

private:
    template <typename Function> static bool find(void *library, const char *name, Function &f)
    {
        f = reinterpret_cast<Function>(dlsym(library, name));
        return f != nullptr;
    }
};

struct Request {
    Clock::time_point rung;
    std::string xid;
    std::function<void(bool)> settled;

    bool late() const { return Clock::now() - rung > startLimit; }
};

SoundContext *openContext(const Canberra &canberra, const SoundPlayer::Identity &identity)
{
    SoundContext *context = nullptr;
    if (canberra.create(&context) != 0)
        return nullptr;
    canberra.changeProps(context, "application.name", identity.applicationName.c_str(),
                         "application.id", identity.applicationId.c_str(), "application.icon_name",
                         iconName, static_cast<const char *>(nullptr));
    if (canberra.open(context) != 0) {
        canberra.destroy(context);
        return nullptr;
    }
    return context;
}

// libcanberra's play call sends the sound before it waits for the server, so a server that is held
// up plays it late, and libcanberra has no call that only asks whether the server answers. Asking
// for a sound from the server's cache that no theme has is one round trip that plays nothing.
void awaitServer(const Canberra &canberra, SoundContext *context)
{
    canberra.play(context, 0, "event.id", "pafuroprobe", "canberra.cache-control", "volatile",
                  static_cast<const char *>(nullptr));
}

bool playSound(const Canberra &canberra, SoundContext *context, std::uint32_t id,
               const SoundPlayer::Identity &identity, const Request &request)
{
    const char *name = identity.applicationName.c_str();
    if (request.xid.empty()) {
        return canberra.play(context, id, "event.id", eventId, "window.name", name,
                             "window.icon_name", iconName, static_cast<const char *>(nullptr)) == 0;
    }
    return canberra.play(context, id, "event.id", eventId, "window.name", name, "window.icon_name",
                         iconName, "window.x11.display", identity.x11Display.c_str(),
                         "window.x11.xid", request.xid.c_str(),
                         static_cast<const char *>(nullptr)) == 0;
}

} // namespace

// What the window's thread and the player share. The player holds it as long as it runs, so a
// player stuck in a hung sound server at the program's end touches nothing that has gone.
struct PlayerShared {
    std::mutex mutex;
    std::condition_variable woken;
    std::condition_variable ended;
    std::deque<Request> waiting;
    std::optional<Clock::time_point> busySince;
    std::optional<Clock::time_point> silentUntil;
    bool noLibrary = false;
    bool played = false;
    QObject *home = nullptr; // receives the settling, on the window's thread
    bool closing = false;
    bool finished = false;
    SoundPlayer::Identity identity;
};

namespace {

// The sound server as the player meets it: one connection, dropped when it fails and made afresh
// for a later sound, no sooner than retryPause after the last was made.
class Connection {
public:
    enum class Outcome { Played, Failed, Late };

    explicit Connection(const SoundPlayer::Identity &identity) : m_identity(identity)
    {
        m_loaded = m_canberra.load();
    }
    ~Connection()
    {
        if (m_context)
            m_canberra.destroy(m_context);
    }

    bool loaded() const { return m_loaded; }
    bool open() const { return m_context; }
    Clock::time_point nextOpen() const { return m_nextOpen; }

    Outcome play(const Request &request)
    {
        for (int tries = 0; m_loaded && tries < 2; ++tries) {
            if (!m_context) {
                if (Clock::now() < m_nextOpen)
                    break;
                m_nextOpen = Clock::now() + retryPause;
                m_context = openContext(m_canberra, m_identity);
                if (!m_context)
                    break;
            }
            awaitServer(m_canberra, m_context);
            if (request.late())
                return Outcome::Late;
            if (playSound(m_canberra, m_context, ++m_id, m_identity, request)) {
                // A server held up between the two calls is told at once to drop the sound.
                if (!request.late())
                    return Outcome::Played;
                m_canberra.cancel(m_context, m_id);
                return Outcome::Late;
            }
            m_canberra.destroy(m_context);
            m_context = nullptr;
        }
        return request.late() ? Outcome::Late : Outcome::Failed;
    }

private:
    const SoundPlayer::Identity &m_identity;
    Canberra m_canberra;
    bool m_loaded = false;
    SoundContext *m_context = nullptr;
    Clock::time_point m_nextOpen = Clock::now();
    std::uint32_t m_id = 0;
};

// The player's thread: one sound after the other, in the order rung, until the program ends.
void serve(PlayerShared &shared, Connection &connection)
{
    std::unique_lock lock(shared.mutex);
    shared.noLibrary = !connection.loaded();
    for (;;) {
        shared.woken.wait(lock, [&] { return shared.closing || !shared.waiting.empty(); });
        if (shared.closing)
            break;
        Request request = std::move(shared.waiting.front());
        shared.waiting.pop_front();
        if (request.late())
            continue;
        shared.busySince = Clock::now();
        lock.unlock();
        const Connection::Outcome outcome = connection.play(request);
        lock.lock();
        shared.busySince.reset();
        const bool played = outcome == Connection::Outcome::Played;
        shared.played = connection.open() && (shared.played || played);
        shared.silentUntil.reset();
        if (!connection.open())
            shared.silentUntil = connection.nextOpen();
        if (outcome != Connection::Outcome::Late && shared.home) {
            QMetaObject::invokeMethod(
                shared.home, [settled = std::move(request.settled), played] { settled(played); },
                Qt::QueuedConnection);
        }
    }
    shared.waiting.clear();
}

void run(std::shared_ptr<PlayerShared> shared)
{
    {
        Connection connection(shared->identity);
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
    if (m_started && !m_shared->busySince)
        m_shared->ended.wait_for(lock, leaveLimit, [this] { return m_shared->finished; });
}

PlayerState SoundPlayer::state() const
{
    std::lock_guard lock(m_shared->mutex);
    const auto now = Clock::now();
    if (m_shared->busySince && now - *m_shared->busySince > startLimit)
        return PlayerState::Stuck;
    if (m_shared->noLibrary || (m_shared->silentUntil && now < *m_shared->silentUntil))
        return PlayerState::Silent;
    return m_shared->played ? PlayerState::Played : PlayerState::Ready;
}

void SoundPlayer::play(const std::string &xid, std::function<void(bool played)> settled)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->waiting.push_back({Clock::now(), xid, std::move(settled)});
    m_shared->woken.notify_one();
    if (!m_started) {
        std::thread(run, m_shared).detach();
        m_started = true;
    }
}
