#include "notice/messageline.h"

#include <QAccessible>

void MessageLine::announce()
{
    // Screen readers read out a notification as it comes into view. The line itself stays in
    // view, so each notice is reported as such an appearance.
    QAccessibleEvent event(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&event);
}
