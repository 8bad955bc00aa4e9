#include "testpictures.h"

#include <algorithm>
#include <utility>

namespace testpictures {

namespace {

void put16(QByteArray &out, quint32 v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

int shiftOf(quint32 mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A component of 0..255 in a mask's bits, rounded.
quint32 packed(int value, quint32 mask)
{
    const quint32 max = mask >> shiftOf(mask);
    return ((quint32(value) * max + 127) / 255) << shiftOf(mask);
}

QList<int> indicesOf(const QImage &picture, int y, const QList<QRgb> &palette)
{
    QList<int> row;
    for (int x = 0; x < picture.width(); ++x)
        row.append(int(palette.indexOf(picture.pixel(x, y) | 0xff000000)));
    return row;
}

// Runs of two or more as counted runs, stretches of three or more differing pixels in absolute
// mode (padded to 16 bits), the rest as runs of one; a row end after each row.
void runLengthRow(QByteArray &out, const QList<int> &row, int from, bool four)
{
    const int w = int(row.size());
    const auto pair = [&](int x) { return four ? row[x] << 4 | row[x] : row[x]; };
    for (int x = from; x < w;) {
        int run = 1;
        while (x + run < w && run < 255 && row[x + run] == row[x])
            ++run;
        int n = 1;
        while (run == 1 && x + n < w && n < 255 && !(x + n + 1 < w && row[x + n] == row[x + n + 1]))
            ++n;
        if (run == 1 && n >= 3) {
            out.append('\0');
            out.append(char(n));
            QByteArray data;
            for (int i = 0; i < n; ++i) {
                if (!four)
                    data.append(char(row[x + i]));
                else if (i % 2 == 0)
                    data.append(char(row[x + i] << 4));
                else
                    data.back() = char(data.back() | row[x + i]);
            }
            out += data.size() % 2 ? data + '\0' : data;
            x += n;
            continue;
        }
        out.append(char(run));
        out.append(char(pair(x)));
        x += run;
    }
    out.append('\0');
    out.append('\0');
}

QByteArray pixelRows(const QImage &picture, const QList<QRgb> &palette, const BitmapLayout &l)
{
    const bool runLength = l.compression == Compression::Rle8 || l.compression == Compression::Rle4;
    quint32 masks[4] = {l.masks[0], l.masks[1], l.masks[2], l.masks[3]};
    if (!masks[0] && l.bits == 16)
        masks[0] = 0x7c00, masks[1] = 0x03e0, masks[2] = 0x001f;
    if (!masks[0] && l.bits == 32)
        masks[0] = 0xff0000, masks[1] = 0xff00, masks[2] = 0xff;
    QByteArray pixels;
    for (int i = 0; i < picture.height(); ++i) {
        const int y = l.topDown ? i : picture.height() - 1 - i;
        QByteArray row;
        if (runLength) {
            if (i == 0 && l.skipped) {
                row.append("\0\2", 2);
                row.append(char(l.skipped));
                row.append('\0');
            }
            runLengthRow(row, indicesOf(picture, y, palette), i == 0 ? l.skipped : 0,
                         l.compression == Compression::Rle4);
            if (i == picture.height() - 1)
                row.back() = '\1'; // the bitmap's end instead of the last row's
            pixels += row;
            continue;
        }
        if (l.bits <= 8) {
            const QList<int> indices = indicesOf(picture, y, palette);
            row.resize((picture.width() * l.bits + 7) / 8, '\0');
            for (int x = 0; x < picture.width(); ++x) {
                const int bit = x * l.bits;
                row[bit / 8] = char(uchar(row[bit / 8]) | indices[x] << (8 - l.bits - bit % 8));
            }
        }
        for (int x = 0; l.bits > 8 && x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            if (l.bits == 24) {
                row.append(char(qBlue(c)));
                row.append(char(qGreen(c)));
                row.append(char(qRed(c)));
                continue;
            }
            const quint32 v = packed(qRed(c), masks[0]) | packed(qGreen(c), masks[1]) |
                              packed(qBlue(c), masks[2]) |
                              (masks[3] ? packed(qAlpha(c), masks[3]) : 0);
            l.bits == 16 ? put16(row, v) : put32(row, v);
        }
        row.resize((row.size() + 3) / 4 * 4, '\0');
        pixels += row;
    }
    return pixels;
}

QByteArray infoHeader(const QImage &picture, const BitmapLayout &l, int colours, int imageBytes)
{
    QByteArray h;
    put32(h, quint32(l.headerSize));
    const int height = l.topDown ? -picture.height() : picture.height();
    if (l.headerSize == 12) {
        put16(h, quint32(picture.width()));
        put16(h, quint32(height));
        put16(h, 1);
        put16(h, quint32(l.bits));
        return h;
    }
    put32(h, quint32(picture.width()));
    put32(h, quint32(height));
    put16(h, 1);
    put16(h, quint32(l.bits));
    put32(h, quint32(l.compression));
    put32(h, quint32(imageBytes));
    put32(h, 2835); // 72 dots per inch
    put32(h, 2835);
    put32(h, l.bits <= 8 && colours < 1 << l.bits ? quint32(colours) : 0);
    put32(h, 0);
    for (int i = 0; l.headerSize >= 52 && i < (l.headerSize >= 56 ? 4 : 3); ++i)
        put32(h, l.masks[i]);
    if (l.headerSize >= 108) {
        put32(h, 0x73524742);        // sRGB
        for (int i = 0; i < 12; ++i) // end points, gamma
            put32(h, 0);
    }
    if (l.headerSize >= 124) {
        put32(h, 4);                // perceptual rendering
        for (int i = 0; i < 3; ++i) // no profile
            put32(h, 0);
    }
    return h;
}

// The image data of a frame: every code bits + 1 wide, with a clear code often enough that the
// code width never grows, in blocks of up to 255 bytes.
QByteArray lzwBlocks(const QList<int> &indices, int bits)
{
    const int clear = 1 << bits;
    QByteArray codes;
    quint32 acc = 0;
    int filled = 0;
    const auto put = [&](int code) {
        acc |= quint32(code) << filled;
        for (filled += bits + 1; filled >= 8; filled -= 8, acc >>= 8)
            codes.append(char(acc & 0xff));
    };
    for (qsizetype i = 0; i < indices.size(); ++i) {
        if (i % (clear - 3) == 0)
            put(clear);
        put(indices[i]);
    }
    put(clear + 1);
    if (filled)
        codes.append(char(acc & 0xff));
    QByteArray blocks(1, char(bits));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        blocks.append(char(std::min<qsizetype>(255, codes.size() - at)));
        blocks += codes.mid(at, 255);
    }
    return blocks + '\0';
}

} // namespace

QByteArray bitmap(const QImage &picture, const QList<QRgb> &palette, const BitmapLayout &layout)
{
    const QByteArray pixels = pixelRows(picture, palette, layout);
    const int colours = layout.bits <= 8 ? int(palette.size()) : 0;
    QByteArray table;
    for (int i = 0; i < colours; ++i) {
        table.append(char(qBlue(palette[i])));
        table.append(char(qGreen(palette[i])));
        table.append(char(qRed(palette[i])));
        if (layout.headerSize != 12)
            table.append('\0');
    }
    if (layout.compression == Compression::BitFields && layout.headerSize == 40) {
        for (int i = 0; i < 3; ++i)
            put32(table, layout.masks[i]);
    }
    const QByteArray header = infoHeader(picture, layout, colours, int(pixels.size()));
    const int offset = 14 + int(header.size() + table.size());
    QByteArray file("BM");
    put32(file, quint32(offset + pixels.size()));
    put32(file, 0);
    put32(file, quint32(offset));
    return file + header + table + pixels;
}

QByteArray gif(QSize size, const QList<QRgb> &palette, const QList<GifFrame> &frames)
{
    int bits = 1;
    while (1 << bits < palette.size())
        ++bits;
    QByteArray file("GIF89a");
    put16(file, quint32(size.width()));
    put16(file, quint32(size.height()));
    file.append(char(0x80 | (bits - 1) << 4 | (bits - 1)));
    file.append('\0'); // background
    file.append('\0');
    for (int i = 0; i < 1 << bits; ++i) {
        const QRgb c = palette.value(i);
        file.append(char(qRed(c)));
        file.append(char(qGreen(c)));
        file.append(char(qBlue(c)));
    }
    if (frames.size() > 1)
        file.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const GifFrame &frame : frames) {
        if (frames.size() > 1 || frame.transparent >= 0) {
            file.append("\x21\xf9\x04", 3);
            file.append(char(frame.transparent >= 0 ? 0x05 : 0x04));
            put16(file, 10); // a tenth of a second
            file.append(char(std::max(frame.transparent, 0)));
            file.append('\0');
        }
        file.append(',');
        put16(file, quint32(frame.at.x()));
        put16(file, quint32(frame.at.y()));
        put16(file, quint32(frame.picture.width()));
        put16(file, quint32(frame.picture.height()));
        file.append(char(frame.interlaced ? 0x40 : 0));
        QList<int> rows;
        for (auto [start, step] : frame.interlaced
                                      ? QList<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                      : QList<std::pair<int, int>>{{0, 1}})
            for (int y = start; y < frame.picture.height(); y += step)
                rows.append(y);
        QList<int> indices;
        for (int y : rows)
            indices += indicesOf(frame.picture, y, palette);
        file += lzwBlocks(indices, std::max(bits, 2));
    }
    return file + ';';
}

} // namespace testpictures
