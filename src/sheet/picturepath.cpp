// Where the picture goes: beside the program's own file, and through links to the file they lead
// to. Not QCoreApplication::applicationDirPath(): it reads /proc/self/exe, which is the dynamic
// loader for a program started through it, and it hands back a QString, lossy for a folder
// named in no encoding. Links are followed here because a keep must know the node it replaces.
#include "sheet/folder.h"
#include "sheet/picturefile.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace picturefile {

Descriptor::~Descriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Descriptor openFolder(int base, const QByteArray &folder)
{
    const int fd = ::openat(base, folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != EACCES)
        return Descriptor(fd);
    return Descriptor(::openat(base, folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

void splitPath(const QByteArray &path, QByteArray *folder, QByteArray *name)
{
    const qsizetype slash = path.lastIndexOf('/');
    *folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    *name = path.mid(slash + 1);
}

bool followLinks(Target *target, Failure *failure)
{
    for (int links = 0;; ++links) {
        if (target->name.isEmpty() || target->name == "." || target->name == "..")
            return fail(failure, Why::NotAFile, EISDIR);
        if (::fstatat(target->folder.get(), target->name.constData(), &target->status,
                      AT_SYMLINK_NOFOLLOW) != 0) {
            target->exists = false;
            return errno == ENOENT || failSystem(failure, errno);
        }
        target->exists = true;
        if (!S_ISLNK(target->status.st_mode))
            return true;
        if (links == 40)
            return failSystem(failure, ELOOP);
        QByteArray to(qsizetype(target->status.st_size) + PATH_MAX + 1, '\0');
        const ssize_t length = ::readlinkat(target->folder.get(), target->name.constData(),
                                            to.data(), size_t(to.size()));
        if (length < 0)
            return failSystem(failure, errno);
        to.truncate(length);
        QByteArray folder;
        splitPath(to, &folder, &target->name);
        if (to.contains('/')) {
            Descriptor next = openFolder(target->folder.get(), folder);
            if (!next.valid())
                return failSystem(failure, errno);
            target->folder = std::move(next);
        }
    }
}

namespace {

// A link's own bytes, whatever their encoding; empty if it cannot be read.
QByteArray linkText(const QByteArray &link)
{
    QByteArray text;
    for (qsizetype size = 256; size <= 1024 * 1024; size *= 2) {
        text.resize(size);
        const ssize_t length = ::readlink(link.constData(), text.data(), size_t(size));
        if (length < 0)
            return QByteArray();
        if (length < size)
            return text.left(length);
    }
    return QByteArray();
}

// The file this code was loaded from: the mapping that holds this very function. Its link under
// map_files is the name as bytes; the maps line's own copy is taken only where it holds no
// backslash, since the kernel writes a newline in a name as one.
QByteArray programFile()
{
    const auto here = quintptr(&programFile);
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return QByteArray();
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QByteArray range = line.left(line.indexOf(' '));
        const qsizetype dash = range.indexOf('-');
        bool startOk = false, endOk = false;
        const quintptr start = range.left(dash).toULongLong(&startOk, 16);
        const quintptr end = range.mid(dash + 1).toULongLong(&endOk, 16);
        if (dash < 0 || !startOk || !endOk || here < start || here >= end)
            continue;
        const QByteArray mapped = linkText("/proc/self/map_files/" + range);
        if (mapped.startsWith('/'))
            return mapped;
        const qsizetype slash = line.indexOf('/');
        return slash < 0 || line.contains('\\') ? QByteArray() : line.mid(slash);
    }
    return QByteArray();
}

} // namespace

QByteArray pathBesideProgram()
{
    const QByteArray program = programFile();
    const qsizetype slash = program.lastIndexOf('/');
    return slash < 0 ? QByteArray() : program.left(slash + 1) + "Image.bmp";
}

QString displayPath(const QByteArray &path)
{
    return path.isEmpty() ? QStringLiteral("Image.bmp") : QFile::decodeName(path);
}

} // namespace picturefile
