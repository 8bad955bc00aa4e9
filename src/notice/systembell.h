#pragma once

class QWidget;

// The system beep, rung for a window: one audible sound for each call, and on X11 one bell
// notification of the keyboard extension for each, so that visual bells follow it.
//  - X11 with the server's audible bell switched off: a desktop has taken the bell over and
//    plays it with its own settings; the window rings the X bell and nothing else.
//  - Otherwise: the desktop's event sound "bell-window-system", played through the sound
//    server with the window's and the application's properties (on X11 with an X bell that
//    only notifies).
//  - Where no sound can be played (no sound library, no sound server or one that fails or
//    hangs): the toolkit's own beep, decided once and silently.
// Returns at once: the sound library is loaded at the first beep and plays on a thread of its
// own; a beep that cannot start within about a second is dropped, and the program's end never
// waits for the sound server.
void ringSystemBell(QWidget *window);
