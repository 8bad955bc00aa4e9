#include "notice/soundconnection.h"

#include <dlfcn.h>

namespace {

constexpr const char *eventId = "bell-window-system";
// The desktop entry's icon.
constexpr const char *iconName = "pafuro";

} // namespace

// The few entry points of libcanberra that are used, looked up at the first sound.
struct Canberra {
    int (*create)(SoundContext **) = nullptr;
    int (*changeProps)(SoundContext *, ...) = nullptr;
    int (*open)(SoundContext *) = nullptr;
    int (*play)(SoundContext *, std::uint32_t, ...) = nullptr;
    int (*destroy)(SoundContext *) = nullptr;
    bool loaded = false;

    Canberra()
    {
        // Never unloaded: it loads its sound server's library in turn.
        void *library = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
        loaded = library && find(library, "ca_context_create", create) &&
                 find(library, "ca_context_change_props", changeProps) &&
                 find(library, "ca_context_open", open) && find(library, "ca_context_play", play) &&
                 find(library, "ca_context_destroy", destroy);
    }

    SoundContext *openContext(const SoundPlayer::Identity &identity) const
    {
        SoundContext *context = nullptr;
        if (create(&context) != 0)
            return nullptr;
        changeProps(context, "application.name", identity.applicationName.c_str(), "application.id",
                    identity.applicationId.c_str(), "application.icon_name", iconName,
                    static_cast<const char *>(nullptr));
        if (open(context) != 0) {
            destroy(context);
            return nullptr;
        }
        return context;
    }

    // The play call sends the sound before it waits for the server, so a server that is held up
    // plays it late, and libcanberra has no call that only asks whether the server answers.
    // Asking for a sound from the server's cache that no theme has is one round trip that plays
    // nothing.
    void awaitServer(SoundContext *context) const
    {
        play(context, 0, "event.id", "pafuroprobe", "canberra.cache-control", "volatile",
             static_cast<const char *>(nullptr));
    }

    bool playSound(SoundContext *context, std::uint32_t id, const SoundPlayer::Identity &identity,
                   const std::string &xid) const
    {
        const char *name = identity.applicationName.c_str();
        if (xid.empty()) {
            return play(context, id, "event.id", eventId, "window.name", name, "window.icon_name",
                        iconName, static_cast<const char *>(nullptr)) == 0;
        }
        return play(context, id, "event.id", eventId, "window.name", name, "window.icon_name",
                    iconName, "window.x11.display", identity.x11Display.c_str(), "window.x11.xid",
                    xid.c_str(), static_cast<const char *>(nullptr)) == 0;
    }

private:
    template <typename Function> static bool find(void *library, const char *name, Function &f)
    {
        f = reinterpret_cast<Function>(dlsym(library, name));
        return f != nullptr;
    }
};

SoundConnection::SoundConnection(const SoundPlayer::Identity &identity)
    : m_identity(identity),
      m_canberra(std::make_unique<Canberra>())
{
}

SoundConnection::~SoundConnection()
{
    if (m_context)
        m_canberra->destroy(m_context);
}

bool SoundConnection::loaded() const
{
    return m_canberra->loaded;
}

// A connection that fails is dropped, and one made afresh at once if the rules allow it. The
// sound goes out only once the server has answered and start has said yes: a server that is held
// up before that plays nothing late, and a sound that went out is never taken back.
SoundConnection::Outcome SoundConnection::play(const std::string &xid, const Asks &asks)
{
    for (int tries = 0; loaded() && tries < 2; ++tries) {
        if (!m_context) {
            if (!asks.mayConnect())
                break;
            m_context = m_canberra->openContext(m_identity);
            if (!m_context)
                break;
        }
        m_canberra->awaitServer(m_context);
        if (!asks.start())
            return Outcome::Late;
        if (m_canberra->playSound(m_context, ++m_id, m_identity, xid))
            return Outcome::Played;
        asks.putBack();
        m_canberra->destroy(m_context);
        m_context = nullptr;
    }
    return Outcome::Failed;
}
