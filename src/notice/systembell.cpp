#include "notice/systembell.h"

#include "notice/alertsounds.h"
#include "notice/soundplayer.h"
#include "notice/waylandbell.h"
#include "notice/xbell.h"

#include <QApplication>
#include <QWidget>

SystemBell::SystemBell(const QString &applicationName, QWidget *window)
    : QObject(window),
      m_window(window),
      m_applicationName(applicationName),
      m_alertSounds(new AlertSounds(this))
{
}

SystemBell::~SystemBell() = default;

void SystemBell::makeMeans()
{
    m_xBell = XBell::create();
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        m_waylandBell = std::make_unique<WaylandBell>();
    SoundPlayer::Identity identity;
    identity.applicationName = m_applicationName.toStdString();
    identity.applicationId = QGuiApplication::desktopFileName().toStdString();
    if (m_xBell)
        identity.x11Display = qEnvironmentVariable("DISPLAY").toStdString();
    m_player = new SoundPlayer(std::move(identity), this);
}

BellFacts SystemBell::facts() const
{
    BellFacts facts;
    if (m_xBell) {
        facts.xkb = true;
        facts.xwayland = m_xBell->xwayland();
        facts.audibleBell = m_xBell->audible();
    }
    facts.alertSounds = m_alertSounds->on();
    facts.player = m_player->state();
    return facts;
}

void SystemBell::ring()
{
    if (!m_player)
        makeMeans();
    const BeepWay way = beepWay(facts());
    switch (way) {
    case BeepWay::DesktopBell: m_xBell->ring(m_window, false); return;
    case BeepWay::ToolkitBeep: standIn(); return;
    case BeepWay::Notice: m_xBell->ring(m_window, true); return;
    case BeepWay::Nothing: return;
    case BeepWay::SoundAndNotice: m_xBell->ring(m_window, true); break;
    case BeepWay::Sound:
    case BeepWay::SoundThenNotice: break;
    }
    std::string xid;
    if (m_xBell && m_window->window()->internalWinId())
        xid = std::to_string(m_window->window()->internalWinId());
    // Settled on the window's thread through the player, the bell's child: the bell is still there.
    m_player->play(xid, [this, way](bool played) { settle(way, played); });
}

void SystemBell::settle(BeepWay way, bool played)
{
    if (!played)
        standIn();
    else if (way == BeepWay::SoundThenNotice && m_xBell)
        m_xBell->ring(m_window, true);
}

void SystemBell::standIn()
{
    if (m_xBell)
        m_xBell->ring(m_window, false);
    else if (!m_waylandBell || !m_waylandBell->ring())
        QApplication::beep();
}
