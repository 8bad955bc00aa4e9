#include "notice/systembell.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#include <dlfcn.h>
#include <xcb/xcb.h>
// The keyboard extension's header names a field with a word that C++ keeps for itself.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A beep that has not started this long after it was rung would only confuse: it is dropped.
constexpr auto startLimit = std::chrono::milliseconds(1000);
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
    int (*destroy)(SoundContext *) = nullptr;

    bool load()
    {
        // Never unloaded: it loads its sound server's library in turn.
        void *library = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
        return library && find(library, "ca_context_create", create) &&
               find(library, "ca_context_change_props", changeProps) &&
               find(library, "ca_context_open", open) && find(library, "ca_context_play", play) &&
               find(library, "ca_context_destroy", destroy);
    }

private:
    template <typename Function> static bool find(void *library, const char *name, Function &f)
    {
        f = reinterpret_cast<Function>(dlsym(library, name));
        return f != nullptr;
    }
};

// Who rings, as the sound server and the desktop's per-application sound settings learn it.
struct Identity {
    std::string applicationName;
    std::string applicationId;
    std::string x11Display; // empty off X11
};

// What a beep still owes once its sound has been tried: on X11 the bell notification, when it
// could not be sent before the sound was known to work; elsewhere the toolkit's beep should no
// sound come.
enum class Owed { Nothing, Fallback, NoticeOrFallback };

struct Request {
    Clock::time_point rung;
    QPointer<QWidget> window; // only looked at on the window's thread
    std::string xid;          // the window on X11, else empty
    Owed owed;
};

enum class Way { Undecided, Sound, ToolkitBeep };

// What the window's thread and the player share. The player holds it as long as it runs, so a
// player stuck in a hung sound server at the program's end touches nothing that has gone.
struct Shared {
    std::mutex mutex;
    std::condition_variable woken;
    std::condition_variable ended;
    std::deque<Request> waiting;
    Way way = Way::Undecided;
    std::optional<Clock::time_point> busySince;
    QObject *home = nullptr; // receives what has to be done on the window's thread
    bool closing = false;
    bool finished = false;
    Identity identity;
};

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The keyboard extension's first event code, where the X server has the extension.
std::optional<std::uint8_t> xkbEvents(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return std::nullopt;
    return xkb->first_event;
}

// Whether the X server sounds its own bell, asked once. Later changes come as the keyboard
// extension's controls notifications, asked for first so that none is missed.
bool audibleBell(xcb_connection_t *connection)
{
    xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_CONTROLS_NOTIFY,
                          0, XCB_XKB_EVENT_TYPE_CONTROLS_NOTIFY, 0, 0, nullptr);
    xcb_xkb_get_controls_reply_t *controls = xcb_xkb_get_controls_reply(
        connection, xcb_xkb_get_controls(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr);
    if (!controls)
        return true;
    const bool on = controls->enabledControls & XCB_XKB_BOOL_CTRL_AUDIBLE_BELL_MASK;
    std::free(controls);
    return on;
}

// The keyboard extension's bell, naming the window that rang, so that a desktop flashes that
// window and plays the sound it chose for it. With noticeOnly the server sounds nothing
// itself: watchers of the bell (a visual bell) learn of it all the same.
void ringXkbBell(xcb_connection_t *connection, QWidget *window, bool noticeOnly)
{
    const xcb_window_t xid = window ? xcb_window_t(window->window()->internalWinId()) : 0;
    xcb_xkb_bell(connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_BELL_CLASS_DFLT_XI_CLASS,
                 XCB_XKB_ID_DFLT_XI_ID, 0, 0, noticeOnly, 0, 0, XCB_ATOM_NONE, xid);
    xcb_flush(connection);
}

SoundContext *openContext(const Canberra &canberra, const Identity &identity)
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

bool playSound(const Canberra &canberra, SoundContext *context, const Identity &identity,
               const Request &request)
{
    const char *name = identity.applicationName.c_str();
    if (request.xid.empty()) {
        return canberra.play(context, 0, "event.id", eventId, "window.name", name,
                             "window.icon_name", iconName, static_cast<const char *>(nullptr)) == 0;
    }
    return canberra.play(context, 0, "event.id", eventId, "window.name", name, "window.icon_name",
                         iconName, "window.x11.display", identity.x11Display.c_str(),
                         "window.x11.xid", request.xid.c_str(),
                         static_cast<const char *>(nullptr)) == 0;
}

// Hands what a beep still owes to the window's thread. Called with the mutex held.
void settle(Shared &shared, const Request &request, bool played)
{
    if (request.owed == Owed::Nothing || (played && request.owed == Owed::Fallback) || !shared.home)
        return;
    QMetaObject::invokeMethod(
        shared.home,
        [window = request.window, played] {
            if (!played) {
                QApplication::beep();
            } else if (xcb_connection_t *connection = x11Connection()) {
                ringXkbBell(connection, window, true);
            }
        },
        Qt::QueuedConnection);
}

// The player's thread: one beep after the other, in the order rung, until the program ends or
// no sound can be played.
void play(std::shared_ptr<Shared> shared)
{
    Canberra canberra;
    const bool loaded = canberra.load();
    SoundContext *context = nullptr;
    std::unique_lock lock(shared->mutex);
    while (shared->way != Way::ToolkitBeep) {
        shared->woken.wait(lock, [&] { return shared->closing || !shared->waiting.empty(); });
        if (shared->closing)
            break;
        Request request = std::move(shared->waiting.front());
        shared->waiting.pop_front();
        if (Clock::now() - request.rung > startLimit)
            continue;
        shared->busySince = Clock::now();
        lock.unlock();
        if (loaded && !context)
            context = openContext(canberra, shared->identity);
        const bool late = Clock::now() - request.rung > startLimit;
        const bool played =
            context && !late && playSound(canberra, context, shared->identity, request);
        lock.lock();
        shared->busySince.reset();
        if (!context || (!late && !played))
            shared->way = Way::ToolkitBeep;
        else if (shared->way == Way::Undecided)
            shared->way = Way::Sound;
        if (!late)
            settle(*shared, request, played);
    }
    // Beeps rung while the last sound failed get the toolkit's beep in its place.
    for (const Request &request : shared->waiting) {
        if (Clock::now() - request.rung <= startLimit)
            settle(*shared, request, false);
    }
    shared->waiting.clear();
    lock.unlock();
    if (context)
        canberra.destroy(context);
    lock.lock();
    shared->finished = true;
    shared->ended.notify_all();
}

class SystemBell final : public QObject, public QAbstractNativeEventFilter {
public:
    static SystemBell *instance;

    explicit SystemBell(Identity identity) : QObject(QCoreApplication::instance())
    {
        m_shared->identity = std::move(identity);
        m_shared->home = this;
        instance = this;
        // A handler never waits for the X server: whether it sounds its own bell is kept up to
        // date from its notifications, which Qt passes on untouched.
        if (xcb_connection_t *connection = x11Connection()) {
            m_xkbEvents = xkbEvents(connection);
            if (m_xkbEvents) {
                m_audible = audibleBell(connection);
                QCoreApplication::instance()->installNativeEventFilter(this);
            }
        }
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_xkb_controls_notify_event_t *>(message);
        if ((event->response_type & 0x7f) == *m_xkbEvents &&
            event->xkbType == XCB_XKB_CONTROLS_NOTIFY)
            m_audible = event->enabledControls & XCB_XKB_BOOL_CTRL_AUDIBLE_BELL_MASK;
        return false;
    }

    // At the end of the program: an idle player leaves the sound server first; one stuck in
    // a hung server is left behind.
    ~SystemBell() override
    {
        instance = nullptr;
        std::unique_lock lock(m_shared->mutex);
        m_shared->closing = true;
        m_shared->home = nullptr;
        m_shared->woken.notify_all();
        if (m_started && !m_shared->busySince)
            m_shared->ended.wait_for(lock, leaveLimit, [this] { return m_shared->finished; });
    }

    void ring(QWidget *window)
    {
        xcb_connection_t *connection = x11Connection();
        const std::optional<bool> audible = m_audible;
        if (audible == false) {
            ringXkbBell(connection, window, false);
            return;
        }
        std::unique_lock lock(m_shared->mutex);
        if (m_shared->way != Way::ToolkitBeep && m_shared->busySince &&
            Clock::now() - *m_shared->busySince > startLimit)
            m_shared->way = Way::ToolkitBeep;
        if (m_shared->way == Way::ToolkitBeep) {
            lock.unlock();
            QApplication::beep();
            return;
        }
        Owed owed = Owed::Fallback;
        if (audible.has_value()) {
            owed = Owed::NoticeOrFallback;
            if (m_shared->way == Way::Sound) {
                ringXkbBell(connection, window, true);
                owed = Owed::Nothing;
            }
        }
        std::string xid;
        if (connection && window->window()->internalWinId())
            xid = std::to_string(window->window()->internalWinId());
        m_shared->waiting.push_back({Clock::now(), window, std::move(xid), owed});
        m_shared->woken.notify_one();
        if (!m_started) {
            std::thread(play, m_shared).detach();
            m_started = true;
        }
    }

private:
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    bool m_started = false;
    std::optional<std::uint8_t> m_xkbEvents; // on X11 with the keyboard extension
    std::optional<bool> m_audible;
};

SystemBell *SystemBell::instance = nullptr;

} // namespace

void ringSystemBell(QWidget *window)
{
    if (!SystemBell::instance) {
        Identity identity;
        identity.applicationName = window->window()->windowTitle().toStdString();
        identity.applicationId = QGuiApplication::desktopFileName().toStdString();
        if (x11Connection())
            identity.x11Display = qEnvironmentVariable("DISPLAY").toStdString();
        new SystemBell(std::move(identity));
    }
    SystemBell::instance->ring(window);
}
