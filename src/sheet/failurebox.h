#pragma once

#include "sheet/failure.h"

#include <QString>

class QWidget;

// Tells the user that a keep or a reopen failed: one line on standard error and a modal box
// over the window, shown without a nested event loop so that the handler ends at once.
void showFailure(QWidget *window, picturefile::Action action, const QString &path,
                 const picturefile::Failure &failure);

// What the box says: one sentence in the window's language, whatever the locale, naming the
// action, the file and why.
QString failureMessage(picturefile::Action action, const QString &path,
                       const picturefile::Failure &failure);
