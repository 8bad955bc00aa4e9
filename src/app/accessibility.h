#pragma once

// Teaches Qt's accessibility layer the kinds of control that only this window has: the
// window itself, the canvas and the side panel, the group panels and the message line.
// Call once, after the QApplication is constructed.
void installAccessibility();
