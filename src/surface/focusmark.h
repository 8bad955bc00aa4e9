#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

#include <algorithm>

// The mark of the keyboard focus: a one-pixel ring just inside rect in short dashes of black
// and white (or another light colour), so that one of the two shows on any colour beneath it
// and that colour itself is left as it is between them. Filled as whole pixels, like the bevels.
// Only the dashes that reach into dirty are drawn: a canvas repaints a stamp's few pixels
// many times a second, and the whole ring would cost ten times the stamp.
inline void drawFocusMark(QPainter &painter, const QRect &rect, const QColor &light = Qt::white,
                          const QRect &dirty = QRect())
{
    constexpr int Dash = 2;
    const QRect area = dirty.isNull() ? rect : dirty;
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    const QColor dark = Qt::black;
    auto colour = [&](int step) { return (step / Dash) % 2 ? light : dark; };
    // The first dash that reaches into the area, counted from the ring's own start.
    auto first = [](int start, int from) {
        return start + std::max(0, from - start) / Dash * Dash;
    };
    const bool top = area.top() <= t && t <= area.bottom();
    const bool bottom = area.top() <= b && b <= area.bottom();
    for (int x = first(l, area.left()); x <= std::min(r, area.right()); x += Dash) {
        const int w = std::min(Dash, r - x + 1);
        if (top)
            painter.fillRect(QRect(x, t, w, 1), colour(x - l));
        if (bottom)
            painter.fillRect(QRect(x, b, w, 1), colour(x - l));
    }
    const bool left = area.left() <= l && l <= area.right();
    const bool right = area.left() <= r && r <= area.right();
    if (!left && !right)
        return;
    for (int y = first(t + 1, area.top()); y < b && y <= area.bottom(); y += Dash) {
        const int h = std::min(Dash, b - y);
        if (left)
            painter.fillRect(QRect(l, y, 1, h), colour(y - t));
        if (right)
            painter.fillRect(QRect(r, y, 1, h), colour(y - t));
    }
}
