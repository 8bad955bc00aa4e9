#pragma once

// Which way a beep goes, from what is known when it is rung. Each beep must be heard exactly
// once, so the way is taken from what can be known for sure: whether the display is an X server
// and whether it is Xwayland, the server's own AudibleBell control, the desktop's switch for alert
// sounds, and how the sound player is doing. Whether a desktop turns an X bell notification into a
// sound cannot be known: mutter does, even for a bell that only notifies, with AudibleBell on;
// kaccess switches AudibleBell off and sounds nothing.
enum class BeepWay {
    DesktopBell,     // the X bell alone: a desktop has taken it over and sounds it
    ToolkitBeep,     // the desktop's own bell alone, as it stands in for a sound: no sound
                     // can be played now
    Sound,           // the program's sound, or the desktop's own bell should it not play
    SoundAndNotice,  // the program's sound, and the X bell as a notification at once
    SoundThenNotice, // the program's sound, then the X bell as a notification once it has
                     // played, or the X bell itself should it not play
    Notice,          // the X bell as a notification alone: the desktop's alert sounds are off
    Nothing,         // no sound and no X bell to notify: the desktop's alert sounds are off
};

// How the sound player is doing.
enum class PlayerState {
    Ready,  // a sound may be tried; none has played on its present connection yet
    Played, // a sound has played on its present connection
    Stuck,  // held up by the sound server for longer than a beep may wait
    Silent, // no sound library, or the sound server failed lately and is not met afresh yet
};

struct BellFacts {
    bool xkb = false;         // an X server with the keyboard extension
    bool xwayland = false;    // that server is Xwayland, which never sounds a bell itself
    bool audibleBell = false; // the server's AudibleBell control
    bool alertSounds = true;  // the desktop's switch for alert sounds (AlertSounds)
    PlayerState player = PlayerState::Ready;
};

BeepWay beepWay(const BellFacts &facts);
