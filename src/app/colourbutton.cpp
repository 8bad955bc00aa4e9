#include "app/colourbutton.h"

#include "surface/bevel.h"

#include <QButtonGroup>
#include <QPainter>
#include <QStyleOptionFocusRect>

ColourButton::ColourButton(const QString &name, QRgb face, QWidget *parent)
    : QPushButton(parent), m_face(face)
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Tab enters a group of option buttons at its selected one; the arrow keys move within it.
    connect(this, &QAbstractButton::toggled, this, [this](bool selected) {
        if (!selected || !group())
            return;
        for (QAbstractButton *b : group()->buttons())
            b->setFocusPolicy(Qt::FocusPolicy(b == this ? b->focusPolicy() | Qt::TabFocus
                                                        : b->focusPolicy() & ~Qt::TabFocus));
    });
}

void ColourButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all.adjusted(2, 2, -2, -2), QColor(m_face));

    const bool down = isDown() || isChecked();
    const QColor outerLight = down ? Qt::black : Qt::white;
    const QColor innerLight = down ? QColor(128, 128, 128) : QColor(227, 227, 227);
    const QColor innerDark = down ? QColor(227, 227, 227) : QColor(128, 128, 128);
    const QColor outerDark = down ? Qt::white : Qt::black;
    drawBevel(painter, all, outerLight, innerLight, outerDark, innerDark);

    const QRect inner = all.adjusted(3, 3, -3, -3).translated(down ? 1 : 0, down ? 1 : 0);
    if (!text().isEmpty()) {
        painter.setPen(Qt::black);
        painter.setFont(font());
        painter.drawText(inner, Qt::AlignCenter | Qt::TextDontClip, text());
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = inner.adjusted(1, 1, -1, -1);
        option.backgroundColor = QColor(m_face);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
