#pragma once

class QWidget;

// The system beep, rung for a window: one audible sound for each call.
//  - A bare X server whose own bell is switched off: a desktop has taken the bell over and
//    plays it with its own settings; the window rings the X bell and nothing else.
//  - Otherwise: the desktop's event sound "bell-window-system", played through the sound
//    server with the window's and the application's properties. On a bare X server with an X
//    bell that only notifies, so that visual bells follow it; on Xwayland with no X bell at
//    all, since a compositor may sound that too.
//  - Where no sound can be played (no sound library, no sound server or one that fails or
//    hangs): the toolkit's own beep, until a sound server answers again.
// Returns at once: the sound is played on a thread of its own; a beep that cannot start within
// about a second is dropped, and the program's end never waits for the sound server.
void ringSystemBell(QWidget *window);
