#pragma once

#include <QAccessible>

class QWidget;

// Teaches Qt's accessibility layer the kinds of control that only this window has: the
// window itself, the canvas and the side panel, the group panels and the message line.
// Call once, after the QApplication is constructed.
void installAccessibility();

// A control that is heard as another kind than its class's, as the side panel that only plays
// its circles. Set before the control is first asked for.
void setAccessibleRole(QWidget *widget, QAccessible::Role role);
