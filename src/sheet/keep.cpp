// The whole-file replace: the new picture gets its name only once it is whole, and takes the
// place of the very file that was checked, in one step. Not QSaveFile: it names files by QString
// paths (a folder named in no encoding, a path longer than the system takes whole), replaces a pipe
// or a device as readily as a file, and its leftovers are named as a person names a copy.
#include "sheet/folder.h"
#include "sheet/leftovers.h"
#include "sheet/picturefile.h"
#include "sheet/replacing.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
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

// Where something else took the checked node's name while the keep went on: it stays.
bool failTaken(int folder, const QByteArray &name, Failure *failure)
{
    struct stat now{};
    if (::fstatat(folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(now.st_mode))
        return failNotAFile(failure, now.st_mode);
    return failSystem(failure, EAGAIN);
}

// The old picture, moved to the temporary name by the exchange, is let go; anything else found
// there had taken the name since it was checked, and goes back.
bool settleExchange(const Target &target, const QByteArray &temporary, Failure *failure)
{
    const int folder = target.folder.get();
    struct stat away{};
    if (::fstatat(folder, temporary.constData(), &away, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameNode(away, target.status)) {
        ::unlinkat(folder, temporary.constData(), 0);
        return true;
    }
    if (::renameat2(folder, temporary.constData(), folder, target.name.constData(),
                    RENAME_EXCHANGE) == 0)
        ::unlinkat(folder, temporary.constData(), 0);
    return failTaken(folder, target.name, failure);
}

// Puts the finished file in the checked node's place and only there: the two swap names in one
// step, or where nothing was, the name is taken only if it is still free. A file system that can
// do neither (FAT through FUSE) gets a last look as close to the rename as it goes.
bool putInPlace(const Target &target, const QByteArray &temporary, Failure *failure)
{
    const int folder = target.folder.get();
    const char *from = temporary.constData();
    const char *to = target.name.constData();
    if (::renameat2(folder, from, folder, to,
                    target.exists() ? RENAME_EXCHANGE : RENAME_NOREPLACE) == 0)
        return !target.exists() || settleExchange(target, temporary, failure);
    const int error = errno;
    bool done = false;
    struct stat now{};
    const bool there = ::fstatat(folder, to, &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (error == EEXIST || there != target.exists() || (there && !sameNode(now, target.status)))
        failTaken(folder, target.name, failure);
    else if (error != EINVAL && error != ENOSYS)
        failSystem(failure, error);
    else
        done = ::renameat(folder, from, folder, to) == 0 || failSystem(failure, errno);
    if (!done)
        ::unlinkat(folder, from, 0);
    return done;
}

// Gives the finished unnamed file a temporary name beside the picture.
bool nameUnnamed(int file, int folder, const QByteArray &name, QByteArray *temporary,
                 Failure *failure)
{
    const QByteArray self = handlePath(file);
    for (;;) {
        *temporary = temporaryName(name);
        if (::linkat(AT_FDCWD, self.constData(), folder, temporary->constData(),
                     AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST) {
            temporary->clear();
            return failSystem(failure, errno);
        }
    }
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
    bool done = (!target.exists() || takeOver(file.get(), target, failure)) &&
                writeAll(file.get(), bytes, failure) &&
                (!unnamed || nameUnnamed(file.get(), folder, target.name, &temporary, failure));
    if (!done) {
        if (!temporary.isEmpty())
            ::unlinkat(folder, temporary.constData(), 0);
        return false;
    }
    if (betweenCheckAndAct)
        betweenCheckAndAct();
    return putInPlace(target, temporary, failure);
}

// A picture whose own attributes its user may not read (a write-only file) is written into its
// own file, which keeps them all. Room is taken first, so a full disk leaves the old picture.
bool rewrite(const Target &target, const QByteArray &bytes, Failure *failure)
{
    const Descriptor file(::open(handlePath(target.node.get()).constData(),
                                 O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        return failSystem(failure, errno);
    if (::fallocate(file.get(), 0, 0, bytes.size()) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        return failSystem(failure, errno);
    if (::ftruncate(file.get(), bytes.size()) != 0)
        return failSystem(failure, errno);
    return writeAll(file.get(), bytes, failure);
}

// A file the kernel made empty at the end of a link for a keep that then failed goes again.
void dropCreated(const Target &target)
{
    struct stat now{};
    if (::fstatat(target.folder.get(), target.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameNode(now, target.status) && now.st_size == 0)
        ::unlinkat(target.folder.get(), target.name.constData(), 0);
}

bool writeFile(const QImage &image, const Place &place, Failure *failure)
{
    Target target;
    if (!resolveForKeep(place, &target, failure)) {
        if (target.created)
            dropCreated(target);
        return false;
    }
    removeLeftovers(target.folder.get(), target.name);
    int writeError = 0;
    if (target.exists() &&
        ::faccessat(AT_FDCWD, handlePath(target.node.get()).constData(), W_OK, AT_EACCESS) != 0)
        writeError = errno;
    QByteArray bytes;
    bool done = mayReplace(target.exists() ? target.status.st_mode : 0, writeError, failure) &&
                !(bytes = encodeBmp(image, failure)).isEmpty();
    if (done)
        done = target.attributesUnreadable ? rewrite(target, bytes, failure)
                                           : replace(target, bytes, failure);
    if (!done && target.created)
        dropCreated(target);
    // The new name is on disk only once its folder is; a power cut after the notice must not
    // bring back the picture before. For a link that is the folder of the file it leads to.
    if (done)
        ::fsync(target.folder.get());
    return done;
}

} // namespace

QImage overPicture(const QImage &canvas, const QImage &picture, QRgb paper, Failure *failure)
{
    if (picture.isNull() || QRect(QPoint(), canvas.size()).contains(picture.rect()))
        return fitsInMemory(canvas.size(), failure) ? canvas : QImage();
    const QSize size = canvas.size().expandedTo(picture.size());
    if (!fitsInMemory(size, failure))
        return QImage();
    QImage whole(size, QImage::Format_RGB32);
    if (whole.isNull()) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QImage();
    }
    // The picture stands on the paper beyond the canvas as it does on it; so does what neither
    // shows, beside a picture narrower or shorter than the canvas.
    whole.fill(paper);
    QPainter painter(&whole);
    painter.drawImage(0, 0, picture);
    painter.drawImage(0, 0, canvas);
    return whole;
}

bool write(const QImage &image, const Place &place, Failure *failure)
{
    try {
        return writeFile(image, place, failure);
    } catch (const std::bad_alloc &) {
        return fail(failure, Why::NoMemory, ENOMEM);
    }
}

} // namespace picturefile
