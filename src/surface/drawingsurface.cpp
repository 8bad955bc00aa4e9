#include "surface/drawingsurface.h"

#include "surface/bevel.h"
#include "surface/disc.h"
#include "surface/focusmark.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>
#include <cmath>
#include <utility>

DrawingSurface::DrawingSurface(QWidget *parent) : QWidget(parent)
{
    // The surface paints every pixel of itself, so Qt need not fill it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // Stamps are put on the screen as the event loop turns: when it wakes, and before it waits.
    m_loop = QAbstractEventDispatcher::instance();
    if (m_loop) {
        connect(m_loop, &QAbstractEventDispatcher::awake, this, &DrawingSurface::showStamps);
        connect(m_loop, &QAbstractEventDispatcher::aboutToBlock, this, &DrawingSurface::showStamps);
    }
}

// A surface gone in the middle of a stroke leaves the window system's events as they were.
DrawingSurface::~DrawingSurface()
{
    holdStroke(false);
}

// What was stamped since the last turn of the event loop, repainted and flushed to the screen in
// one go. Asking Qt to repaint it later (update) would post a request that wakes the loop for a
// second pass on every pointer motion.
void DrawingSurface::showStamps()
{
    if (m_stamped.isEmpty())
        return;
    const QRegion stamped = std::exchange(m_stamped, QRegion());
    repaint(stamped);
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
    if (m_image.isNull() || m_image.size() != place(m_layerRatio).layerSize())
        eraseLayer();
}

SurfaceGeometry DrawingSurface::place(qreal ratio) const
{
    return SurfaceGeometry(QRect(mapTo(window(), QPoint()), size()), ratio, Border);
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
    const QSize client = place(m_layerRatio).layerSize();
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

// Drawn in the layer's device pixels: 15 twips to one at scale 1, 7.5 at scale 2.
void DrawingSurface::circle(float x, float y, float radius)
{
    followScreen();
    const QPointF centre(SurfaceGeometry::toLayer(x, m_layerRatio),
                         SurfaceGeometry::toLayer(y, m_layerRatio));
    const QRect touched = stampDisc(m_image, centre, SurfaceGeometry::toLayer(radius, m_layerRatio),
                                    m_fill, m_outline);
    if (touched.isEmpty())
        return;
    m_plain = false;
    // Stamps that come faster than the event loop turns are repainted together.
    const QRect shown = place().toLogical(touched, m_layerRatio);
    if (m_loop)
        m_stamped += shown;
    else
        update(shown);
}

// Painted in the window's device pixels, so that the layer lands one pixel to one on the
// screen and the border's edges are whole pixels at every scale.
void DrawingSurface::paintEvent(QPaintEvent *event)
{
    followScreen();
    const SurfaceGeometry px = place();
    QPainter painter(this);
    painter.setWorldTransform(px.fromDevice());
    const QRect dirty = px.toDevice(event->rect());
    paintLayer(painter, px, dirty & px.client());
    // A repaint inside the client area, as a stamp's, is done; the border is left alone.
    if (px.client().contains(dirty))
        return;
    // A sunken border: dark grey and black above and left, white and light grey below and right.
    drawBevel(painter, px.outer(), QColor(128, 128, 128), Qt::black, Qt::white,
              QColor(192, 192, 192), px.edge());
    // With the focus, the border's inner edge is dashed; the picture inside stays whole.
    if (hasFocus()) {
        painter.resetTransform();
        drawFocusMark(painter, rect().adjusted(1, 1, -1, -1), QColor(192, 192, 192), event->rect());
    }
}

// The layer where it meets the screen pixel for pixel; after a move to a screen of another
// scale, stretched or shrunk to the same place in twips, and the background colour where it
// falls short.
void DrawingSurface::paintLayer(QPainter &painter, const SurfaceGeometry &px, const QRect &dirty)
{
    if (dirty.isEmpty())
        return;
    const QRect client = px.client();
    if (m_layerRatio == px.ratio() && m_image.size() == client.size()) {
        painter.drawImage(dirty.topLeft(), m_image, dirty.translated(-client.topLeft()));
        return;
    }
    const qreal k = px.ratio() / m_layerRatio;
    const QRectF shown(client.topLeft(), QSizeF(m_image.size()) * k);
    painter.save();
    painter.setClipRect(dirty);
    painter.fillRect(dirty, QColor::fromRgb(toPixel(m_backColor)));
    painter.drawImage(shown, m_image);
    painter.restore();
}

// A press is taken here, so that the drag that follows stays with this surface. While a button
// is held, the window system's events are handed to the window as soon as they are read, in the
// same pass of the event loop, instead of being queued for a second pass that the queue wakes
// the loop for: a painting move then costs one pass, at whose end its stamp is shown.
void DrawingSurface::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    holdStroke(true);
}

void DrawingSurface::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton)
        holdStroke(false);
}

void DrawingSurface::hideEvent(QHideEvent *)
{
    holdStroke(false);
}

void DrawingSurface::holdStroke(bool held)
{
    if (held == m_stroke)
        return;
    m_stroke = held;
    QWindowSystemInterface::setSynchronousWindowSystemEvents(held);
}

// Taken from the place in the window: the place in the widget is rounded to a whole logical
// pixel.
void DrawingSurface::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton)
        holdStroke(false);
    const QPointF twips = place().toTwips(event->scenePosition());
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
