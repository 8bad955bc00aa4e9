#pragma once

// Pictures written byte by byte from the file formats, independent of Qt's writers, which write
// only a few of the variants a file from elsewhere may hold. Shared by the tests and the
// fuzzer's seeds.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>

namespace testpictures {

enum class Compression : quint32 { None = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

struct BitmapLayout {
    int bits = 24;
    Compression compression = Compression::None;
    bool topDown = false;
    int headerSize = 40; // 12 (OS/2 core), 40, 52, 56, 108 (V4), 124 (V5)
    // Red, green, blue and alpha. Without them 16 bits hold 5-5-5 and 32 bits 8-8-8 and a 0 byte.
    quint32 masks[4] = {0, 0, 0, 0};
    // Run-length: pixels at the start of the first row stored that a delta jumps over.
    int skipped = 0;
};

// The picture as a bitmap. Up to 8 bits its pixels are looked up in the palette, which is stored
// whole; the header tells its size where it is smaller than the depth allows.
QByteArray bitmap(const QImage &picture, const QList<QRgb> &palette = {},
                  const BitmapLayout &layout = {});

struct GifFrame {
    QImage picture; // its pixels looked up in the palette
    QPoint at{};
    bool interlaced = false;
    int transparent = -1; // the palette index shown as transparent, if any
};

// A GIF of the size and palette (up to 256 colours) with the frames; more than one loop for ever.
QByteArray gif(QSize size, const QList<QRgb> &palette, const QList<GifFrame> &frames);

} // namespace testpictures
