// The whole-file replace: the new picture gets its name only once it is whole, and replaces the
// old one in one step. Not QSaveFile: it names files by QString paths (a folder named in no
// encoding, a path longer than the system takes whole), replaces a pipe or a device as readily as
// a file, and its leftovers are named as a person names a copy.
#include "sheet/folder.h"
#include "sheet/leftovers.h"
#include "sheet/picturefile.h"
#include "sheet/replacing.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace picturefile {

namespace {

bool writeAll(int fd, const QByteArray &bytes, Failure *failure)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failSystem(failure, errno);
        done += n;
    }
    return ::fsync(fd) == 0 || failSystem(failure, errno);
}

QByteArray encodeBmp(const QImage &image, Failure *failure)
{
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull() && !image.isNull()) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QByteArray();
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "BMP");
    if (!writer.write(pixels)) {
        fail(failure, Why::Other, 0, writer.errorString());
        return QByteArray();
    }
    return bytes;
}

// The file is written unnamed where the file system allows it, so that a keep killed on the way
// leaves nothing; where it does not, under a temporary name.
bool replace(const Target &target, const QByteArray &bytes, Failure *failure)
{
    const int folder = target.folder.get();
    QByteArray temporary;
    Descriptor file(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    const bool unnamed = file.valid();
    if (!unnamed && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return failSystem(failure, errno);
    for (int attempt = 0; !unnamed && !file.valid() && attempt < 100; ++attempt) {
        temporary = temporaryName(target.name);
        file = Descriptor(
            ::openat(folder, temporary.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666));
        if (!file.valid() && errno != EEXIST)
            return failSystem(failure, errno);
    }
    if (!file.valid())
        return failSystem(failure, EEXIST);
    bool done = (!target.exists || takeOver(file.get(), target, failure)) &&
                writeAll(file.get(), bytes, failure);
    if (done && unnamed) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(file.get());
        do {
            temporary = temporaryName(target.name);
            done = ::linkat(AT_FDCWD, self.constData(), folder, temporary.constData(),
                            AT_SYMLINK_FOLLOW) == 0;
        } while (!done && errno == EEXIST);
        if (!done) {
            temporary.clear();
            failSystem(failure, errno);
        }
    }
    if (done && ::renameat(folder, temporary.constData(), folder, target.name.constData()) != 0)
        done = failSystem(failure, errno);
    if (!done && !temporary.isEmpty())
        ::unlinkat(folder, temporary.constData(), 0);
    return done;
}

bool writeFile(const QImage &image, const QByteArray &path, Failure *failure)
{
    if (path.isEmpty())
        return failFolderUnknown(failure);
    // Past a file-size limit a write fails with its reason instead of ending the program.
    static const bool sizeLimitIgnored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    Q_UNUSED(sizeLimitIgnored);

    Target target;
    QByteArray folder;
    splitPath(path, &folder, &target.name);
    target.folder = openFolder(AT_FDCWD, folder);
    if (!target.folder.valid())
        return failSystem(failure, errno);
    removeLeftovers(target.folder.get(), target.name);
    if (!followLinks(&target, failure))
        return false;
    int writeError = 0;
    if (target.exists &&
        ::faccessat(target.folder.get(), target.name.constData(), W_OK, AT_EACCESS) != 0)
        writeError = errno;
    if (!mayReplace(target.exists ? target.status.st_mode : 0, writeError, failure))
        return false;
    const QByteArray bytes = encodeBmp(image, failure);
    if (bytes.isEmpty() || !replace(target, bytes, failure))
        return false;
    // The new name is on disk only once its folder is; a power cut after the notice must not
    // bring back the picture before. For a link that is the folder of the file it leads to.
    ::fsync(target.folder.get());
    return true;
}

} // namespace

QImage overPicture(const QImage &canvas, const QImage &picture, Failure *failure)
{
    if (picture.isNull() || QRect(QPoint(), canvas.size()).contains(picture.rect()))
        return canvas;
    const QSize size = canvas.size().expandedTo(picture.size());
    if (!fitsInMemory(size, 32, failure))
        return QImage();
    QImage whole(size, QImage::Format_RGB32);
    if (whole.isNull()) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QImage();
    }
    // What neither shows (beside a picture narrower or shorter than the canvas) is left white.
    whole.fill(Qt::white);
    QPainter painter(&whole);
    painter.drawImage(0, 0, picture);
    painter.drawImage(0, 0, canvas);
    return whole;
}

bool write(const QImage &image, const QByteArray &path, Failure *failure)
{
    try {
        return writeFile(image, path, failure);
    } catch (const std::bad_alloc &) {
        return fail(failure, Why::NoMemory, ENOMEM);
    }
}

} // namespace picturefile
