#include "surface/disc.h"

#include <algorithm>
#include <cmath>

QRect stampDisc(QImage &image, QPointF centre, double radius, QRgb fill, QRgb outline)
{
    const double cx = centre.x();
    const double cy = centre.y();
    const double r = std::fabs(radius);
    const int w = image.width();
    const int h = image.height();
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r))
        return QRect();
    if (cx + r < -1 || cy + r < -1 || cx - r > w + 1 || cy - r > h + 1)
        return QRect();

    const int top = int(std::floor(cy - r - 0.5));
    const int bottom = int(std::ceil(cy + r + 0.5));
    const int centreCol = int(std::floor(cx));
    const int centreRow = int(std::floor(cy));
    // Span of row j, or an empty span (left > right).
    auto span = [&](int j, int &left, int &right) {
        const double dy = j + 0.5 - cy;
        const double d2 = r * r - dy * dy;
        left = 1;
        right = 0;
        if (d2 >= 0) {
            const double half = std::sqrt(d2);
            left = int(std::ceil(cx - half - 0.5));
            right = int(std::floor(cx + half - 0.5));
        }
        if (j == centreRow) {
            if (left > right)
                left = right = centreCol;
            left = std::min(left, centreCol);
            right = std::max(right, centreCol);
        }
    };

    const bool outlined = outline != fill;
    const int firstRow = std::max(top, 0);
    const int lastRow = std::min(bottom, h - 1);
    int upLeft, upRight, left, right, downLeft, downRight;
    span(firstRow - 1, upLeft, upRight);
    span(firstRow, left, right);
    int dirtyLeft = w, dirtyRight = -1, dirtyTop = h, dirtyBottom = -1;
    for (int j = firstRow; j <= lastRow; ++j) {
        span(j + 1, downLeft, downRight);
        const int from = std::max(left, 0);
        const int to = std::min(right, w - 1);
        if (from <= to) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(j));
            std::fill(line + from, line + to + 1, fill);
            if (outlined) {
                for (int i = from; i <= to; ++i) {
                    if (i == left || i == right || i < upLeft || i > upRight || i < downLeft ||
                        i > downRight)
                        line[i] = outline;
                }
            }
            dirtyLeft = std::min(dirtyLeft, from);
            dirtyRight = std::max(dirtyRight, to);
            dirtyTop = std::min(dirtyTop, j);
            dirtyBottom = j;
        }
        upLeft = left;
        upRight = right;
        left = downLeft;
        right = downRight;
    }
    if (dirtyRight < 0)
        return QRect();
    return QRect(QPoint(dirtyLeft, dirtyTop), QPoint(dirtyRight, dirtyBottom));
}
