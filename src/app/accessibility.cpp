#include "app/accessibility.h"

#include "app/grouppanel.h"
#include "notice/messageline.h"
#include "surface/drawingsurface.h"

#include <QAccessibleWidget>

namespace {

constexpr char roleProperty[] = "accessibleRole";

// A drawing surface is painted on, unless it says it is something else. Asked each time, as the
// interface may be made before the control says so.
class SurfaceAccessible final : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(QWidget *surface) : QAccessibleWidget(surface) {}
    QAccessible::Role role() const override
    {
        const QVariant role = widget()->property(roleProperty);
        return role.isValid() ? QAccessible::Role(role.toInt()) : QAccessible::Canvas;
    }
};

// A notification whose name is the notice on the line.
class MessageLineAccessible final : public QAccessibleWidget {
public:
    explicit MessageLineAccessible(MessageLine *line)
        : QAccessibleWidget(line, QAccessible::Notification)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *controlInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("frmMain"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    if (className == QLatin1String("DrawingSurface"))
        return new SurfaceAccessible(static_cast<QWidget *>(object));
    if (className == QLatin1String("GroupPanel"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Grouping);
    if (className == QLatin1String("MessageLine"))
        return new MessageLineAccessible(static_cast<MessageLine *>(object));
    return nullptr;
}

} // namespace

void setAccessibleRole(QWidget *widget, QAccessible::Role role)
{
    widget->setProperty(roleProperty, int(role));
}

void installAccessibility()
{
    QAccessible::installFactory(controlInterface);
}
