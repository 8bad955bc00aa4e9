#include "notice/beepway.h"

BeepWay beepWay(const BellFacts &facts)
{
    // A bare X server whose own bell is off: a desktop took the bell over and plays it.
    if (facts.xkb && !facts.xwayland && !facts.audibleBell)
        return BeepWay::DesktopBell;
    // Where the program would sound the beep itself, the desktop's switch has the last word; a
    // visual bell still follows the X bell's notification.
    if (!facts.alertSounds)
        return facts.xkb && !facts.xwayland ? BeepWay::Notice : BeepWay::Nothing;
    if (facts.player == PlayerState::Stuck || facts.player == PlayerState::Silent)
        return BeepWay::ToolkitBeep;
    // On Xwayland no bell notification goes out at all: a compositor may sound it, a second time.
    if (!facts.xkb || facts.xwayland)
        return BeepWay::Sound;
    return facts.player == PlayerState::Played ? BeepWay::SoundAndNotice : BeepWay::SoundThenNotice;
}
