#pragma once

// Settings of the application object that the window relies on: font stand-ins, the
// delivery of every mouse move, and what assistive technology is told about the controls.
// Call once, after the QApplication is constructed.
void prepareApplication();

// The start of the real program leaves out what Qt would load at start that this window never
// uses. Each is only a default: what the user (or a test) has set in the environment wins.
// Call before the QApplication is constructed.
void setStartupDefaults();

// Keeps D-Bus from launching a session bus of its own when there is none and nothing asks for
// accessibility. Call after the QApplication is constructed, before the window is built.
void skipSessionBusLaunch();
