// Turning a file's bytes into a picture through Qt's readers, with the guards they need: each
// guard is a case where a reader would show memory or black instead of refusing the file.
#include "sheet/picturefile.h"

#include <QBuffer>
#include <QImageReader>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace picturefile {

namespace {

// Qt's GIF reader leaves the parts of the picture that its first frame does not cover as the
// memory held them, so only a first frame that fills the whole picture is taken.
bool gifFrameFillsPicture(const QByteArray &bytes)
{
    const auto at = [&](qsizetype i) { return i < bytes.size() ? uchar(bytes[i]) : 0; };
    const auto word = [&](qsizetype i) { return at(i) | at(i + 1) << 8; };
    const int width = word(6), height = word(8);
    qsizetype i = 13;
    if (at(10) & 0x80) // the global colour table
        i += 3 * (2 << (at(10) & 7));
    // Extensions come before the first frame, each a label and blocks up to an empty one.
    while (i < bytes.size() && at(i) == '!') {
        i += 2;
        while (i < bytes.size() && at(i) != 0)
            i += at(i) + 1;
        ++i;
    }
    if (at(i) != ',')
        return true; // no frame: Qt refuses it itself
    return word(i + 1) == 0 && word(i + 3) == 0 && word(i + 5) == width && word(i + 7) == height;
}

// A bitmap whose pixel data would start past its end holds no picture; Qt would show black.
bool bitmapDataPastEnd(const QByteArray &bytes)
{
    if (bytes.size() < 14 || !bytes.startsWith("BM"))
        return false;
    const auto at = [&](int i) { return quint32(uchar(bytes[i])); };
    const quint32 offset = at(10) | at(11) << 8 | at(12) << 16 | at(13) << 24;
    return offset >= quint64(bytes.size());
}

// Qt tells no size for a bitmap beyond its limits, so its header is read here for it.
QSize bitmapSize(const QByteArray &bytes)
{
    if (bytes.size() < 30 || !bytes.startsWith("BM"))
        return QSize();
    const auto at = [&](int i) { return quint32(uchar(bytes[i])); };
    const auto u32 = [&](int i) {
        return at(i) | at(i + 1) << 8 | at(i + 2) << 16 | at(i + 3) << 24;
    };
    if (u32(14) < 40)
        return QSize();
    return QSize(std::abs(qint32(u32(18))), std::abs(qint32(u32(22))));
}

// Qt widens a 16-bit bitmap's channels of 5 or 6 bits by a shift, so that white comes out as
// (248, 248, 248). Each channel is spread over the whole range here, by repeating its bits, as
// other readers do.
void widenSixteenBitChannels(const QByteArray &bytes, QImage *image)
{
    const auto at = [&](int i) { return quint32(uchar(bytes[i])); };
    const auto u32 = [&](int i) {
        return at(i) | at(i + 1) << 8 | at(i + 2) << 16 | at(i + 3) << 24;
    };
    if (bytes.size() < 70 || !bytes.startsWith("BM") || u32(14) < 40 ||
        (at(28) | at(29) << 8) != 16)
        return;
    const bool fields = u32(30) == 3;
    if (u32(30) != 0 && !fields)
        return;
    const quint32 alphaMask = fields && u32(14) >= 56 ? u32(66) : 0;
    const quint32 masks[4] = {fields ? u32(54) : 0x7c00, fields ? u32(58) : 0x03e0,
                              fields ? u32(62) : 0x001f, alphaMask};
    int table[4][256];
    for (int c = 0; c < 4; ++c) {
        const int bits = std::popcount(masks[c] & 0xffff);
        for (int value = 0; value < 256; ++value) {
            const int kept = bits > 0 && bits < 8 ? value >> (8 - bits) : -1;
            int widened = 0;
            for (int shift = 8 - bits; kept >= 0 && shift > -bits; shift -= bits)
                widened |= shift >= 0 ? kept << shift : kept >> -shift;
            table[c][value] = kept >= 0 ? widened : value;
        }
    }
    if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32)
        *image = image->convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image->height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < image->width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(table[0][qRed(p)], table[1][qGreen(p)], table[2][qBlue(p)],
                            alphaMask ? table[3][qAlpha(p)] : qAlpha(p));
        }
    }
}

// Files a reader would show memory or black for instead of refusing them.
bool mayRead(const QByteArray &format, const QByteArray &bytes, Failure *failure)
{
    if (format == "gif" && !gifFrameFillsPicture(bytes))
        return fail(failure, Why::NotAPicture, 0,
                    QStringLiteral("The first frame of the GIF picture does not fill it"));
    if (format == "bmp" && bitmapDataPastEnd(bytes))
        return fail(failure, Why::NotAPicture, 0,
                    QStringLiteral("The bitmap's pixel data lies past the end of the file"));
    return true;
}

QImage decodeBytes(const QByteArray &bytes, Failure *failure)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The format is told by the content, so a PNG saved under the bitmap's name opens too.
    QImageReader reader(&buffer);
    reader.setAllocationLimit(AllocationLimitMiB);
    const bool bitmap = reader.format() == "bmp";
    if (!mayRead(reader.format(), bytes, failure))
        return QImage();
    // Rows that a cut-short file never delivers stay as the reader found them, so it is given a
    // cleared picture to read into rather than fresh memory.
    QImage image;
    // A bitmap stored top row first tells its height as a negative number.
    QSize size(reader.size().width(), std::abs(reader.size().height()));
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid())
        size = bitmapSize(bytes);
    if (size.isValid() && !fitsInMemory(size, failure))
        return QImage();
    if (size.isValid() && format != QImage::Format_Invalid) {
        image = QImage(size, format);
        if (image.isNull()) {
            fail(failure, Why::NoMemory, ENOMEM);
            return QImage();
        }
        image.fill(0);
    }
    if (!reader.read(&image)) {
        const bool known =
            reader.error() == QImageReader::UnsupportedFormatError && !reader.format().isEmpty();
        fail(failure, known ? Why::UnsupportedFormat : Why::NotAPicture, 0, reader.errorString());
        return QImage();
    }
    if (bitmap)
        widenSixteenBitChannels(bytes, &image);
    return image;
}

} // namespace

bool fitsInMemory(const QSize &size, Failure *failure)
{
    // Counted in pixels: a header may claim sides whose product times four passes 64 bits.
    if (qint64(size.width()) * size.height() <= qint64(AllocationLimitMiB) * 1024 * 1024 / 4)
        return true;
    return fail(failure, Why::TooLarge, 0,
                QStringLiteral("The picture is %1 x %2 pixels, more than %3 MiB")
                    .arg(size.width())
                    .arg(size.height())
                    .arg(AllocationLimitMiB));
}

QImage decode(const QByteArray &bytes, Failure *failure)
{
    try {
        return decodeBytes(bytes, failure);
    } catch (const std::bad_alloc &) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QImage();
    }
}

} // namespace picturefile
