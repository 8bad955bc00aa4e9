#include "surface/surfacegeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Logical pixels (and so twips) meet device pixels at the nearest edge between them, a half
// going right and down: the rule by which Qt itself fills a widget at a fractional scale.
int toDeviceEdge(qreal logical, qreal ratio)
{
    return int(std::floor(logical * ratio + 0.5));
}

} // namespace

SurfaceGeometry::SurfaceGeometry(const QRect &inWindow, qreal ratio, int border)
    : m_ratio(ratio),
      m_origin(inWindow.topLeft()),
      m_outer(QPoint(toDeviceEdge(inWindow.left(), ratio), toDeviceEdge(inWindow.top(), ratio)),
              QPoint(toDeviceEdge(inWindow.left() + inWindow.width(), ratio) - 1,
                     toDeviceEdge(inWindow.top() + inWindow.height(), ratio) - 1)),
      m_edge(std::max(1, toDeviceEdge(border / 2, ratio)))
{
}

QRect SurfaceGeometry::toDevice(const QRect &logical) const
{
    const QRectF r = QRectF(logical.translated(m_origin));
    const int left = int(std::floor(r.left() * m_ratio));
    const int top = int(std::floor(r.top() * m_ratio));
    const int right = int(std::ceil(r.right() * m_ratio));
    const int bottom = int(std::ceil(r.bottom() * m_ratio));
    return QRect(left, top, right - left, bottom - top);
}

QRect SurfaceGeometry::toLogical(const QRect &layer, qreal layerRatio) const
{
    const qreal k = m_ratio / layerRatio;
    const QPointF device = QPointF(client().topLeft()) + QPointF(layer.topLeft()) * k;
    const QPointF from = device / m_ratio - QPointF(m_origin);
    const QPointF to = from + QPointF(layer.width(), layer.height()) * (k / m_ratio);
    const QPoint topLeft(int(std::floor(from.x())), int(std::floor(from.y())));
    const QPoint bottomRight(int(std::ceil(to.x())), int(std::ceil(to.y())));
    return QRect(topLeft, bottomRight - QPoint(1, 1));
}

QPointF SurfaceGeometry::toTwips(const QPointF &inWindow) const
{
    const QPointF device = inWindow * m_ratio - QPointF(client().topLeft());
    return device * (TwipsPerPixel / m_ratio);
}
