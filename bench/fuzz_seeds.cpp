// Generates the fuzzer's starting pictures: the bitmaps and GIFs through the tests' own writer,
// the rest through Qt's.
#include "fuzz_seeds.h"

#include "testpictures.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <bit>
#include <functional>

namespace {

using testpictures::BitmapLayout;
using testpictures::Compression;

constexpr int Width = 13; // odd, so every depth needs row padding
constexpr int Height = 7;

QRgb paletteColour(int i)
{
    return qRgb((i * 53 + 7) & 255, (i * 97 + 40) & 255, (255 - i * 29) & 255);
}

QRgb trueColour(int x, int y)
{
    return qRgb((x * 19) & 255, (y * 37 + 3) & 255, (x * y * 5 + 60) & 255);
}

// Index of the pixel at x, y in a picture of `colours` palette entries. For run-length
// encoding the first pixels of a row differ one from the next and the rest come in runs.
int plainIndex(int x, int y, int colours)
{
    return (x * 19 + y * 37) % colours;
}
int runIndex(int x, int y, int colours)
{
    return (x < 5 ? x + y : x / 4 + y + 5) % colours;
}

QList<QRgb> palette(int colours)
{
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(paletteColour(i));
    return table;
}

QImage indexedPicture(const QList<QRgb> &table, int shift = 0,
                      int (*index)(int, int, int) = plainIndex)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            image.setPixel(x, y, table[index(x + shift, y, int(table.size()))]);
    return image;
}

// A bitmap of every pixel in its own colour, or of `colours` palette entries; with alpha bits,
// a few pixels half transparent.
PictureSeed bitmap(const QString &name, const BitmapLayout &layout, int colours = 0)
{
    const bool alpha = layout.masks[3] != 0;
    const bool runLength =
        layout.compression == Compression::Rle8 || layout.compression == Compression::Rle4;
    const QList<QRgb> table = palette(layout.bits > 8 ? 0 : colours ? colours : 1 << layout.bits);
    QImage picture(Width, Height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (layout.bits <= 8)
        picture = indexedPicture(table, 0, runLength ? runIndex : plainIndex);
    for (int y = 0; layout.bits > 8 && y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            const QRgb c = trueColour(x, y);
            picture.setPixel(
                x, y, qRgba(qRed(c), qGreen(c), qBlue(c), alpha && (x + y) % 5 == 0 ? 128 : 255));
        }
    }
    PictureSeed seed{name, testpictures::bitmap(picture, table, layout), picture};
    // What a delta jumps over reopens in the first colour.
    for (int x = 0; x < layout.skipped; ++x)
        seed.expected.setPixel(x, layout.topDown ? 0 : Height - 1, table[0]);
    // Components packed into fewer than eight bits come back rounded, and Qt widens them by a
    // plain shift.
    for (const quint32 mask : layout.masks) {
        const quint32 max = mask >> std::countr_zero(mask | 0x80000000u);
        if (mask && max < 255)
            seed.tolerance = std::max(seed.tolerance, int(384 / (max + 1)));
    }
    // Qt takes a header of this size for the small one of old and fails on it.
    seed.decodes = layout.headerSize != 56;
    return seed;
}

// A GIF of 2^bits colours; animated, a second frame follows whose last colour is transparent,
// never shown by a reader that takes the first frame only.
PictureSeed gif(const QString &name, int bits, bool interlaced, bool twoFrames)
{
    const QList<QRgb> table = palette(1 << bits);
    const QImage picture = indexedPicture(table);
    QList<testpictures::GifFrame> frames{{picture, QPoint(), interlaced}};
    if (twoFrames)
        frames.append({indexedPicture(table, 3), QPoint(), interlaced, int(table.size()) - 1});
    return PictureSeed{name, testpictures::gif(picture.size(), table, frames), picture};
}

QImage trueColourImage(QImage::Format format)
{
    QImage image(Width, Height, format);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            image.setPixel(x, y, trueColour(x, y));
    return image;
}

QImage indexedImage(int colours, QImage::Format format = QImage::Format_Indexed8)
{
    QImage image(Width, Height, format);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(format == QImage::Format_Mono ? qRgb(255 * i, 255 * i, 255 * i)
                                                   : paletteColour(i));
    image.setColorTable(table);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            image.setPixel(x, y, uint(plainIndex(x, y, colours)));
    return image;
}

PictureSeed written(const QString &name, const QImage &image, const char *format,
                    const std::function<void(QImageWriter &)> &options = {}, int tolerance = 0)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (options)
        options(writer);
    writer.write(image);
    PictureSeed seed{name, bytes, image};
    seed.tolerance = tolerance;
    return seed;
}

} // namespace

std::vector<PictureSeed> pictureSeeds()
{
    std::vector<PictureSeed> seeds;
    auto add = [&](PictureSeed seed) { seeds.push_back(std::move(seed)); };

    for (int bits : {1, 4, 8}) {
        BitmapLayout layout;
        layout.bits = bits;
        add(bitmap(QStringLiteral("bmp-%1bit").arg(bits), layout));
        layout.topDown = true;
        add(bitmap(QStringLiteral("bmp-%1bit-topdown").arg(bits), layout));
        layout.topDown = false;
        layout.headerSize = 12;
        add(bitmap(QStringLiteral("bmp-%1bit-core").arg(bits), layout));
    }
    {
        BitmapLayout layout;
        layout.bits = 8;
        add(bitmap(QStringLiteral("bmp-8bit-20colours"), layout, 20));
    }
    for (int bits : {4, 8}) {
        BitmapLayout layout;
        layout.bits = bits;
        layout.compression = bits == 4 ? Compression::Rle4 : Compression::Rle8;
        add(bitmap(QStringLiteral("bmp-rle%1").arg(bits), layout));
        layout.skipped = 4;
        add(bitmap(QStringLiteral("bmp-rle%1-delta").arg(bits), layout));
        layout.skipped = 0;
        layout.headerSize = 124;
        add(bitmap(QStringLiteral("bmp-rle%1-v5").arg(bits), layout));
    }
    {
        BitmapLayout layout;
        layout.bits = 16;
        // Without bit fields a 16-bit bitmap holds five bits of each component.
        layout.masks[0] = 0x7c00, layout.masks[1] = 0x03e0, layout.masks[2] = 0x001f;
        add(bitmap(QStringLiteral("bmp-16bit-555"), layout));
        layout.compression = Compression::BitFields;
        add(bitmap(QStringLiteral("bmp-16bit-555-bitfields"), layout));
        layout.masks[0] = 0xf800, layout.masks[1] = 0x07e0, layout.masks[2] = 0x001f;
        add(bitmap(QStringLiteral("bmp-16bit-565"), layout));
        layout.topDown = true;
        add(bitmap(QStringLiteral("bmp-16bit-565-topdown"), layout));
        layout.topDown = false;
        layout.headerSize = 108;
        layout.masks[0] = 0x0f00, layout.masks[1] = 0x00f0, layout.masks[2] = 0x000f;
        layout.masks[3] = 0xf000;
        add(bitmap(QStringLiteral("bmp-16bit-4444-v4"), layout));
    }
    for (int header : {12, 40, 108, 124}) {
        BitmapLayout layout;
        layout.headerSize = header;
        add(bitmap(QStringLiteral("bmp-24bit-h%1").arg(header), layout));
    }
    {
        BitmapLayout layout;
        layout.topDown = true;
        add(bitmap(QStringLiteral("bmp-24bit-topdown"), layout));
        layout.bits = 32;
        add(bitmap(QStringLiteral("bmp-32bit-topdown"), layout));
        layout.topDown = false;
        add(bitmap(QStringLiteral("bmp-32bit"), layout));
        layout.compression = Compression::BitFields;
        layout.masks[0] = 0x00ff0000, layout.masks[1] = 0x0000ff00, layout.masks[2] = 0x000000ff;
        add(bitmap(QStringLiteral("bmp-32bit-bitfields"), layout));
        layout.headerSize = 56;
        layout.masks[3] = 0xff000000;
        add(bitmap(QStringLiteral("bmp-32bit-alpha-v3"), layout));
        layout.headerSize = 108;
        add(bitmap(QStringLiteral("bmp-32bit-alpha-v4"), layout));
        layout.headerSize = 124;
        add(bitmap(QStringLiteral("bmp-32bit-alpha-v5"), layout));
        layout.masks[0] = 0x000000ff, layout.masks[1] = 0x0000ff00, layout.masks[2] = 0x00ff0000;
        add(bitmap(QStringLiteral("bmp-32bit-abgr-v5"), layout));
    }

    add(written(QStringLiteral("png-rgb"), trueColourImage(QImage::Format_RGB32), "png"));
    add(written(
        QStringLiteral("png-argb"),
        [] {
            QImage image = trueColourImage(QImage::Format_ARGB32);
            image.setPixel(2, 3, qRgba(10, 20, 30, 100));
            return image;
        }(),
        "png"));
    add(written(QStringLiteral("png-indexed"), indexedImage(16), "png"));
    add(written(QStringLiteral("png-mono"), indexedImage(2, QImage::Format_Mono), "png"));
    add(written(QStringLiteral("png-grey"),
                trueColourImage(QImage::Format_RGB32).convertToFormat(QImage::Format_Grayscale8),
                "png"));
    add(written(QStringLiteral("png-rgba64"),
                trueColourImage(QImage::Format_RGB32).convertToFormat(QImage::Format_RGBA64),
                "png"));
    add(written(QStringLiteral("png-compressed"), trueColourImage(QImage::Format_RGB32), "png",
                [](QImageWriter &w) { w.setCompression(9); }));
    add(written(QStringLiteral("jpeg"), trueColourImage(QImage::Format_RGB32), "jpeg", {}, -1));
    add(written(
        QStringLiteral("jpeg-progressive"), trueColourImage(QImage::Format_RGB32), "jpeg",
        [](QImageWriter &w) {
            w.setProgressiveScanWrite(true);
            w.setOptimizedWrite(true);
        },
        -1));
    add(written(QStringLiteral("jpeg-grey"),
                trueColourImage(QImage::Format_RGB32).convertToFormat(QImage::Format_Grayscale8),
                "jpeg", {}, -1));
    add(gif(QStringLiteral("gif-2colours"), 1 + 1, false, false)); // GIF's least code size is 2
    add(gif(QStringLiteral("gif-16colours"), 4, false, false));
    add(gif(QStringLiteral("gif-256colours"), 8, false, false));
    add(gif(QStringLiteral("gif-interlaced"), 4, true, false));
    add(gif(QStringLiteral("gif-animated"), 4, false, true));
    add(written(QStringLiteral("ico"), trueColourImage(QImage::Format_ARGB32), "ico"));
    add(written(QStringLiteral("ppm"), trueColourImage(QImage::Format_RGB32), "ppm"));
    add(written(QStringLiteral("pgm"),
                trueColourImage(QImage::Format_RGB32).convertToFormat(QImage::Format_Grayscale8),
                "pgm"));
    add(written(QStringLiteral("pbm"), indexedImage(2, QImage::Format_Mono), "pbm"));
    add(written(QStringLiteral("xbm"), indexedImage(2, QImage::Format_Mono), "xbm"));
    add(written(QStringLiteral("xpm"), indexedImage(16), "xpm"));
    return seeds;
}
