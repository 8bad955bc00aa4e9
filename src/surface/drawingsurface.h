#pragma once

#include "surface/surfacegeometry.h"

#include <QAbstractEventDispatcher>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <cstdint>

// A picture panel that can be painted on. Everything the program hands it is in twips
// (15 to a logical pixel, so 7.5 to a device pixel at twice the scale); its drawing layer lives
// in one image of the client area's size in the screen's own pixels, rebuilt from the
// background colour and picture whenever the layer is erased.
class DrawingSurface final : public QWidget {
    Q_OBJECT
public:
    // In logical pixels; each of the border's two edges is a whole number of device pixels.
    static constexpr int Border = 2;
    static constexpr float TwipsPerPixel = float(SurfaceGeometry::TwipsPerPixel);

    explicit DrawingSurface(QWidget *parent = nullptr);
    ~DrawingSurface() override;

    void setBackColor(std::int32_t colourValue);
    QRgb backColorPixel() const { return toPixel(m_backColor); }
    void setFillColor(std::int32_t colourValue) { m_fill = toPixel(colourValue); }
    void setForeColor(std::int32_t colourValue) { m_outline = toPixel(colourValue); }
    void clear();
    void circle(float x, float y, float radius);
    void setPicture(const QImage &picture);
    void removePicture() { setPicture(QImage()); }
    const QImage &picture() const { return m_picture; }

    // The composite as shown, at the size of the client area in device pixels, one pixel of the
    // image to one of the screen.
    const QImage &image() const { return m_image; }
    float outerWidthTwips() const { return float(width()) * TwipsPerPixel; }
    float outerHeightTwips() const { return float(height()) * TwipsPerPixel; }

Q_SIGNALS:
    // Button state (1 left, 2 right, 4 middle), shift state, position in twips from the client
    // origin.
    void mouseMoved(std::int16_t button, std::int16_t shift, float x, float y);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    SurfaceGeometry place(qreal ratio) const;
    SurfaceGeometry place() const { return place(devicePixelRatioF()); }

    static QRgb toPixel(std::int32_t colourValue);
    void eraseLayer();
    void rebuildLayer();
    void followScreen();
    void paintLayer(QPainter &painter, const SurfaceGeometry &place, const QRect &dirty);
    void showStamps();
    void holdStroke(bool held);

    std::int32_t m_backColor = 0xffffff;
    QRgb m_fill = 0xff000000;
    QRgb m_outline = 0xff000000;
    QImage m_picture;
    QImage m_image;
    qreal m_layerRatio = 0;
    QRegion m_stamped; // stamped since the event loop last turned, not yet on the screen
    QAbstractEventDispatcher *m_loop = nullptr;
    bool m_stroke = false; // a button held since a press here
    bool m_plain = true;   // the layer holds its background colour only
};

// The button and shift states of a mouse event, as the program's handlers take them.
std::int16_t buttonState(const QMouseEvent *event);
std::int16_t shiftState(const QMouseEvent *event);
