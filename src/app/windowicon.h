#pragma once

#include <QIcon>

// The window's own icon: a red pencil lying diagonally, its point at the top-left, at 16 and
// 32 pixels.
QIcon pencilIcon();
