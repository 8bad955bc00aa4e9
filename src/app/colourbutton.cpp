#include "app/colourbutton.h"

#include "surface/bevel.h"
#include "surface/focusmark.h"

#include <QButtonGroup>
#include <QPainter>

ColourButton::ColourButton(const QString &name, QRgb face, QWidget *parent)
    : QPushButton(parent),
      m_face(face)
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
    const QRect face = all.adjusted(Edge, Edge, -Edge, -Edge);
    painter.fillRect(face, QColor(m_face));

    const bool down = isDown() || isChecked();
    const QColor outerLight = down ? Qt::black : Qt::white;
    const QColor innerLight = down ? QColor(128, 128, 128) : QColor(227, 227, 227);
    const QColor innerDark = down ? QColor(227, 227, 227) : QColor(128, 128, 128);
    const QColor outerDark = down ? Qt::white : Qt::black;
    drawBevel(painter, all, outerLight, innerLight, outerDark, innerDark);

    // A selected button sits deep in a white and a black ring: on any face, also black or
    // white, one of them stands out, and the face's own colour is left in the middle.
    int mark = Edge + 1;
    if (isChecked()) {
        drawBevel(painter, face, Qt::white, Qt::black, Qt::white, Qt::black, Ring);
        mark = Edge + 2 * Ring + 1;
    }
    if (hasFocus())
        drawFocusMark(painter, all.adjusted(mark, mark, -mark, -mark));

    if (!text().isEmpty()) {
        const QRect inner = all.adjusted(3, 3, -3, -3).translated(down ? 1 : 0, down ? 1 : 0);
        painter.setFont(font());
        // Where the caption crosses the rings ("極太" fills the whole face), a rim of the face's
        // colour keeps its strokes apart from the black ring.
        if (isChecked()) {
            painter.setPen(QColor(m_face));
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    painter.drawText(inner.translated(dx, dy), Qt::AlignCenter | Qt::TextDontClip,
                                     text());
        }
        painter.setPen(Qt::black);
        painter.drawText(inner, Qt::AlignCenter | Qt::TextDontClip, text());
    }
}
