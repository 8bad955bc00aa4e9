#pragma once

// What the program does before and while it connects to the display, apart from the window.

// The start of the real program leaves out what Qt would load at start that this window never
// uses. Each is only a default: what the user (or a test) has set in the environment wins.
// A write past the file-size limit fails with its reason rather than ending the program.
// Call before the QApplication is constructed.
void setStartupDefaults();

// While the application object connects to the display, Qt's own complaints are held back: if
// no display can be opened they would end in an abort with a core file, and the user is told so
// in one line instead, with exit status 1. If the display is there and Qt fails all the same,
// what Qt said is passed on, with exit status 1. Once connected, what was held is passed on.
void holdMessagesWhileConnecting();
void passOnHeldMessages();

// Keeps D-Bus from launching a session bus of its own when there is none and nothing asks for
// accessibility. Call before the QApplication is constructed.
void skipSessionBusLaunch();
