#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <memory>

class QWidget;

// The X server's bell, through the keyboard extension: Qt rings only the core bell, which
// names no window and cannot be rung as a notification alone, and does not tell whether the
// server sounds its bell itself. Whether it does is asked once and then kept current from the
// server's notifications, so that ringing never waits for the server.
class XBell final : public QAbstractNativeEventFilter {
public:
    // Null off X11 and where the server has no keyboard extension.
    static std::unique_ptr<XBell> create();

    // Whether the server sounds its own bell (its AudibleBell control).
    bool audible() const { return m_audible; }
    // Whether the server is Xwayland: it has the XWAYLAND extension, or an older one names its
    // outputs XWAYLAND0 and on.
    bool xwayland() const { return m_xwayland; }

    // Rings the bell for the window, so that a desktop flashes that window and plays the sound it
    // chose for it. With noticeOnly the server sounds nothing itself: watchers of the bell (a
    // visual bell) learn of it all the same.
    void ring(QWidget *window, bool noticeOnly);

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override;

private:
    explicit XBell(std::uint8_t firstEvent) : m_firstEvent(firstEvent) {}

    std::uint8_t m_firstEvent;
    bool m_audible = true;
    bool m_xwayland = false;
};
