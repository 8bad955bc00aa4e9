#pragma once

#include <QLabel>

#include <cstdint>

class QTimer;

// The message line along the bottom of the window. Assistive technology hears it as a
// notification and reads out each notice the moment it appears. A drag begun on it stays with
// it, and its moves are passed on in twips from its top-left corner.
class MessageLine final : public QLabel {
    Q_OBJECT
public:
    // Built without text: a label's first text is already reported to assistive technology,
    // and the line must be known by its own kind from then on.
    explicit MessageLine(QWidget *parent) : QLabel(parent) {}

    // Tells assistive technology that the text now shown is a new notice.
    void announce();

Q_SIGNALS:
    // Button state (1 left, 2 right, 4 middle), shift state, position in twips.
    void mouseMoved(std::int16_t button, std::int16_t shift, float x, float y);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};

// Interval 0 stops a timer; any other interval starts it anew from this moment.
void setTimerInterval(QTimer *timer, int milliseconds);
