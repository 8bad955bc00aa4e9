#pragma once

// Settings of the application object that the window relies on: font stand-ins, the
// delivery of every mouse move, and what assistive technology is told about the controls.
// Call once, after the QApplication is constructed.
void prepareApplication();
