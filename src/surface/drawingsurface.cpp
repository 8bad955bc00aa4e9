#include "surface/drawingsurface.h"

#include "surface/bevel.h"
#include "surface/focusmark.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

DrawingSurface::DrawingSurface(QWidget *parent) : QWidget(parent)
{
    // The surface paints every pixel of itself, so Qt need not fill it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

// A colour value holds red in its lowest byte.
QRgb DrawingSurface::toPixel(std::int32_t colourValue)
{
    return qRgb(colourValue & 0xff, (colourValue >> 8) & 0xff, (colourValue >> 16) & 0xff);
}

void DrawingSurface::setBackColor(std::int32_t colourValue)
{
    m_backColor = colourValue;
    eraseLayer();
}

void DrawingSurface::clear()
{
    eraseLayer();
}

// The picture is shown one of its pixels to one of the screen's.
void DrawingSurface::setPicture(const QImage &picture)
{
    m_picture = picture;
    eraseLayer();
}

// Qt sends a hidden widget's resize only when it is first shown; the layer is built as soon
// as the geometry is set, so what is drawn before the window shows is kept.
void DrawingSurface::resizeEvent(QResizeEvent *)
{
    if (m_image.isNull() || m_image.size() != layerSize(m_layerRatio))
        eraseLayer();
}

namespace {

// Logical pixels (and so twips) meet device pixels at the nearest edge between them, a half
// going right and down: the rule by which Qt itself fills a widget at a fractional scale.
int toDeviceEdge(qreal logical, qreal ratio)
{
    return int(std::floor(logical * ratio + 0.5));
}

} // namespace

DrawingSurface::Pixels DrawingSurface::pixels(qreal ratio) const
{
    Pixels px;
    px.ratio = ratio;
    px.logicalOrigin = mapTo(window(), QPoint());
    const QPoint from = px.logicalOrigin;
    const QPoint to = from + QPoint(width(), height());
    px.outer = QRect(QPoint(toDeviceEdge(from.x(), ratio), toDeviceEdge(from.y(), ratio)),
                     QPoint(toDeviceEdge(to.x(), ratio) - 1, toDeviceEdge(to.y(), ratio) - 1));
    px.edge = std::max(1, toDeviceEdge(Border / 2, ratio));
    return px;
}

// A rectangle of the widget, in logical pixels, as the device pixels of the window it covers.
QRect DrawingSurface::toDevice(const Pixels &px, const QRect &logical) const
{
    const QRectF r = QRectF(logical.translated(px.logicalOrigin));
    const int left = int(std::floor(r.left() * px.ratio));
    const int top = int(std::floor(r.top() * px.ratio));
    const int right = int(std::ceil(r.right() * px.ratio));
    const int bottom = int(std::ceil(r.bottom() * px.ratio));
    return QRect(left, top, right - left, bottom - top);
}

// A rectangle of the layer as the smallest rectangle of the widget, in logical pixels, that
// covers it on the screen.
QRect DrawingSurface::toLogical(const Pixels &px, const QRect &layer) const
{
    const qreal k = px.ratio / m_layerRatio;
    const QPointF device = QPointF(px.client().topLeft()) + QPointF(layer.topLeft()) * k;
    const QPointF from = device / px.ratio - QPointF(px.logicalOrigin);
    const QPointF to = from + QPointF(layer.width(), layer.height()) * (k / px.ratio);
    const QPoint topLeft(int(std::floor(from.x())), int(std::floor(from.y())));
    const QPoint bottomRight(int(std::ceil(to.x())), int(std::ceil(to.y())));
    return QRect(topLeft, bottomRight - QPoint(1, 1));
}

QSize DrawingSurface::layerSize(qreal ratio) const
{
    return pixels(ratio).client().size().expandedTo(QSize(0, 0));
}

void DrawingSurface::eraseLayer()
{
    rebuildLayer();
    update();
}

// Rebuilds the composite from the background colour and picture, in the device pixels of the
// screen the surface is on; what was drawn is gone.
void DrawingSurface::rebuildLayer()
{
    m_layerRatio = devicePixelRatioF();
    const QSize client = layerSize(m_layerRatio);
    if (m_image.size() != client)
        m_image = QImage(client, QImage::Format_RGB32);
    m_image.fill(toPixel(m_backColor));
    if (!m_picture.isNull()) {
        QPainter painter(&m_image);
        painter.drawImage(0, 0, m_picture);
    }
    m_plain = m_picture.isNull();
}

// A window moved to a screen of another scale keeps its layer as it is, pixel for pixel, until
// it is next erased; only a layer with nothing on it yet takes the new screen's pixels at once.
void DrawingSurface::followScreen()
{
    if (m_plain && m_layerRatio != devicePixelRatioF())
        rebuildLayer();
}

// A disc is the set of pixels whose centres lie within the radius, and always the pixel under
// the centre, so that the smallest brush leaves a mark. Its outline is every pixel of the disc
// with a side on a pixel outside it. Drawn without antialiasing, in the layer's device pixels:
// 15 twips to one at scale 1, 7.5 at scale 2. Neither the centre nor the radius is rounded.
void DrawingSurface::circle(float x, float y, float radius)
{
    followScreen();
    const double cx = double(x) * m_layerRatio / TwipsPerPixel;
    const double cy = double(y) * m_layerRatio / TwipsPerPixel;
    const double r = std::fabs(double(radius)) * m_layerRatio / TwipsPerPixel;
    const int w = m_image.width();
    const int h = m_image.height();
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r))
        return;
    if (cx + r < -1 || cy + r < -1 || cx - r > w + 1 || cy - r > h + 1)
        return;

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

    const bool outlined = m_outline != m_fill;
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
            QRgb *line = reinterpret_cast<QRgb *>(m_image.scanLine(j));
            std::fill(line + from, line + to + 1, m_fill);
            if (outlined) {
                for (int i = from; i <= to; ++i) {
                    if (i == left || i == right || i < upLeft || i > upRight || i < downLeft ||
                        i > downRight)
                        line[i] = m_outline;
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
        return;
    m_plain = false;
    // Stamps that come faster than the event loop turns are repainted together.
    update(toLogical(pixels(), QRect(dirtyLeft, dirtyTop, dirtyRight - dirtyLeft + 1,
                                     dirtyBottom - dirtyTop + 1)));
}

// Painted in the window's device pixels, so that the layer lands one pixel to one on the
// screen and the border's edges are whole pixels at every scale.
void DrawingSurface::paintEvent(QPaintEvent *event)
{
    followScreen();
    const Pixels px = pixels();
    QPainter painter(this);
    painter.save();
    painter.setWorldTransform(
        QTransform(1 / px.ratio, 0, 0, 1 / px.ratio, -px.logicalOrigin.x(), -px.logicalOrigin.y()));
    const QRect dirty = toDevice(px, event->rect());
    paintLayer(painter, px, dirty & px.client());
    // A sunken border: dark grey and black above and left, white and light grey below and right.
    if (!px.client().contains(dirty))
        drawBevel(painter, px.outer, QColor(128, 128, 128), Qt::black, Qt::white,
                  QColor(192, 192, 192), px.edge);
    painter.restore();
    // With the focus, the border's inner edge is dashed; the picture inside stays whole.
    if (hasFocus())
        drawFocusMark(painter, rect().adjusted(1, 1, -1, -1), QColor(192, 192, 192), event->rect());
}

// The layer where it meets the screen pixel for pixel; after a move to a screen of another
// scale, stretched or shrunk to the same place in twips, and the background colour where it
// falls short.
void DrawingSurface::paintLayer(QPainter &painter, const Pixels &px, const QRect &dirty)
{
    if (dirty.isEmpty())
        return;
    const QRect client = px.client();
    if (m_layerRatio == px.ratio && m_image.size() == client.size()) {
        painter.drawImage(dirty.topLeft(), m_image, dirty.translated(-client.topLeft()));
        return;
    }
    const qreal k = px.ratio / m_layerRatio;
    const QRectF shown(client.topLeft(), QSizeF(m_image.size()) * k);
    painter.save();
    painter.setClipRect(dirty);
    painter.fillRect(dirty, QColor::fromRgb(toPixel(m_backColor)));
    painter.drawImage(shown, m_image);
    painter.restore();
}

// A press is taken here, so that the drag that follows stays with this surface.
void DrawingSurface::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

// The pointer's place in the device pixels of the window, from the client area's corner, in
// twips: where the disc then lands under it. Taken from the place in the window, which Qt
// keeps to the screen's pixel; the place in the widget is rounded to a whole logical pixel.
void DrawingSurface::mouseMoveEvent(QMouseEvent *event)
{
    const Pixels px = pixels();
    const QPointF device = event->scenePosition() * px.ratio - px.client().topLeft();
    const QPointF twips = device * (TwipsPerPixel / px.ratio);
    Q_EMIT mouseMoved(buttonState(event), shiftState(event), float(twips.x()), float(twips.y()));
}

std::int16_t buttonState(const QMouseEvent *event)
{
    return std::int16_t(
        (event->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)).toInt());
}

std::int16_t shiftState(const QMouseEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    return std::int16_t((mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0) |
                        (mods & Qt::AltModifier ? 4 : 0));
}
