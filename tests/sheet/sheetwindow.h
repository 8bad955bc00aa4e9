#pragma once

// The test window shown at once, for the tests of the sheet and the picture file.

#include "testwindow.h"

struct SheetWindow : TestWindow {
    SheetWindow() { exposed = show(); }
    bool exposed = false;
};
