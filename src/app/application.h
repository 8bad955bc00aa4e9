#pragma once

// Settings of the application object that the window relies on: font stand-ins and the
// delivery of every mouse move. Call once, after the QApplication is constructed.
void prepareApplication();
