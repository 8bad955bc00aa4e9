// The node under the picture's name, as the kernel resolves it: links are followed by the kernel
// (so fs.protected_symlinks holds for the program as for a shell), the node is pinned by a handle
// and every check is made on that handle, so that nothing put in its place meanwhile is opened.
#include "sheet/folder.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace picturefile {

std::function<void()> betweenCheckAndAct;

namespace {

// A number the kernel shows under /proc/sys, 0 where it shows none.
int kernelSetting(const char *path)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
}

// fs.protected_regular: in a sticky folder that others may write, the kernel refuses a shell's
// `>` onto a file that is neither the user's own nor the folder owner's, also to root. A keep
// replaces the file instead of opening it, which the kernel does not guard, so it asks here.
int stickyRefusal(const struct stat &folder, const struct stat &file)
{
    if (!(folder.st_mode & S_ISVTX) || file.st_uid == folder.st_uid || file.st_uid == ::geteuid())
        return 0;
    const int level = kernelSetting("/proc/sys/fs/protected_regular");
    const bool othersWrite = folder.st_mode & S_IWOTH;
    const bool groupWrites = folder.st_mode & S_IWGRP;
    return level > 0 && (othersWrite || (level > 1 && groupWrites)) ? EACCES : 0;
}

// Calls `get` with a buffer until it fits; the attributes may change in between.
template <typename Get> bool fetch(QByteArray *into, Get get)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return false;
        into->resize(size);
        const ssize_t got = get(into->data(), size_t(size));
        if (got >= 0) {
            into->truncate(got);
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

// Whether an attribute goes with the picture: the access ACL, which the group bits answer to,
// and the user's own. Others belong to the system (a security label) or need privileges.
bool carried(const char *name)
{
    return std::strncmp(name, "user.", 5) == 0 || std::strcmp(name, "system.posix_acl_access") == 0;
}

bool readAttributes(Target *target, Failure *failure)
{
    const QByteArray node = handlePath(target->node.get());
    QByteArray names;
    if (!fetch(&names,
               [&](char *to, size_t size) { return ::listxattr(node.constData(), to, size); }))
        return errno == ENOTSUP || errno == ENOSYS || failSystem(failure, errno);
    for (const QByteArray &name : names.split('\0')) {
        if (name.isEmpty() || !carried(name.constData()))
            continue;
        QByteArray value;
        if (fetch(&value, [&](char *to, size_t size) {
                return ::getxattr(node.constData(), name.constData(), to, size);
            }))
            target->attributes.append({name, value});
        else if (errno == EACCES || errno == EPERM)
            target->attributesUnreadable = true;
        else if (errno != ENODATA)
            return failSystem(failure, errno);
    }
    return true;
}

// The folder of a file reached through a link: the kernel's own name for the file, checked to
// lead to that very file.
bool locate(Target *target, Failure *failure)
{
    QByteArray path(PATH_MAX, '\0');
    const ssize_t length =
        ::readlink(handlePath(target->node.get()).constData(), path.data(), size_t(path.size()));
    if (length < 0 || length == path.size())
        return failSystem(failure, length < 0 ? errno : ENAMETOOLONG);
    path.truncate(length);
    QByteArray folder;
    splitPath(path, &folder, &target->name);
    target->folder = openFolder(AT_FDCWD, folder);
    struct stat there{};
    if (!path.startsWith('/') || !target->folder.valid() ||
        ::fstatat(target->folder.get(), target->name.constData(), &there, AT_SYMLINK_NOFOLLOW) !=
            0 ||
        !sameNode(there, target->status))
        return failSystem(failure, ENOENT);
    return true;
}

// Where nothing stands under the name, or a link that leads nowhere yet: the kernel makes the
// file at its end, as for a shell's `>`, unless its rules refuse to follow that link.
bool resolveMissing(const Place &place, Target *target, Failure *failure)
{
    struct stat own{};
    if (::fstatat(place.folder(), place.name().constData(), &own, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            return failSystem(failure, errno);
        target->folder = Descriptor(::fcntl(place.folder(), F_DUPFD_CLOEXEC, 0));
        target->name = place.name();
        return target->folder.valid() || failSystem(failure, errno);
    }
    if (!S_ISLNK(own.st_mode))
        return failSystem(failure, EAGAIN);
    target->node =
        Descriptor(::openat(place.folder(), place.name().constData(),
                            O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!target->node.valid())
        return failSystem(failure, errno);
    target->created = true;
    return true;
}

// The folder the node lies in: the place's own, or for a link its target's, where the rule for
// files in shared folders is asked.
bool settle(const Place &place, Target *target, Failure *failure)
{
    struct stat own{};
    if (::fstatat(place.folder(), place.name().constData(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameNode(own, target->status)) {
        target->folder = Descriptor(::fcntl(place.folder(), F_DUPFD_CLOEXEC, 0));
        target->name = place.name();
    } else if (!locate(target, failure)) {
        return false;
    }
    struct stat folder{};
    if (::fstat(target->folder.get(), &folder) != 0)
        return failSystem(failure, errno);
    const int refusal = stickyRefusal(folder, target->status);
    return refusal == 0 || failSystem(failure, refusal);
}

} // namespace

bool resolveForKeep(const Place &place, Target *target, Failure *failure)
{
    if (!place.known())
        return failFolderUnknown(failure);
    if (place.folderError())
        return failSystem(failure, place.folderError());
    const QByteArray &name = place.name();
    if (name == "." || name == "..")
        return fail(failure, Why::NotAFile, EISDIR);
    // A folder removed since the program started has no place for a new name.
    struct stat folder{};
    if (::fstat(place.folder(), &folder) != 0)
        return failSystem(failure, errno);
    if (folder.st_nlink == 0)
        return failSystem(failure, ENOENT);
    target->node = Descriptor(::openat(place.folder(), name.constData(), O_PATH | O_CLOEXEC));
    if (!target->node.valid()) {
        if (errno != ENOENT)
            return failSystem(failure, errno);
        if (!resolveMissing(place, target, failure))
            return false;
        if (!target->exists())
            return true;
    }
    if (::fstat(target->node.get(), &target->status) != 0)
        return failSystem(failure, errno);
    if (!S_ISREG(target->status.st_mode))
        return failNotAFile(failure, target->status.st_mode);
    return settle(place, target, failure) && readAttributes(target, failure);
}

Descriptor openForReading(const Place &place, struct stat *status, Failure *failure)
{
    if (!place.known()) {
        failFolderUnknown(failure);
        return Descriptor();
    }
    if (place.folderError()) {
        failSystem(failure, place.folderError());
        return Descriptor();
    }
    const Descriptor node(::openat(place.folder(), place.name().constData(), O_PATH | O_CLOEXEC));
    if (!node.valid() || ::fstat(node.get(), status) != 0) {
        failSystem(failure, errno);
        return Descriptor();
    }
    // Nothing but a regular file is opened: opening a device or a pipe may do something or wait.
    if (!S_ISREG(status->st_mode)) {
        failNotAFile(failure, status->st_mode);
        return Descriptor();
    }
    if (betweenCheckAndAct)
        betweenCheckAndAct();
    Descriptor file(
        ::open(handlePath(node.get()).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid())
        failSystem(failure, errno);
    return file;
}

} // namespace picturefile
