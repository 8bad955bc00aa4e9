// Keeping and reopening the picture.
#include "sheet/picturefile.h"

#include "app/frmmain.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using picturefile::Failure;
using picturefile::Why;

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

bool fail(Failure *failure, Why why, int error, const QString &detail = QString())
{
    if (failure)
        *failure = {why, error,
                    detail.isEmpty() && error ? QString::fromLocal8Bit(strerror(error)) : detail};
    return false;
}

bool failSystem(Failure *failure, int error)
{
    return fail(failure, whyOf(error), error);
}

bool failNotAFile(Failure *failure, mode_t mode)
{
    return S_ISDIR(mode) ? fail(failure, Why::NotAFile, EISDIR)
                         : fail(failure, Why::NotAFile, 0, QStringLiteral("Not a regular file"));
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// A folder readable for its entries and its sync, or else only as a place to work in.
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

// A keep's temporary file: the picture's name, a dot and six letters or digits.
bool isTemporaryName(const char *entry, const QByteArray &name)
{
    if (std::strncmp(entry, name.constData(), size_t(name.size())) != 0 ||
        entry[name.size()] != '.')
        return false;
    const char *tail = entry + name.size() + 1;
    int letters = 0;
    for (; tail[letters]; ++letters) {
        const char c = tail[letters];
        if (letters == 6 ||
            !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return letters == 6;
}

QByteArray temporaryName(const QByteArray &name)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temporary = name + '.';
    for (int i = 0; i < 6; ++i)
        temporary += letters[QRandomGenerator::system()->bounded(62)];
    return temporary;
}

// What killed keeps left beside the picture, and nothing else: regular files under the
// temporary name that no keep has touched for a while. What cannot be removed stays.
void removeLeftovers(int folder, const QByteArray &name)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR *entries = ::fdopendir(fd);
    if (!entries) {
        ::close(fd);
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent *entry = ::readdir(entries)) {
        struct stat status{};
        if (isTemporaryName(entry->d_name, name) &&
            ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && now - status.st_mtime >= picturefile::LeftoverAgeSeconds)
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(entries);
}

// Where a keep writes: the name itself, or for a link the file it leads to, in its own folder.
struct Target {
    Descriptor folder;
    QByteArray name;
    bool exists = false;
    struct stat status{};
};

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

// May the file be replaced by another under its name, with its owner, group and mode?
bool mayReplace(const Target &target, Failure *failure)
{
    if (!target.exists)
        return true;
    if (!S_ISREG(target.status.st_mode))
        return failNotAFile(failure, target.status.st_mode);
    // Also for a program run by root: the user marked the picture as not to be changed.
    if ((target.status.st_mode & 0222) == 0)
        return fail(failure, Why::ReadOnlyPicture, EACCES);
    if (::faccessat(target.folder.get(), target.name.constData(), W_OK, AT_EACCESS) != 0)
        return failSystem(failure, errno);
    return true;
}

bool takeOver(int fd, const struct stat &old, Failure *failure)
{
    struct stat mine{};
    if (::fstat(fd, &mine) != 0)
        return failSystem(failure, errno);
    if ((mine.st_uid != old.st_uid || mine.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0 && mine.st_uid != old.st_uid)
        return fail(failure, Why::OwnerWouldChange, errno);
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        return failSystem(failure, errno);
    return true;
}

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

// The new picture gets its name only once it is whole, and replaces the old one in one step.
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
    bool done = (!target.exists || takeOver(file.get(), target.status, failure)) &&
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
        return fail(failure, Why::FolderUnknown, 0,
                    QStringLiteral("The program's own folder cannot be found"));
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
    if (!followLinks(&target, failure) || !mayReplace(target, failure))
        return false;
    const QByteArray bytes = encodeBmp(image, failure);
    if (bytes.isEmpty() || !replace(target, bytes, failure))
        return false;
    // The new name is on disk only once its folder is; a power cut after the notice must not
    // bring back the picture before. For a link that is the folder of the file it leads to.
    ::fsync(target.folder.get());
    return true;
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

// A bitmap whose pixel data would start past its end holds no picture; Qt would show black.
bool bitmapDataPastEnd(const QByteArray &bytes)
{
    if (bytes.size() < 14 || !bytes.startsWith("BM"))
        return false;
    const auto at = [&](int i) { return quint32(uchar(bytes[i])); };
    const quint32 offset = at(10) | at(11) << 8 | at(12) << 16 | at(13) << 24;
    return offset >= quint64(bytes.size());
}

// Qt tells no size for a bitmap beyond its limits, so its header is read here for it.
QSize bitmapSize(const QByteArray &bytes)
{
    if (bytes.size() < 30 || !bytes.startsWith("BM"))
        return QSize();
    const auto at = [&](int i) { return quint32(uchar(bytes[i])); };
    const auto u32 = [&](int i) {
        return at(i) | at(i + 1) << 8 | at(i + 2) << 16 | at(i + 3) << 24;
    };
    if (u32(14) < 40)
        return QSize();
    return QSize(std::abs(qint32(u32(18))), std::abs(qint32(u32(22))));
}

QImage decodeBytes(const QByteArray &bytes, Failure *failure)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The format is told by the content, so a PNG saved under the bitmap's name opens too.
    QImageReader reader(&buffer);
    reader.setAllocationLimit(picturefile::AllocationLimitMiB);
    if (reader.format() == "gif" && !gifFrameFillsPicture(bytes)) {
        fail(failure, Why::NotAPicture, 0,
             QStringLiteral("The first frame of the GIF picture does not fill it"));
        return QImage();
    }
    if (reader.format() == "bmp" && bitmapDataPastEnd(bytes)) {
        fail(failure, Why::NotAPicture, 0,
             QStringLiteral("The bitmap's pixel data lies past the end of the file"));
        return QImage();
    }
    // Rows that a cut-short file never delivers stay as the reader found them, so it is given a
    // cleared picture to read into rather than fresh memory.
    QImage image;
    // A bitmap stored top row first tells its height as a negative number.
    QSize size(reader.size().width(), std::abs(reader.size().height()));
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid())
        size = bitmapSize(bytes);
    if (size.isValid()) {
        // Of a picture whose depth is not told, at least one bit to the pixel.
        const int bits =
            format != QImage::Format_Invalid ? QImage::toPixelFormat(format).bitsPerPixel() : 1;
        const qint64 needed = qint64(size.width()) * size.height() * bits / 8;
        if (needed > qint64(picturefile::AllocationLimitMiB) * 1024 * 1024) {
            fail(failure, Why::TooLarge, 0,
                 QStringLiteral("The picture is %1 x %2 pixels, more than %3 MiB")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(picturefile::AllocationLimitMiB));
            return QImage();
        }
    }
    if (size.isValid() && format != QImage::Format_Invalid) {
        image = QImage(size, format);
        if (image.isNull()) {
            fail(failure, Why::NoMemory, ENOMEM);
            return QImage();
        }
        image.fill(0);
    }
    if (!reader.read(&image)) {
        const bool known =
            reader.error() == QImageReader::UnsupportedFormatError && !reader.format().isEmpty();
        fail(failure, known ? Why::UnsupportedFormat : Why::NotAPicture, 0, reader.errorString());
        return QImage();
    }
    return image;
}

// Reads what a regular file holds: its size's worth, more only if it grows, never past the cap.
bool readFile(const QByteArray &path, QByteArray *bytes, Failure *failure)
{
    if (path.isEmpty())
        return fail(failure, Why::FolderUnknown, 0,
                    QStringLiteral("The program's own folder cannot be found"));
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
    if (status.st_size > picturefile::MaxFileBytes)
        return fail(failure, Why::TooLarge, EFBIG);
    const Descriptor fd(
        ::openat(folder.get(), name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return failSystem(failure, errno);
    if (::fstat(fd.get(), &status) != 0)
        return failSystem(failure, errno);
    if (!S_ISREG(status.st_mode))
        return failNotAFile(failure, status.st_mode);
    bytes->resize(qsizetype(std::min<qint64>(status.st_size, picturefile::MaxFileBytes)) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes->size()) {
            if (filled > picturefile::MaxFileBytes)
                return fail(failure, Why::TooLarge, EFBIG);
            bytes->resize(std::min<qsizetype>(filled + 65536, picturefile::MaxFileBytes + 1));
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

namespace picturefile {

QByteArray pathBesideProgram()
{
    // The link's own bytes: a folder whose name is not valid in the locale's encoding is kept.
    QByteArray executable;
    for (qsizetype size = 256; size <= 1024 * 1024; size *= 2) {
        executable.resize(size);
        const ssize_t length = ::readlink("/proc/self/exe", executable.data(), size_t(size));
        if (length < 0)
            return QByteArray();
        if (length < size) {
            executable.truncate(length);
            const qsizetype slash = executable.lastIndexOf('/');
            return slash < 0 ? QByteArray() : executable.left(slash + 1) + "Image.bmp";
        }
    }
    return QByteArray();
}

QString displayPath(const QByteArray &path)
{
    return path.isEmpty() ? QStringLiteral("Image.bmp") : QFile::decodeName(path);
}

QImage decode(const QByteArray &bytes, Failure *failure)
{
    try {
        return decodeBytes(bytes, failure);
    } catch (const std::bad_alloc &) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QImage();
    }
}

QImage decode(const QByteArray &bytes, QString *reason)
{
    Failure failure;
    QImage image = decode(bytes, &failure);
    if (image.isNull() && reason)
        *reason = failure.detail;
    return image;
}

QImage read(const QByteArray &path, Failure *failure)
{
    try {
        QByteArray bytes;
        if (!readFile(path, &bytes, failure))
            return QImage();
        return decodeBytes(bytes, failure);
    } catch (const std::bad_alloc &) {
        fail(failure, Why::NoMemory, ENOMEM);
        return QImage();
    }
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

void frmMain::btnSave_Click()
{
    CancelNotice();
    const QImage image = 画板->image();
    const QByteArray path = picturePath;
    picturefile::Failure failure;
    if (!picturefile::write(image, path, &failure)) {
        reportError(picturefile::Action::Keep, picturefile::displayPath(path), failure);
        return;
    }
    ShowNotice(QStringLiteral("とっておいたよん♪"));
}

void frmMain::btnOpen_Click()
{
    CancelNotice();
    const QByteArray path = picturePath;
    picturefile::Failure failure;
    QImage picture = picturefile::read(path, &failure);
    // Only the part the canvas can show is kept: the rest could never be seen or kept.
    const QRect shown = picture.rect().intersected(QRect(QPoint(), 画板->image().size()));
    if (!picture.isNull() && shown != picture.rect()) {
        picture = picture.copy(shown);
        if (picture.isNull())
            failure = {picturefile::Why::NoMemory, ENOMEM,
                       QString::fromLocal8Bit(strerror(ENOMEM))};
    }
    if (picture.isNull()) {
        reportError(picturefile::Action::Reopen, picturefile::displayPath(path), failure);
        return;
    }
    画板->setPicture(picture);
    ShowNotice(QStringLiteral("とりだしましたん♪"));
}
