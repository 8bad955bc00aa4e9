// Where the picture goes: beside the program's own file, in the folder that was the program's
// when it started. Not QCoreApplication::applicationDirPath(): it reads /proc/self/exe, which is
// the dynamic loader for a program started through it, and it hands back a QString, lossy for a
// folder named in no encoding.
#include "sheet/folder.h"
#include "sheet/picturefile.h"

#include <QFile>

#include <cerrno>
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

QByteArray handlePath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

bool sameNode(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

Place::Place(const QByteArray &path) : m_path(path)
{
    if (path.isEmpty())
        return;
    QByteArray folder;
    splitPath(path, &folder, &m_name);
    m_folder = openFolder(AT_FDCWD, folder);
    m_error = m_folder.valid() ? 0 : errno;
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

QString Place::shown() const
{
    if (!known())
        return QStringLiteral("Image.bmp");
    // The folder's path now, as the system knows it; the path it was named by where it has none
    // (it was removed, or its path is longer than a path may be).
    const QByteArray folder =
        m_folder.valid() ? linkText(handlePath(m_folder.get())) : QByteArray();
    if (!folder.startsWith('/') || folder.endsWith(" (deleted)"))
        return QFile::decodeName(m_path);
    return QFile::decodeName(folder == "/" ? folder + m_name : folder + '/' + m_name);
}

} // namespace picturefile
