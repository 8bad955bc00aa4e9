#include "notice/waylandbell.h"

#include "xdg-system-bell-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>

#include <cerrno>
#include <cstring>

WaylandBell::~WaylandBell()
{
    disconnect();
}

void WaylandBell::global(void *data, wl_registry *registry, unsigned name, const char *interface,
                         unsigned)
{
    auto *bell = static_cast<WaylandBell *>(data);
    if (bell->m_bell || std::strcmp(interface, xdg_system_bell_v1_interface.name) != 0)
        return;
    bell->m_bell = static_cast<xdg_system_bell_v1 *>(
        wl_registry_bind(registry, name, &xdg_system_bell_v1_interface, 1));
    bell->m_bellName = name;
}

void WaylandBell::globalRemove(void *data, wl_registry *, unsigned name)
{
    auto *bell = static_cast<WaylandBell *>(data);
    if (bell->m_bell && name == bell->m_bellName) {
        xdg_system_bell_v1_destroy(bell->m_bell);
        bell->m_bell = nullptr;
    }
}

// One round trip learns whether the compositor offers the bell and binds it.
void WaylandBell::connect()
{
    static const wl_registry_listener listener{global, globalRemove};
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    if (wl_display_roundtrip(m_display) < 0 || !m_bell)
        disconnect();
}

void WaylandBell::disconnect()
{
    if (m_bell)
        xdg_system_bell_v1_destroy(m_bell);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
    m_bell = nullptr;
    m_registry = nullptr;
    m_display = nullptr;
}

bool WaylandBell::readPending()
{
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return false;
    }
    pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
    if (poll(&readable, 1, 0) > 0) {
        if (wl_display_read_events(m_display) < 0)
            return false;
    } else {
        wl_display_cancel_read(m_display);
    }
    return wl_display_dispatch_pending(m_display) >= 0;
}

bool WaylandBell::ring()
{
    if (!m_asked) {
        m_asked = true;
        connect();
    }
    if (!m_display)
        return false;
    // A compositor that went away, or took the bell back, leaves the toolkit's beep.
    if (!readPending() || !m_bell) {
        disconnect();
        return false;
    }
    // No surface: the toolkit's is on a connection of its own, which this one cannot name.
    xdg_system_bell_v1_ring(m_bell, nullptr);
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN) {
        disconnect();
        return false;
    }
    return true;
}
