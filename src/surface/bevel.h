#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

// A bevel just inside rect: an outer and an inner edge above and left, and an outer and an
// inner edge below and right, each `width` pixels across. Each edge is filled as rows or
// columns of whole pixels rather than stroked: a stroke is centred on the pixel's corner and
// lands half a pixel off on a screen scaled up.
inline void drawBevel(QPainter &painter, const QRect &rect, const QColor &outerTopLeft,
                      const QColor &innerTopLeft, const QColor &outerBottomRight,
                      const QColor &innerBottomRight, int width = 1)
{
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    const int w = width;
    auto edge = [&painter](int x1, int y1, int x2, int y2, const QColor &colour) {
        painter.fillRect(QRect(QPoint(x1, y1), QPoint(x2, y2)), colour);
    };
    edge(l, t, r - w, t + w - 1, outerTopLeft);
    edge(l, t, l + w - 1, b - w, outerTopLeft);
    edge(l + w, t + w, r - 2 * w, t + 2 * w - 1, innerTopLeft);
    edge(l + w, t + w, l + 2 * w - 1, b - 2 * w, innerTopLeft);
    edge(l, b - w + 1, r, b, outerBottomRight);
    edge(r - w + 1, t, r, b, outerBottomRight);
    edge(l + w, b - 2 * w + 1, r - w, b - w, innerBottomRight);
    edge(r - 2 * w + 1, t + w, r - w, b - w, innerBottomRight);
}
