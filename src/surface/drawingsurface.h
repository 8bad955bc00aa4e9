#pragma once

#include "app/colourvalue.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <cstdint>

// A picture panel that can be painted on. Everything the program hands it is in twips
// (15 to a logical pixel); its drawing layer lives in one image of the client area's size,
// rebuilt from the background colour and picture whenever the layer is erased.
class DrawingSurface final : public QWidget {
    Q_OBJECT
public:
    static constexpr int Border = 2;
    static constexpr float TwipsPerPixel = 15.0f;
    // While stamps come in quick succession, the surface shows them at most this often (ms).
    static constexpr int RepaintInterval = 5;

    explicit DrawingSurface(QWidget *parent = nullptr);

    void setBackColor(std::int32_t colourValue);
    std::int32_t backColor() const { return m_backColor; }
    void setFillColor(std::int32_t colourValue) { m_fill = toPixel(colourValue); }
    void setForeColor(std::int32_t colourValue) { m_outline = toPixel(colourValue); }
    void clear();
    void circle(float x, float y, float radius);
    void setPicture(const QImage &picture);
    void removePicture() { setPicture(QImage()); }
    bool hasPicture() const { return !m_picture.isNull(); }

    // The composite as shown, at the size of the client area.
    const QImage &image() const { return m_image; }
    float outerWidthTwips() const { return float(width()) * TwipsPerPixel; }
    float outerHeightTwips() const { return float(height()) * TwipsPerPixel; }
    // Repaints now what was drawn and not yet shown.
    void repaintDrawn();

Q_SIGNALS:
    // Button state (1 left, 2 right, 4 middle), shift state, position in twips from the client origin.
    void mouseMoved(std::int16_t button, std::int16_t shift, float x, float y);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    static QRgb toPixel(std::int32_t colourValue);
    void eraseLayer();
    void drawn(const QRect &rect);
    QSize clientSize() const;

    std::int32_t m_backColor = 0xffffff;
    QRgb m_fill = 0xff000000;
    QRgb m_outline = 0xff000000;
    QImage m_picture;
    QImage m_image;
    QRegion m_drawn; // drawn and not yet asked to be repainted, client coordinates
    QElapsedTimer m_sinceRepaint;
    QTimer m_repaintTimer;
};

// The button and shift states of a mouse event, as the program's handlers take them.
std::int16_t buttonState(const QMouseEvent *event);
std::int16_t shiftState(const QMouseEvent *event);
