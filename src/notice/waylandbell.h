#pragma once

struct wl_display;
struct wl_registry;
struct xdg_system_bell_v1;

// The compositor's own bell, through the system-bell protocol, which rings it by the user's
// settings (a sound, a flash, or nothing). The toolkit does not share its Wayland connection, so
// the bell has one of its own, made at its first ring: a program that never needs it never
// connects. A compositor that does not offer the bell is asked once.
class WaylandBell {
public:
    WaylandBell() = default;
    ~WaylandBell();
    WaylandBell(const WaylandBell &) = delete;
    WaylandBell &operator=(const WaylandBell &) = delete;

    // Rings the compositor's bell; false where it has none, or the connection has gone.
    bool ring();

private:
    void connect();
    void disconnect();
    // Reads what the compositor sent meanwhile without waiting, so that it never piles up.
    bool readPending();

    static void global(void *data, wl_registry *registry, unsigned name, const char *interface,
                       unsigned version);
    static void globalRemove(void *data, wl_registry *registry, unsigned name);

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    xdg_system_bell_v1 *m_bell = nullptr;
    unsigned m_bellName = 0;
    bool m_asked = false;
};
