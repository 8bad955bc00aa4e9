#include "notice/messageline.h"

#include "surface/drawingsurface.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QTimer>

void MessageLine::announce()
{
    // Screen readers read out a notification as it comes into view. The line itself stays in
    // view, so each notice is reported as such an appearance.
    QAccessibleEvent event(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&event);
}

// A press is taken here, so that the drag that follows stays with the line.
void MessageLine::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void MessageLine::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    Q_EMIT mouseMoved(buttonState(event), shiftState(event),
                      float(pos.x() * DrawingSurface::TwipsPerPixel),
                      float(pos.y() * DrawingSurface::TwipsPerPixel));
}

void setTimerInterval(QTimer *timer, int milliseconds)
{
    if (milliseconds == 0)
        timer->stop();
    else
        timer->start(milliseconds);
}
