// The bounded read of the picture file. Not QFile: it names files by QString paths (a folder
// named in no encoding, a path longer than the system takes whole), and it opens a pipe or a
// device as readily as a file, and then waits on it or reads without end. The file read is the
// one the kernel found under the name and that was checked, whatever takes the name meanwhile.
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
bool readFile(const Place &place, QByteArray *bytes, Failure *failure)
{
    struct stat status{};
    const Descriptor fd = openForReading(place, &status, failure);
    if (!fd.valid())
        return false;
    if (status.st_size > MaxFileBytes)
        return fail(failure, Why::TooLarge, EFBIG);
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

QImage read(const Place &place, Failure *failure)
{
    try {
        QByteArray bytes;
        if (!readFile(place, &bytes, failure))
            return QImage();
        return decode(bytes, failure);
    } catch (const std::bad_alloc &) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QImage();
    }
}

} // namespace picturefile
