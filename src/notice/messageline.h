#pragma once

#include <QLabel>

// The message line along the bottom of the window. Assistive technology hears it as a
// notification and reads out each notice the moment it appears.
class MessageLine final : public QLabel {
    Q_OBJECT
public:
    // Built without text: a label's first text is already reported to assistive technology,
    // and the line must be known by its own kind from then on.
    explicit MessageLine(QWidget *parent) : QLabel(parent) {}

    // Tells assistive technology that the text now shown is a new notice.
    void announce();
};
