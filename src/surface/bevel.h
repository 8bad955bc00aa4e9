#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

// A two-pixel bevel just inside rect: an outer and an inner edge above and left, and an outer
// and an inner edge below and right. Each edge is filled as a row or column of whole pixels
// rather than stroked: a stroke is centred on the pixel's corner and lands half a pixel off on
// a screen scaled up.
inline void drawBevel(QPainter &painter, const QRect &rect, const QColor &outerTopLeft,
                      const QColor &innerTopLeft, const QColor &outerBottomRight,
                      const QColor &innerBottomRight)
{
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    auto edge = [&painter](int x1, int y1, int x2, int y2, const QColor &colour) {
        painter.fillRect(QRect(QPoint(x1, y1), QPoint(x2, y2)), colour);
    };
    edge(l, t, r - 1, t, outerTopLeft);
    edge(l, t, l, b - 1, outerTopLeft);
    edge(l + 1, t + 1, r - 2, t + 1, innerTopLeft);
    edge(l + 1, t + 1, l + 1, b - 2, innerTopLeft);
    edge(l, b, r, b, outerBottomRight);
    edge(r, t, r, b, outerBottomRight);
    edge(l + 1, b - 1, r - 1, b - 1, innerBottomRight);
    edge(r - 1, t + 1, r - 1, b - 1, innerBottomRight);
}
