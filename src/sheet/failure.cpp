// What a failed step tells: the system's error numbers as the reasons the user is given.
#include "sheet/failure.h"

#include <cerrno>
#include <sys/stat.h>

namespace picturefile {

Why whyOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return Why::Missing;
    case EACCES:
    case EPERM: return Why::Permission;
    case EROFS: return Why::ReadOnlyDisk;
    case ENOSPC:
    case EDQUOT: return Why::DiskFull;
    case EISDIR:
    case ENXIO:
    case ENODEV: return Why::NotAFile;
    case ENOMEM: return Why::NoMemory;
    case EFBIG: return Why::FileSizeLimit;
    default: return Why::Other;
    }
}

bool fail(Failure *failure, Why why, int error, const QString &detail)
{
    if (failure)
        *failure = {why, error, detail.isEmpty() && error ? qt_error_string(error) : detail};
    return false;
}

bool failSystem(Failure *failure, int error)
{
    return fail(failure, whyOf(error), error);
}

bool failNotAFile(Failure *failure, unsigned mode)
{
    return S_ISDIR(mode) ? fail(failure, Why::NotAFile, EISDIR)
                         : fail(failure, Why::NotAFile, 0, QStringLiteral("Not a regular file"));
}

bool failFolderUnknown(Failure *failure)
{
    return fail(failure, Why::FolderUnknown, 0,
                QStringLiteral("The program's own folder cannot be found"));
}

} // namespace picturefile
