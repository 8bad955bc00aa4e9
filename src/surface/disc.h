#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>

// Stamps a disc into a 32-bit image, in the image's own pixels: the set of pixels whose centres
// lie within the radius, and always the pixel under the centre, so that the smallest brush
// leaves a mark; filled with fill, and every pixel of it with a side on a pixel outside it in
// outline. Without antialiasing; neither the centre nor the radius is rounded; whatever falls
// outside the image is clipped. Returns the rectangle of the pixels it set, empty if none.
QRect stampDisc(QImage &image, QPointF centre, double radius, QRgb fill, QRgb outline);
