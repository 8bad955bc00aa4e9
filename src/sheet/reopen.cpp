// The bounded read of the picture file. Not QFile: it names files by QString paths (a folder
// named in no encoding, a path longer than the system takes whole), and it opens a pipe or a
// device as readily as a file, and then waits on it or reads without end.
#include "sheet/folder.h"
#include "sheet/picturefile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace picturefile {

namespace {

// Reads what a regular file holds: its size's worth, more only if it grows, never past the cap.
bool readFile(const QByteArray &path, QByteArray *bytes, Failure *failure)
{
    if (path.isEmpty())
        return failFolderUnknown(failure);
    // Read relative to its folder, as it is kept, so that a path too long to name whole works.
    QByteArray folderPath;
    QByteArray name;
    splitPath(path, &folderPath, &name);
    const Descriptor folder(
        ::openat(AT_FDCWD, folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        return failSystem(failure, errno);
    // Nothing but a regular file is opened: opening a device or a pipe may do something or wait.
    struct stat status{};
    if (::fstatat(folder.get(), name.constData(), &status, 0) != 0)
        return failSystem(failure, errno);
    if (!S_ISREG(status.st_mode))
        return failNotAFile(failure, status.st_mode);
    if (status.st_size > MaxFileBytes)
        return fail(failure, Why::TooLarge, EFBIG);
    const Descriptor fd(
        ::openat(folder.get(), name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return failSystem(failure, errno);
    if (::fstat(fd.get(), &status) != 0)
        return failSystem(failure, errno);
    if (!S_ISREG(status.st_mode))
        return failNotAFile(failure, status.st_mode);
    bytes->resize(qsizetype(std::min<qint64>(status.st_size, MaxFileBytes)) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes->size()) {
            if (filled > MaxFileBytes)
                return fail(failure, Why::TooLarge, EFBIG);
            bytes->resize(std::min<qsizetype>(filled + 65536, MaxFileBytes + 1));
        }
        const ssize_t n = ::read(fd.get(), bytes->data() + filled, size_t(bytes->size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failSystem(failure, errno);
        if (n == 0)
            break;
        filled += n;
    }
    bytes->truncate(filled);
    return true;
}

} // namespace

QImage read(const QByteArray &path, Failure *failure)
{
    try {
        QByteArray bytes;
        if (!readFile(path, &bytes, failure))
            return QImage();
        return decode(bytes, failure);
    } catch (const std::bad_alloc &) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QImage();
    }
}

} // namespace picturefile
