// Turning a file's bytes into a picture through Qt's readers, with the guards they need: each
// guard is a case where a reader would show memory or black instead of refusing the file.
#include "sheet/picturefile.h"

#include <QBuffer>
#include <QImageReader>

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

QImage decodeBytes(const QByteArray &bytes, Failure *failure)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The format is told by the content, so a PNG saved under the bitmap's name opens too.
    QImageReader reader(&buffer);
    reader.setAllocationLimit(AllocationLimitMiB);
    if (reader.format() == "gif" && !gifFrameFillsPicture(bytes)) {
        fail(failure, Why::NotAPicture, 0,
             QStringLiteral("The first frame of the GIF picture does not fill it"));
        return QImage();
    }
    if (reader.format() == "bmp" && bitmapDataPastEnd(bytes)) {
        fail(failure, Why::NotAPicture, 0,
             QStringLiteral("The bitmap's pixel data lies past the end of the file"));
        return QImage();
    }
    // Rows that a cut-short file never delivers stay as the reader found them, so it is given a
    // cleared picture to read into rather than fresh memory.
    QImage image;
    // A bitmap stored top row first tells its height as a negative number.
    QSize size(reader.size().width(), std::abs(reader.size().height()));
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid())
        size = bitmapSize(bytes);
    if (size.isValid()) {
        // Of a picture whose depth is not told, at least one bit to the pixel.
        const int bits =
            format != QImage::Format_Invalid ? QImage::toPixelFormat(format).bitsPerPixel() : 1;
        if (!fitsInMemory(size, bits, failure))
            return QImage();
    }
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
    return image;
}

} // namespace

bool fitsInMemory(const QSize &size, int bitsPerPixel, Failure *failure)
{
    if (qint64(size.width()) * size.height() * bitsPerPixel / 8 <=
        qint64(AllocationLimitMiB) * 1024 * 1024)
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
