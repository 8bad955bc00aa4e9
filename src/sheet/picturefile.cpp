// Keeping and reopening the picture.
#include "sheet/picturefile.h"

#include "app/frmmain.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Qt words some refusals to open a file for writing in its own way; the system's are reported.
QString writeRefusal(const QString &path, const QFileDevice &file)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return QString::fromLocal8Bit(strerror(EISDIR));
        if (::access(name.constData(), W_OK) != 0)
            return QString::fromLocal8Bit(strerror(errno));
    }
    return file.errorString();
}

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

} // namespace

namespace picturefile {

QImage decode(const QByteArray &bytes, QString *reason)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The format is told by the content, so a PNG saved under the bitmap's name opens too.
    QImageReader reader(&buffer);
    reader.setAllocationLimit(AllocationLimitMiB);
    if (reader.format() == "gif" && !gifFrameFillsPicture(bytes)) {
        if (reason)
            *reason = QStringLiteral("The first frame of the GIF picture does not fill it");
        return QImage();
    }
    // Rows that a cut-short file never delivers stay as the reader found them, so it is given a
    // cleared picture to read into rather than fresh memory.
    QImage image;
    // A bitmap stored top row first tells its height as a negative number.
    const QSize size(reader.size().width(), std::abs(reader.size().height()));
    const QImage::Format format = reader.imageFormat();
    if (size.isValid() && format != QImage::Format_Invalid &&
        qint64(size.width()) * size.height() * QImage::toPixelFormat(format).bitsPerPixel() / 8 <=
            qint64(AllocationLimitMiB) * 1024 * 1024) {
        image = QImage(size, format);
        image.fill(0);
    }
    if (!reader.read(&image)) {
        if (reason)
            *reason = reader.errorString();
        return QImage();
    }
    return image;
}

QImage read(const QString &path, QString *reason)
{
    // Opened without waiting, so that a pipe under the picture's name cannot hold the window.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = QString::fromLocal8Bit(strerror(errno));
        return QImage();
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        *reason = QString::fromLocal8Bit(strerror(EISDIR));
        return QImage();
    }
    if (file.size() > MaxFileBytes) {
        *reason = QString::fromLocal8Bit(strerror(EFBIG));
        return QImage();
    }
    // Only so much is read of anything, also of a device that never ends (a link to /dev/zero).
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return QImage();
    }
    if (bytes.size() > MaxFileBytes) {
        *reason = QString::fromLocal8Bit(strerror(EFBIG));
        return QImage();
    }
    return decode(bytes, reason);
}

bool write(const QImage &image, const QString &path, QString *reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *reason = writeRefusal(path, file);
        return false;
    }
    QImageWriter writer(&file, "BMP");
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) {
        // The system's reason for a failed write comes out when the rest is flushed.
        file.flush();
        *reason = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *reason = file.errorString();
        return false;
    }
    // The new name is on disk only once its directory is; a power cut after the notice must
    // not bring back the picture before.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

} // namespace picturefile

void frmMain::btnSave_Click()
{
    CancelNotice();
    const QImage image = 画板->image();
    const QString path = picturePath;
    QString reason;
    if (!picturefile::write(image, path, &reason)) {
        reportError(path, reason);
        return;
    }
    ShowNotice(QStringLiteral("とっておいたよん♪"));
}

void frmMain::btnOpen_Click()
{
    CancelNotice();
    const QString path = picturePath;
    QString reason;
    const QImage picture = picturefile::read(path, &reason);
    if (picture.isNull()) {
        reportError(path, reason);
        return;
    }
    画板->setPicture(picture);
    ShowNotice(QStringLiteral("とりだしましたん♪"));
}
