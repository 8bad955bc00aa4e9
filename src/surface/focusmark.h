#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

#include <algorithm>

// The mark of the keyboard focus: a one-pixel ring just inside rect in short dashes of black
// and white (or another light colour), so that one of the two shows on any colour beneath it
// and that colour itself is left as it is between them. Filled as whole pixels, like the bevels.
inline void drawFocusMark(QPainter &painter, const QRect &rect, const QColor &light = Qt::white)
{
    constexpr int Dash = 2;
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    const QColor dark = Qt::black;
    auto colour = [&](int step) { return (step / Dash) % 2 ? light : dark; };
    for (int x = l; x <= r; x += Dash) {
        const int w = std::min(Dash, r - x + 1);
        painter.fillRect(QRect(x, t, w, 1), colour(x - l));
        painter.fillRect(QRect(x, b, w, 1), colour(x - l));
    }
    for (int y = t + 1; y < b; y += Dash) {
        const int h = std::min(Dash, b - y);
        painter.fillRect(QRect(l, y, 1, h), colour(y - t));
        painter.fillRect(QRect(r, y, 1, h), colour(y - t));
    }
}
