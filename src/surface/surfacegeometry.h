#pragma once

#include <QPointF>
#include <QRect>
#include <QTransform>

// Where a drawing surface lies on the screen, and the four kinds of place on it: twips from the
// client area's corner (15 to a logical pixel), logical pixels of the widget, device pixels of
// its window, and pixels of the drawing layer, which has the device pixels of the scale it was
// built at and lies at the client area's corner.
class SurfaceGeometry {
public:
    static constexpr double TwipsPerPixel = 15.0;

    // The widget's rectangle in its window's logical pixels, the window's device pixel ratio and
    // the border's width in logical pixels, half of it for each of its two edges.
    SurfaceGeometry(const QRect &inWindow, qreal ratio, int border);

    qreal ratio() const { return m_ratio; }
    // In device pixels of the window.
    QRect outer() const { return m_outer; }
    int edge() const { return m_edge; }
    QRect client() const
    {
        return m_outer.adjusted(2 * m_edge, 2 * m_edge, -2 * m_edge, -2 * m_edge);
    }
    QSize layerSize() const { return client().size().expandedTo(QSize(0, 0)); }

    // A rectangle of the widget as the device pixels of the window it covers.
    QRect toDevice(const QRect &logical) const;
    // A rectangle of a layer built at layerRatio as the smallest rectangle of the widget that
    // covers it on the screen.
    QRect toLogical(const QRect &layer, qreal layerRatio) const;
    // A place in the window, in logical pixels (which Qt keeps to the screen's pixel), as twips
    // from the client area's corner: where a disc then lands under it.
    QPointF toTwips(const QPointF &inWindow) const;
    // From the window's device pixels to the widget's logical ones, for a painter that fills
    // whole device pixels.
    QTransform fromDevice() const
    {
        return QTransform(1 / m_ratio, 0, 0, 1 / m_ratio, -m_origin.x(), -m_origin.y());
    }
    // Twips as pixels of a layer built at layerRatio.
    static double toLayer(double twips, qreal layerRatio)
    {
        return twips * layerRatio / TwipsPerPixel;
    }

private:
    qreal m_ratio;
    QPoint m_origin; // the widget's corner in the window, logical pixels
    QRect m_outer;
    int m_edge; // device pixels across each of the border's two edges
};
