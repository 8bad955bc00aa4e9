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
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_repaintTimer, &QTimer::timeout, this, &DrawingSurface::repaintDrawn);
}

QRgb DrawingSurface::toPixel(std::int32_t colourValue)
{
    return toRgb(colourValue);
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

void DrawingSurface::setPicture(const QImage &picture)
{
    m_picture = picture;
    eraseLayer();
}

// Qt sends a hidden widget's resize only when it is first shown; the layer is built as soon
// as the geometry is set, so what is drawn before the window shows is kept.
void DrawingSurface::resizeEvent(QResizeEvent *)
{
    if (m_image.size() != clientSize())
        eraseLayer();
}

QSize DrawingSurface::clientSize() const
{
    return QSize(std::max(0, width() - 2 * Border), std::max(0, height() - 2 * Border));
}

// Rebuilds the composite from the background colour and picture; what was drawn is gone.
void DrawingSurface::eraseLayer()
{
    const QSize client = clientSize();
    if (m_image.size() != client)
        m_image = QImage(client, QImage::Format_RGB32);
    m_image.fill(toPixel(m_backColor));
    if (!m_picture.isNull()) {
        QPainter painter(&m_image);
        painter.drawImage(0, 0, m_picture);
    }
    m_drawn = QRegion();
    m_repaintTimer.stop();
    update();
}

// A disc is the set of pixels whose centres lie within the radius, and always the pixel under
// the centre, so that the smallest brush leaves a mark. Its outline is every pixel of the disc
// with a side on a pixel outside it. Drawn without antialiasing, one pixel per twips/15.
void DrawingSurface::circle(float x, float y, float radius)
{
    const double cx = double(x) / TwipsPerPixel;
    const double cy = double(y) / TwipsPerPixel;
    const double r = std::fabs(double(radius)) / TwipsPerPixel;
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
    if (dirtyRight >= 0)
        drawn(QRect(dirtyLeft, dirtyTop, dirtyRight - dirtyLeft + 1, dirtyBottom - dirtyTop + 1));
}

// A drag reports up to a few thousand moves a second, far more than a screen shows, and each
// repaint costs more than its stamp. A stamp after a pause is shown at once; those that follow
// within RepaintInterval are shown together when it is over. Only the touched rectangles are
// repainted, and the drawing layer itself always has every stamp at once.
void DrawingSurface::drawn(const QRect &rect)
{
    m_drawn += rect;
    // Stamps scattered all over would split the region into ever more pieces; past a few
    // dozen, one rectangle around them is cheaper to keep and to repaint.
    if (m_drawn.rectCount() > 32)
        m_drawn = m_drawn.boundingRect();
    if (m_repaintTimer.isActive())
        return;
    const qint64 since = m_sinceRepaint.isValid() ? m_sinceRepaint.elapsed() : RepaintInterval;
    if (since >= RepaintInterval)
        repaintDrawn();
    else
        m_repaintTimer.start(int(RepaintInterval - since));
}

void DrawingSurface::repaintDrawn()
{
    m_repaintTimer.stop();
    if (m_drawn.isEmpty())
        return;
    // Painted at once rather than posted: the side panel's tick then costs one pass of the
    // event loop, not a second one woken only to deliver the repaint.
    const QRegion region = m_drawn.translated(Border, Border);
    m_drawn = QRegion();
    repaint(region);
    m_sinceRepaint.start();
}

void DrawingSurface::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect client(Border, Border, m_image.width(), m_image.height());
    const QRect dirty = event->rect() & client;
    if (!dirty.isEmpty())
        painter.drawImage(dirty, m_image, dirty.translated(-Border, -Border));
    if (client.contains(event->rect()))
        return;
    // A sunken two-pixel border: dark grey and black above and left, white and light grey
    // below and right.
    drawBevel(painter, rect(), QColor(128, 128, 128), Qt::black, Qt::white, QColor(192, 192, 192));
    // With the focus, the border's inner edge is dashed; the picture inside stays whole.
    if (hasFocus())
        drawFocusMark(painter, rect().adjusted(1, 1, -1, -1), QColor(192, 192, 192));
}

// A press is taken here, so that the drag that follows stays with this surface.
void DrawingSurface::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void DrawingSurface::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    Q_EMIT mouseMoved(buttonState(event), shiftState(event),
                      float((pos.x() - Border) * TwipsPerPixel),
                      float((pos.y() - Border) * TwipsPerPixel));
}

std::int16_t buttonState(const QMouseEvent *event)
{
    return std::int16_t((event->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)).toInt());
}

std::int16_t shiftState(const QMouseEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    return std::int16_t((mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0) |
                        (mods & Qt::AltModifier ? 4 : 0));
}
