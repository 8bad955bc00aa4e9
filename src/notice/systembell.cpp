#include "notice/systembell.h"

#include "notice/beepway.h"
#include "notice/soundplayer.h"
#include "notice/xbell.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace {

// The bell's two means, made at the first beep: nothing of the sound is loaded before it.
struct {
    QPointer<XBell> xBell;
    QPointer<SoundPlayer> player;
} bell;

void makeBell(QWidget *window)
{
    bell.xBell = XBell::create(QCoreApplication::instance());
    SoundPlayer::Identity identity;
    identity.applicationName = window->window()->windowTitle().toStdString();
    identity.applicationId = QGuiApplication::desktopFileName().toStdString();
    if (bell.xBell)
        identity.x11Display = qEnvironmentVariable("DISPLAY").toStdString();
    bell.player = new SoundPlayer(std::move(identity), QCoreApplication::instance());
}

} // namespace

void ringSystemBell(QWidget *window)
{
    if (!bell.player)
        makeBell(window);
    BellFacts facts;
    if (bell.xBell) {
        facts.xkb = true;
        facts.xwayland = bell.xBell->xwayland();
        facts.audibleBell = bell.xBell->audible();
    }
    facts.player = bell.player->state();
    const BeepWay way = beepWay(facts);
    switch (way) {
    case BeepWay::DesktopBell: bell.xBell->ring(window, false); return;
    case BeepWay::ToolkitBeep: QApplication::beep(); return;
    case BeepWay::SoundAndNotice: bell.xBell->ring(window, true); break;
    case BeepWay::Sound:
    case BeepWay::SoundThenNotice: break;
    }
    std::string xid;
    if (bell.xBell && window->window()->internalWinId())
        xid = std::to_string(window->window()->internalWinId());
    // What the beep still owes once its sound has been tried.
    bell.player->play(xid, [way, window = QPointer<QWidget>(window),
                            xBell = QPointer<XBell>(bell.xBell)](bool played) {
        if (!played)
            QApplication::beep();
        else if (way == BeepWay::SoundThenNotice && xBell)
            xBell->ring(window, true);
    });
}
