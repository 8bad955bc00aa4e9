#include "app/colourbutton.h"

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
    const int r = all.right();
    const int b = all.bottom();
    painter.fillRect(all.adjusted(2, 2, -2, -2), QColor(m_face));

    const bool down = isDown() || isChecked();
    const QColor outerLight = down ? Qt::black : Qt::white;
    const QColor innerLight = down ? QColor(128, 128, 128) : QColor(227, 227, 227);
    const QColor innerDark = down ? QColor(227, 227, 227) : QColor(128, 128, 128);
    const QColor outerDark = down ? Qt::white : Qt::black;
    // Each edge is filled as a row or column of whole pixels rather than stroked: a stroke is
    // centred on the pixel's corner and lands half a pixel off on a screen scaled up.
    auto edge = [&painter](int x1, int y1, int x2, int y2, const QColor &colour) {
        painter.fillRect(QRect(QPoint(x1, y1), QPoint(x2, y2)), colour);
    };
    edge(0, 0, r - 1, 0, outerLight);
    edge(0, 0, 0, b - 1, outerLight);
    edge(1, 1, r - 2, 1, innerLight);
    edge(1, 1, 1, b - 2, innerLight);
    edge(0, b, r, b, outerDark);
    edge(r, 0, r, b, outerDark);
    edge(1, b - 1, r - 1, b - 1, innerDark);
    edge(r - 1, 1, r - 1, b - 1, innerDark);

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
