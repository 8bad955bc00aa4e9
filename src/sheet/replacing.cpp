// Whether the node under the picture's name may be replaced, and the new file made to stand for
// it. QSaveFile keeps the permission bits only; owner, group, ACL and attributes are done here.
#include "sheet/replacing.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace picturefile {

bool mayReplace(unsigned mode, int writeError, Failure *failure)
{
    if (mode == 0)
        return true;
    if (!S_ISREG(mode))
        return failNotAFile(failure, mode);
    // Also for a program run by root: the user marked the picture as not to be changed.
    if ((mode & 0222) == 0)
        return fail(failure, Why::ReadOnlyPicture, EACCES);
    if (writeError != 0)
        return failSystem(failure, writeError);
    return true;
}

namespace {

bool copyAttributes(int fd, const Target &old, Failure *failure)
{
    bool hasAcl = false;
    for (const auto &[name, value] : old.attributes) {
        hasAcl = hasAcl || name == "system.posix_acl_access";
        if (::fsetxattr(fd, name.constData(), value.constData(), size_t(value.size()), 0) != 0)
            return failSystem(failure, errno);
    }
    // An ACL the folder hands down to new files would grant what the old file did not.
    if (!hasAcl && ::fremovexattr(fd, "system.posix_acl_access") != 0 && errno != ENODATA &&
        errno != ENOTSUP)
        return failSystem(failure, errno);
    return true;
}

} // namespace

bool takeOver(int fd, const Target &old, Failure *failure)
{
    const struct stat &was = old.status;
    struct stat mine{};
    if (::fstat(fd, &mine) != 0)
        return failSystem(failure, errno);
    // A group that cannot be kept is let go, as a copy would; another owner is not.
    if ((mine.st_uid != was.st_uid || mine.st_gid != was.st_gid) &&
        ::fchown(fd, was.st_uid, was.st_gid) != 0 && mine.st_uid != was.st_uid)
        return fail(failure, Why::OwnerWouldChange, errno);
    // Before the mode: setting the ACL sets the group bits to its mask.
    if (!copyAttributes(fd, old, failure))
        return false;
    if (::fstat(fd, &mine) != 0)
        return failSystem(failure, errno);
    // After the owner: a change of owner clears the set-id bits. A file system that stores no
    // modes (FAT) gives every file the same one, so there is nothing to change there; where a
    // change fails, the new file may keep a mode that grants nobody more than the old one did.
    const mode_t wanted = was.st_mode & 07777;
    const mode_t have = mine.st_mode & 07777;
    if (have != wanted && ::fchmod(fd, wanted) != 0 && (have & ~wanted) != 0)
        return failSystem(failure, errno);
    return true;
}

} // namespace picturefile
