// Generates the fuzzer's starting pictures. The bitmaps are written byte by byte here, since Qt
// writes only a few of the variants a file from elsewhere may hold.
#include "fuzz_seeds.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cstdint>
#include <functional>

namespace {

constexpr int Width = 13; // odd, so every depth needs row padding
constexpr int Height = 7;

void put16(QByteArray &out, std::uint32_t v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

void put32(QByteArray &out, std::uint32_t v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

void padTo4(QByteArray &row)
{
    while (row.size() % 4)
        row.append('\0');
}

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
int plainIndex(int x, int y, int colours) { return (x * 19 + y * 37) % colours; }
int runIndex(int x, int y, int colours) { return (x < 5 ? x + y : x / 4 + y + 5) % colours; }

enum Compression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

struct BitmapLayout {
    int headerSize = 40; // 12 (OS/2 core), 40, 52, 56, 108 (V4), 124 (V5)
    int bits = 24;
    Compression compression = Rgb;
    bool topDown = false;
    int coloursUsed = 0; // 0: all 2^bits
    std::uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha for bit fields
};

int paletteSize(const BitmapLayout &layout)
{
    if (layout.bits > 8)
        return 0;
    return layout.coloursUsed ? layout.coloursUsed : 1 << layout.bits;
}

QByteArray infoHeader(const BitmapLayout &layout, int imageBytes)
{
    QByteArray h;
    put32(h, std::uint32_t(layout.headerSize));
    if (layout.headerSize == 12) {
        put16(h, Width);
        put16(h, Height);
        put16(h, 1);
        put16(h, std::uint32_t(layout.bits));
        return h;
    }
    put32(h, Width);
    put32(h, std::uint32_t(layout.topDown ? -Height : Height));
    put16(h, 1);
    put16(h, std::uint32_t(layout.bits));
    put32(h, layout.compression);
    put32(h, std::uint32_t(imageBytes));
    put32(h, 2835); // 72 dots per inch
    put32(h, 2835);
    put32(h, std::uint32_t(layout.coloursUsed));
    put32(h, 0);
    if (layout.headerSize >= 52) {
        for (int i = 0; i < (layout.headerSize >= 56 ? 4 : 3); ++i)
            put32(h, layout.masks[i]);
    }
    if (layout.headerSize >= 108) {
        put32(h, 0x73524742); // sRGB
        for (int i = 0; i < 12; ++i) // end points, gamma
            put32(h, 0);
    }
    if (layout.headerSize >= 124) {
        put32(h, 4); // perceptual rendering
        put32(h, 0); // no profile
        put32(h, 0);
        put32(h, 0);
    }
    return h;
}

int maskShift(std::uint32_t mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

std::uint32_t maskBits(std::uint32_t mask) { return mask >> maskShift(mask); }

// Packs a component of 0..255 into a mask's bits, and the picture a reader makes of it.
std::uint32_t packComponent(int value, std::uint32_t mask)
{
    const std::uint32_t max = maskBits(mask);
    return ((std::uint32_t(value) * max + 127) / 255) << maskShift(mask);
}

QByteArray uncompressedRows(const BitmapLayout &layout, QImage &expected)
{
    const std::uint32_t *masks = layout.masks;
    QByteArray pixels;
    for (int row = 0; row < Height; ++row) {
        const int y = layout.topDown ? row : Height - 1 - row;
        QByteArray line;
        if (layout.bits <= 8) {
            const int colours = paletteSize(layout);
            std::uint32_t acc = 0;
            int filled = 0;
            for (int x = 0; x < Width; ++x) {
                const int index = plainIndex(x, y, colours);
                expected.setPixel(x, y, paletteColour(index));
                acc = (acc << layout.bits) | std::uint32_t(index);
                filled += layout.bits;
                if (filled == 8) {
                    line.append(char(acc));
                    acc = 0;
                    filled = 0;
                }
            }
            if (filled)
                line.append(char(acc << (8 - filled)));
        } else {
            for (int x = 0; x < Width; ++x) {
                const QRgb c = trueColour(x, y);
                // A few pixels half transparent where the layout carries alpha.
                const int alpha = masks[3] && (x + y) % 5 == 0 ? 128 : 255;
                if (layout.bits == 24 || (layout.bits == 32 && layout.compression == Rgb)) {
                    line.append(char(qBlue(c)));
                    line.append(char(qGreen(c)));
                    line.append(char(qRed(c)));
                    if (layout.bits == 32)
                        line.append('\0');
                    expected.setPixel(x, y, c);
                    continue;
                }
                const std::uint32_t v = packComponent(qRed(c), masks[0]) |
                                        packComponent(qGreen(c), masks[1]) |
                                        packComponent(qBlue(c), masks[2]) |
                                        (masks[3] ? packComponent(alpha, masks[3]) : 0);
                if (layout.bits == 16)
                    put16(line, v);
                else
                    put32(line, v);
                expected.setPixel(x, y, qRgba(qRed(c), qGreen(c), qBlue(c), alpha));
            }
        }
        padTo4(line);
        pixels += line;
    }
    return pixels;
}

// Run-length rows: runs of one index as encoded runs, the differing start of each row in
// absolute mode, a row end after each row and the bitmap end after the last. With `skip`, a
// delta jumps over part of the first row stored, which reopen shows in the first colour.
QByteArray runLengthRows(const BitmapLayout &layout, QImage &expected, bool skip)
{
    const int colours = paletteSize(layout);
    const bool four = layout.compression == Rle4;
    QByteArray out;
    for (int row = 0; row < Height; ++row) {
        const int y = layout.topDown ? row : Height - 1 - row;
        int x = 0;
        if (skip && row == 0) {
            out.append('\0');
            out.append('\2');
            out.append(char(4));
            out.append('\0');
            for (int i = 0; i < 4; ++i)
                expected.setPixel(i, y, paletteColour(0));
            x = 4;
        }
        while (x < Width) {
            int run = 1;
            while (x + run < Width && runIndex(x + run, y, colours) == runIndex(x, y, colours))
                ++run;
            if (run == 1) {
                int singles = 1;
                while (x + singles + 1 < Width &&
                       runIndex(x + singles, y, colours) != runIndex(x + singles + 1, y, colours))
                    ++singles;
                if (singles >= 3) {
                    out.append('\0');
                    out.append(char(singles));
                    QByteArray data;
                    for (int i = 0; i < singles; ++i) {
                        const int index = runIndex(x + i, y, colours);
                        expected.setPixel(x + i, y, paletteColour(index));
                        if (!four)
                            data.append(char(index));
                        else if (i % 2 == 0)
                            data.append(char(index << 4));
                        else
                            data[data.size() - 1] = char(data.back() | index);
                    }
                    if (data.size() % 2)
                        data.append('\0');
                    out += data;
                    x += singles;
                    continue;
                }
            }
            const int index = runIndex(x, y, colours);
            for (int i = 0; i < run; ++i)
                expected.setPixel(x + i, y, paletteColour(index));
            out.append(char(run));
            out.append(char(four ? (index << 4) | index : index));
            x += run;
        }
        out.append('\0');
        out.append(row == Height - 1 ? '\1' : '\0');
    }
    return out;
}

PictureSeed bitmap(const QString &name, const BitmapLayout &layout, bool skip = false)
{
    const bool alpha = layout.masks[3] != 0;
    QImage expected(Width, Height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const QByteArray pixels = layout.compression == Rle8 || layout.compression == Rle4
                                  ? runLengthRows(layout, expected, skip)
                                  : uncompressedRows(layout, expected);
    QByteArray palette;
    for (int i = 0; i < paletteSize(layout); ++i) {
        const QRgb c = paletteColour(i);
        palette.append(char(qBlue(c)));
        palette.append(char(qGreen(c)));
        palette.append(char(qRed(c)));
        if (layout.headerSize != 12)
            palette.append('\0');
    }
    QByteArray masks;
    if (layout.compression == BitFields && layout.headerSize == 40) {
        for (int i = 0; i < 3; ++i)
            put32(masks, layout.masks[i]);
    }
    const QByteArray header = infoHeader(layout, int(pixels.size()));
    const int offset = 14 + int(header.size() + masks.size() + palette.size());
    QByteArray file("BM");
    put32(file, std::uint32_t(offset + pixels.size()));
    put32(file, 0);
    put32(file, std::uint32_t(offset));
    file += header + masks + palette + pixels;

    PictureSeed seed{name, file, expected};
    // Components packed into fewer than eight bits come back rounded, and Qt widens them by a
    // plain shift.
    for (int i = 0; i < 4; ++i) {
        if (layout.masks[i] && maskBits(layout.masks[i]) < 255)
            seed.tolerance = std::max(seed.tolerance, int(384 / (maskBits(layout.masks[i]) + 1)));
    }
    // Qt takes a header of this size for the small one of old and fails on it.
    seed.decodes = layout.headerSize != 56;
    return seed;
}

// An image of GIF's kind: a palette of 2^bits colours, every code written at bits + 1 wide with
// a clear code often enough that the code width never grows.
QByteArray gifCodes(const std::vector<int> &indices, int bits)
{
    const int clear = 1 << bits;
    const int perClear = clear - 3;
    QByteArray packed;
    std::uint32_t acc = 0;
    int filled = 0;
    auto putCode = [&](int code) {
        acc |= std::uint32_t(code) << filled;
        filled += bits + 1;
        while (filled >= 8) {
            packed.append(char(acc & 0xff));
            acc >>= 8;
            filled -= 8;
        }
    };
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i % perClear == 0)
            putCode(clear);
        putCode(indices[i]);
    }
    putCode(clear + 1);
    if (filled)
        packed.append(char(acc & 0xff));
    QByteArray blocks;
    blocks.append(char(bits));
    for (qsizetype at = 0; at < packed.size(); at += 255) {
        const QByteArray block = packed.mid(at, 255);
        blocks.append(char(block.size()));
        blocks += block;
    }
    blocks.append('\0');
    return blocks;
}

PictureSeed gif(const QString &name, int bits, bool interlaced, bool twoFrames)
{
    const int colours = 1 << bits;
    QImage expected(Width, Height, QImage::Format_RGB32);
    QByteArray file("GIF89a");
    put16(file, Width);
    put16(file, Height);
    file.append(char(0x80 | ((bits - 1) << 4) | (bits - 1)));
    file.append('\0'); // background
    file.append('\0');
    for (int i = 0; i < colours; ++i) {
        const QRgb c = paletteColour(i);
        file.append(char(qRed(c)));
        file.append(char(qGreen(c)));
        file.append(char(qBlue(c)));
    }
    // Graphic control: the last colour is transparent in the second frame, which is never shown
    // by a reader that takes the first frame only.
    auto control = [&](bool transparent) {
        file.append("\x21\xf9\x04", 3);
        file.append(char(transparent ? 0x05 : 0x04));
        put16(file, 10);
        file.append(char(colours - 1));
        file.append('\0');
    };
    auto frame = [&](int shift) {
        file.append(',');
        put16(file, 0);
        put16(file, 0);
        put16(file, Width);
        put16(file, Height);
        file.append(char(interlaced ? 0x40 : 0));
        std::vector<int> rows;
        if (interlaced) {
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < Height; y += step)
                    rows.push_back(y);
        } else {
            for (int y = 0; y < Height; ++y)
                rows.push_back(y);
        }
        std::vector<int> indices;
        for (int y : rows) {
            for (int x = 0; x < Width; ++x) {
                const int index = plainIndex(x + shift, y, colours);
                indices.push_back(index);
                if (shift == 0)
                    expected.setPixel(x, y, paletteColour(index));
            }
        }
        file += gifCodes(indices, bits);
    };
    if (twoFrames) {
        file.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19); // loop for ever
        control(false);
    }
    frame(0);
    if (twoFrames) {
        control(true);
        frame(3);
    }
    file.append(';');
    return PictureSeed{name, file, expected};
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
        layout.coloursUsed = 20;
        add(bitmap(QStringLiteral("bmp-8bit-20colours"), layout));
    }
    for (int bits : {4, 8}) {
        BitmapLayout layout;
        layout.bits = bits;
        layout.compression = bits == 4 ? Rle4 : Rle8;
        add(bitmap(QStringLiteral("bmp-rle%1").arg(bits), layout));
        add(bitmap(QStringLiteral("bmp-rle%1-delta").arg(bits), layout, true));
        layout.headerSize = 124;
        add(bitmap(QStringLiteral("bmp-rle%1-v5").arg(bits), layout));
    }
    {
        BitmapLayout layout;
        layout.bits = 16;
        // Without bit fields a 16-bit bitmap holds five bits of each component.
        layout.masks[0] = 0x7c00, layout.masks[1] = 0x03e0, layout.masks[2] = 0x001f;
        add(bitmap(QStringLiteral("bmp-16bit-555"), layout));
        layout.compression = BitFields;
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
        layout.compression = BitFields;
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
    add(written(QStringLiteral("png-argb"), [] {
        QImage image = trueColourImage(QImage::Format_ARGB32);
        image.setPixel(2, 3, qRgba(10, 20, 30, 100));
        return image;
    }(), "png"));
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
    add(written(QStringLiteral("jpeg-progressive"), trueColourImage(QImage::Format_RGB32), "jpeg",
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
