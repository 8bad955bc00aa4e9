// Keeping and reopening the picture: the file's own bytes, the bitmap variants and other formats
// that open, and every failure, after which nothing is lost and the program goes on.
#include "sheetwindow.h"

#include "sheet/folder.h"
#include "sheet/picturefile.h"
#include "testpictures.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

using testpictures::bitmap;
using testpictures::Compression;
using testpictures::gif;

const QString newSheetNotice = QStringLiteral("紙をとりかえましたよ！");
const QString keepNotice = QStringLiteral("とっておいたよん♪");
const QString reopenNotice = QStringLiteral("とりだしましたん♪");
constexpr int CanvasWidth = 269;
constexpr int CanvasHeight = 277;

// A header that claims a picture of the given size, followed by a little pixel data only.
QByteArray bmpHeaderClaiming(int width, int height)
{
    QImage small(4, 4, QImage::Format_RGB32);
    small.fill(Qt::gray);
    QByteArray bytes = bitmap(small);
    qToLittleEndian<qint32>(width, bytes.data() + 18);
    qToLittleEndian<qint32>(height, bytes.data() + 22);
    return bytes + QByteArray(1024, '\x55');
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffff;
    for (char ch : bytes) {
        crc ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xedb88320 : crc >> 1;
    }
    return ~crc;
}

// A real PNG whose header is rewritten to claim the given size.
QByteArray pngHeaderClaiming(int width, int height)
{
    QImage small(4, 4, QImage::Format_RGB32);
    small.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "PNG");
    // Signature (8), IHDR length (4), "IHDR" (4), width, height, ...; the CRC after 13 bytes.
    qToBigEndian<quint32>(width, bytes.data() + 16);
    qToBigEndian<quint32>(height, bytes.data() + 20);
    qToBigEndian<quint32>(crc32(bytes.mid(12, 17)), bytes.data() + 29);
    return bytes;
}

// Reads a 24-bit uncompressed bitmap from its bytes, by the format's own rules.
QImage decodeBmp24(const QByteArray &b)
{
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    const int offset = int(u32(10));
    const int w = int(u32(18));
    const int h = int(u32(22));
    const int stride = (w * 3 + 3) / 4 * 4;
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const uchar *row =
            reinterpret_cast<const uchar *>(b.constData()) + offset + (h - 1 - y) * stride;
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
    }
    return image;
}

// The pixels of a bitmap as ImageMagick reads them, a decoder apart from Qt's.
QImage decodedElsewhere(const QByteArray &bytes)
{
    QProcess convert;
    convert.start(QStringLiteral("convert"), {"bmp:-", "-depth", "8", "rgb:-"});
    convert.write(bytes);
    convert.closeWriteChannel();
    convert.waitForFinished();
    const QByteArray rgb = convert.readAllStandardOutput();
    const int w = qFromLittleEndian<qint32>(bytes.constData() + 18);
    const int h = std::abs(qFromLittleEndian<qint32>(bytes.constData() + 22));
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3)); // in none of the pictures: what a failed decoder leaves shows
    for (int i = 0; i + 2 < rgb.size() && i / 3 < w * h; i += 3)
        image.setPixel(i / 3 % w, i / 3 / w,
                       qRgb(uchar(rgb[i]), uchar(rgb[i + 1]), uchar(rgb[i + 2])));
    return image;
}

// ---- Test pictures.

const QList<QRgb> sixteen = {
    qRgb(0, 0, 0),     qRgb(255, 255, 255), qRgb(255, 0, 0),     qRgb(0, 255, 0),
    qRgb(0, 0, 255),   qRgb(255, 255, 0),   qRgb(0, 255, 255),   qRgb(255, 0, 255),
    qRgb(128, 0, 0),   qRgb(0, 128, 0),     qRgb(0, 0, 128),     qRgb(128, 128, 0),
    qRgb(0, 128, 128), qRgb(128, 0, 128),   qRgb(192, 192, 192), qRgb(255, 162, 0)};

// Blocks of colour with a diagonal and a stretch of single differing pixels; with blocks only
// (for lossy formats), 16-pixel blocks on the compression's own grid.
QImage pattern(int w, int h, int colours, bool blocksOnly = false)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int i;
            if (blocksOnly)
                i = x / 16 + 3 * (y / 16);
            else if (x >= 20 && x < 27 && y < 8)
                i = x + y;
            else
                i = x / 8 + 3 * (y / 8) + (x == y ? 1 : 0);
            image.setPixel(x, y, sixteen[i % colours]);
        }
    }
    return image;
}

QByteArray saved(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// A 4 x 2 picture of four colours: 0 1 2 3 / 3 2 1 0.
QImage fourColours()
{
    QImage image(4, 2, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x) {
        image.setPixel(x, 0, sixteen[x]);
        image.setPixel(x, 1, sixteen[3 - x]);
    }
    return image;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What lies at a path: a file's bytes, or a directory's entries.
QString contentsOf(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("link to ") + info.symLinkTarget();
    if (info.isDir())
        return QStringLiteral("directory: ") +
               QDir(path)
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                   .join(u',');
    if (info.exists() && !info.isFile())
        return QStringLiteral("special file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("nothing");
    return QString::fromLatin1(file.readAll().toBase64());
}

// The most address space the process has ever held: an allocation counts here even where its
// pages are never touched.
long peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmPeak:"))
            return line.mid(7).trimmed().split(' ').first().toLong();
    return 0;
}

const QStringList leftovers = {QStringLiteral(".Image.bmp.pafuro-Old065"),
                               QStringLiteral(".Image.bmp.pafuro-New050")};
const QStringList userCopies = {
    QStringLiteral("Image.bmp.backup"), QStringLiteral("Image.bmp.201226"),
    QStringLiteral("Image.bmp.old123"), QStringLiteral("Image.bmp.SAVED1"),
    QStringLiteral("Image.bmp.Before")};

// An access ACL (owner rw, user 1001 rw, group r, mask rw, others nothing) and a user's note.
const std::pair<const char *, QByteArray> attributes[] = {
    {"system.posix_acl_access",
     QByteArray::fromHex("0200000001000600ffffffff02000600e903000004000400ffffffff10000600ffffffff"
                         "20000000ffffffff")},
    {"user.note", QByteArray("drawn by Hanako")}};

bool ageBy(const QString &path, int seconds)
{
    const std::time_t then = std::time(nullptr) - seconds;
    const timespec times[2] = {{then, 0}, {then, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

// The node at a path and, for a link, the one it leads to: kind, identity, owner and mode.
QString nodeOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat own{}, target{};
    const bool linked = ::lstat(name.constData(), &own) == 0;
    const bool leads = ::stat(name.constData(), &target) == 0;
    return QStringLiteral("%1 %2 %3 %4 | %5 %6 %7 %8")
        .arg(linked ? own.st_mode : 0)
        .arg(own.st_ino)
        .arg(own.st_uid)
        .arg(own.st_nlink)
        .arg(leads ? target.st_mode : 0)
        .arg(target.st_ino)
        .arg(target.st_uid)
        .arg(target.st_size);
}

// ---- File cases: what stands under the picture's name, a keep or a reopen through the file
// functions, and what must hold after. The window's part in a failure (no notice, no beep, one
// report) is the same for every reason and is checked with the message line.

const uid_t AnotherUser = 1001;
const uid_t Nobody = 65534;
const QByteArray good = testpictures::bitmap(pattern(37, 23, 16));

// A case's folder, with what the case changes around it, all put back when it goes: a kernel
// setting, the user the action runs as, a node swapped in between a check and its act.
struct Folder {
    QTemporaryDir dir;
    QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("Image.bmp")));
    picturefile::Place place{path};
    uid_t runAs = 0;
    QString cannot; // why the case cannot be made here
    bool swaps = false;
    QList<QPair<QString, QByteArray>> settings;

    ~Folder()
    {
        picturefile::betweenCheckAndAct = nullptr;
        for (const auto &[name, value] : settings)
            writeFile(name, value);
    }
    QString file(const QString &name) const { return dir.filePath(name); }
    QByteArray bytes(const QString &name) const { return QFile::encodeName(file(name)); }
    void at(const QString &name) { place = picturefile::Place(path = bytes(name)); }
    void write(const QByteArray &content, const QString &name = QStringLiteral("Image.bmp"))
    {
        if (!writeFile(file(name), content))
            cannot = QStringLiteral("cannot write ") + name;
    }
    void link(const QString &to) { QFile::link(to, QFile::decodeName(path)); }
    void pipe() { ::mkfifo(path.constData(), 0600); }
    void folder(const QString &name) { QDir(dir.path()).mkpath(name); }
    bool root(const char *forWhat)
    {
        if (::geteuid() != 0)
            cannot = QLatin1String(forWhat) + QStringLiteral(" needs root to make");
        return cannot.isEmpty();
    }
    void setKernel(const char *name)
    {
        const QString setting = QStringLiteral("/proc/sys/fs/") + QLatin1String(name);
        QFile file(setting);
        if (file.open(QIODevice::ReadOnly))
            settings.append({setting, file.readAll()});
        if (!file.isOpen() || !writeFile(setting, "1"))
            cannot = QStringLiteral("the kernel's link protections cannot be set here");
    }
    // A folder that every user may write and only its owner's files in it delete, as /tmp, with
    // a link or file in it made by another user.
    void shared(const std::function<bool()> &plant)
    {
        if (!root("another user's link or file"))
            return;
        setKernel("protected_symlinks");
        setKernel("protected_regular");
        folder(QStringLiteral("shared"));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        ::chmod(bytes(QStringLiteral("shared")).constData(), 01777);
        at(QStringLiteral("shared/Image.bmp"));
        const bool planted = ::seteuid(AnotherUser) == 0 && plant();
        if (::seteuid(0) != 0 || !planted)
            cannot = QStringLiteral("could not plant");
    }
    // Once, between the check of the node under the name and the act on it.
    void pipeAfterCheck()
    {
        swaps = true;
        picturefile::betweenCheckAndAct = [this, done = false]() mutable {
            if (!std::exchange(done, true) && ::unlink(path.constData()) == 0)
                pipe();
        };
    }
    QStringList entries(const QString &folder = QString()) const
    {
        return QDir(file(folder))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDir::Name);
    }
    struct stat node() const
    {
        struct stat status{};
        ::stat(path.constData(), &status);
        return status;
    }
};

struct FileCase {
    bool keep = false;
    picturefile::Why why = picturefile::Why::Other; // Other: the action succeeds
    std::function<void(Folder &)> setUp;
    // What else must hold afterwards; a keep that succeeded has kept the picture, and one that
    // failed has left the folder as it was.
    std::function<void(Folder &)> check;
};

void addFileCases()
{
    using W = picturefile::Why;
    using Step = std::function<void(Folder &)>;
    QTest::addColumn<FileCase>("fileCase");
    const auto reopen = [](const char *name, W why, Step setUp, Step check = nullptr) {
        QTest::newRow(name) << FileCase{false, why, setUp, check};
    };
    const auto keep = [](const char *name, W why, Step setUp, Step check = nullptr) {
        QTest::newRow(name) << FileCase{true, why, setUp, check};
    };
    const auto bytes = [](QByteArray content) {
        return [content](Folder &f) { f.write(content); };
    };
    QByteArray corrupt = good;
    qToLittleEndian<quint16>(7, corrupt.data() + 28); // 7 bits to the pixel
    qToLittleEndian<quint32>(9, corrupt.data() + 30);
    QByteArray pastEnd = good;
    qToLittleEndian<quint32>(quint32(good.size()), pastEnd.data() + 10);
    const Step directory = [](Folder &f) { f.folder(QStringLiteral("Image.bmp")); };
    const Step pipe = [](Folder &f) { f.pipe(); };
    const Step pipeAfterCheck = [](Folder &f) {
        f.write(good);
        f.pipeAfterCheck();
    };
    const Step pipeStays = [](Folder &f) {
        QCOMPARE(contentsOf(QFile::decodeName(f.path)), QStringLiteral("special file"));
        QCOMPARE(f.entries(), QStringList("Image.bmp"));
    };
    // The kernel refuses to follow a link that another user planted in a shared folder, to root
    // too, and keep and reopen both go by its answer.
    const auto plantedLink = [](const char *to) {
        return [to](Folder &f) {
            f.write("my notes\n", QStringLiteral("notes.txt"));
            f.shared(
                [&f, to] { return ::symlink(f.bytes(to).constData(), f.path.constData()) == 0; });
        };
    };
    const Step notesUntouched = [](Folder &f) {
        QFile notes(f.file(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::ReadOnly) && notes.readAll() == "my notes\n");
        QVERIFY(!QFile::exists(f.file(QStringLiteral(".bash_profile"))));
    };

    reopen("reopen: missing file", W::Missing, [](Folder &) {});
    reopen("reopen: empty file", W::NotAPicture, bytes({}));
    reopen("reopen: truncated header", W::NotAPicture, bytes(good.left(30)));
    reopen("reopen: not a picture", W::NotAPicture, bytes("no picture here\n"));
    reopen("reopen: corrupt header", W::NotAPicture, bytes(corrupt));
    reopen("reopen: bmp claiming 60000 x 60000", W::TooLarge,
           bytes(bmpHeaderClaiming(60000, 60000)));
    reopen("reopen: png claiming 60000 x 60000", W::TooLarge,
           bytes(pngHeaderClaiming(60000, 60000)));
    reopen("reopen: pixel data past the end", W::NotAPicture, bytes(pastEnd));
    reopen("reopen: a directory", W::NotAFile, directory);
    reopen("reopen: a device without end", W::NotAFile,
           [](Folder &f) { f.link(QStringLiteral("/dev/zero")); });
    reopen("reopen: a pipe that nobody writes", W::NotAFile, pipe);
    reopen("reopen: link to a missing file", W::Missing,
           [](Folder &f) { f.link(f.file(QStringLiteral("gone"))); });
    // What was checked is what is read: the pipe put in its place meanwhile is not opened.
    reopen("reopen: a pipe swapped in after the check", W::Other, pipeAfterCheck,
           [](Folder &f) { QVERIFY(S_ISFIFO(f.node().st_mode)); });
    reopen("reopen: another user's link in a shared folder", W::Permission,
           plantedLink("notes.txt"));

    keep("keep: onto a directory", W::NotAFile, directory);
    keep("keep: into a missing directory", W::Missing,
         [](Folder &f) { f.at(QStringLiteral("gone/Image.bmp")); });
    keep("keep: onto a pipe", W::NotAFile, pipe);
    keep("keep: through a link to a device", W::NotAFile, [](Folder &f) {
        if (f.root("a device node"))
            ::mknod(f.bytes(QStringLiteral("null")).constData(), S_IFCHR | 0666, makedev(1, 3));
        f.link(f.file(QStringLiteral("null")));
    });
    keep("keep: onto a read-only picture", W::ReadOnlyPicture, [](Folder &f) {
        f.write(good);
        ::chmod(f.path.constData(), 0444);
    });
    keep("keep: folder unknown", W::FolderUnknown,
         [](Folder &f) { f.place = picturefile::Place(); });
    // Written by the program run as another user than the picture's, in a folder and over a
    // file that both may write.
    keep("keep: onto another user's picture, not as root", W::OwnerWouldChange, [](Folder &f) {
        f.write(good);
        if (f.root("a picture of another user") && ::chown(f.path.constData(), 1000, 1000) == 0)
            ::chmod(f.path.constData(), 0666);
        ::chmod(QFile::encodeName(f.dir.path()).constData(), 0777);
        f.runAs = Nobody;
    });
    keep("keep: another user's link in a shared folder", W::Permission, plantedLink("notes.txt"),
         notesUntouched);
    keep("keep: another user's link to a missing file in a shared folder", W::Permission,
         plantedLink(".bash_profile"), notesUntouched);
    // The kernel would refuse root's shell a `>` onto it (fs.protected_regular).
    keep("keep: another user's file in a shared folder, as root", W::Permission, [](Folder &f) {
        f.shared([&f] {
            const int fd = ::open(f.path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
            return ::fchmod(fd, 0666) == 0 && ::write(fd, "BM", 2) == 2 && ::close(fd) == 0;
        });
    });
    keep("keep: a pipe swapped in after the check", W::NotAFile, pipeAfterCheck, pipeStays);
    keep("keep: into a folder removed since start", W::Missing, [](Folder &f) {
        f.folder(QStringLiteral("real"));
        f.at(QStringLiteral("real/Image.bmp"));
        QDir(f.dir.path()).rmdir(QStringLiteral("real"));
    });

    // Keeps that succeed.
    keep(
        "keep: over a picture, owner and mode kept", W::Other,
        [](Folder &f) {
            f.write(good);
            if (::geteuid() == 0)
                ::chown(f.path.constData(), 1000, 1000);
            // The group may read, one other user write: the group bits become the ACL's mask.
            ::chmod(f.path.constData(), 02640);
            for (const auto &[name, value] : attributes)
                if (::setxattr(f.path.constData(), name, value.constData(), size_t(value.size()),
                               0) != 0)
                    f.cannot = QStringLiteral("no attributes here");
        },
        [](Folder &f) {
            QCOMPARE(f.node().st_uid, ::geteuid() == 0 ? uid_t(1000) : ::geteuid());
            QCOMPARE(f.node().st_mode, mode_t(S_IFREG | 02660));
            for (const auto &[name, value] : attributes) {
                QByteArray kept(64, '\0');
                kept.truncate(::getxattr(f.path.constData(), name, kept.data(), 64));
                QCOMPARE(kept, value);
            }
            QCOMPARE(f.entries(), QStringList(QStringLiteral("Image.bmp")));
        });
    keep(
        "keep: through a link to a missing file", W::Other,
        [](Folder &f) { f.link(QStringLiteral("drawn.bmp")); },
        [](Folder &f) {
            QCOMPARE(QFileInfo(QFile::decodeName(f.path)).symLinkTarget(),
                     f.file(QStringLiteral("drawn.bmp")));
            QCOMPARE(f.entries(), QStringList({"Image.bmp", "drawn.bmp"}));
        });
    // The name gets the new picture; the other name keeps the old one.
    keep(
        "keep: over a hard-linked picture", W::Other,
        [](Folder &f) {
            f.write(good);
            ::link(f.path.constData(), f.bytes(QStringLiteral("second.bmp")).constData());
        },
        [](Folder &f) {
            QFile second(f.file(QStringLiteral("second.bmp")));
            QVERIFY(second.open(QIODevice::ReadOnly) && second.readAll() == good);
            QCOMPARE(f.node().st_nlink, nlink_t(1));
        });
    // Left by keeps killed 65 and 50 seconds ago: the younger may be a keep under way. Beside
    // them, copies the user made as long ago. Only the older leftover goes.
    keep(
        "keep: beside leftovers", W::Other,
        [](Folder &f) {
            for (const QString &name : leftovers + userCopies) {
                f.write(good, name);
                ageBy(f.file(name), name.endsWith("050") ? 50 : 65);
            }
        },
        [](Folder &f) {
            QStringList beside = userCopies + leftovers.mid(1) + QStringList("Image.bmp");
            beside.sort();
            QCOMPARE(f.entries(), beside);
        });
    // What a killed keep left beside the file a link leads to goes there too.
    keep(
        "keep: through a link, beside leftovers there", W::Other,
        [](Folder &f) {
            f.folder(QStringLiteral("sub"));
            f.write(good, QStringLiteral("sub/mine.bmp"));
            f.write(good, QStringLiteral("sub/.mine.bmp.pafuro-Old065"));
            ageBy(f.file(QStringLiteral("sub/.mine.bmp.pafuro-Old065")), 65);
            f.link(QStringLiteral("sub/mine.bmp"));
        },
        [](Folder &f) { QCOMPARE(f.entries(QStringLiteral("sub")), QStringList("mine.bmp")); });
    keep(
        "keep: into a folder named in no encoding", W::Other,
        [](Folder &f) {
            const QByteArray folder = QFile::encodeName(f.dir.path()) + "/caf\xe9";
            ::mkdir(folder.constData(), 0755);
            f.place = picturefile::Place(f.path = folder + "/Image.bmp");
        },
        [](Folder &f) {
            // Qt cannot name the folder to remove it.
            QCOMPARE(::unlink(f.path.constData()), 0);
            QCOMPARE(::rmdir(f.path.chopped(int(qstrlen("/Image.bmp"))).constData()), 0);
        });
    // Reading its attributes needs a read permission its user does not have; it is written in
    // its own file, which keeps them.
    keep(
        "keep: over a write-only picture with a note, as its owner", W::Other,
        [](Folder &f) {
            f.write(good);
            if (f.root("a picture of another user") &&
                ::chown(f.path.constData(), Nobody, Nobody) == 0)
                ::chmod(f.path.constData(), 0200);
            ::chmod(QFile::encodeName(f.dir.path()).constData(), 0755);
            f.runAs = Nobody;
            if (::setxattr(f.path.constData(), "user.note", "mine", 4, 0) != 0)
                f.cannot = QStringLiteral("no attributes here");
        },
        [](Folder &f) {
            char note[8] = {};
            QCOMPARE(::getxattr(f.path.constData(), "user.note", note, sizeof note), 4);
            QCOMPARE(f.node().st_mode, mode_t(S_IFREG | 0200));
        });
    // The folder is the one the program started in, whatever takes its name later.
    keep(
        "keep: after the folder was renamed and another took its name", W::Other,
        [](Folder &f) {
            f.folder(QStringLiteral("real"));
            f.at(QStringLiteral("real/Image.bmp"));
            QDir(f.dir.path()).rename(QStringLiteral("real"), QStringLiteral("real2"));
            f.folder(QStringLiteral("real"));
        },
        [](Folder &f) {
            QCOMPARE(f.entries(QStringLiteral("real")), QStringList());
            QCOMPARE(f.entries(QStringLiteral("real2")), QStringList("Image.bmp"));
            QCOMPARE(f.place.shown(), f.file(QStringLiteral("real2/Image.bmp")));
        });
}

} // namespace

Q_DECLARE_METATYPE(FileCase)
Q_DECLARE_METATYPE(QImage::Format)

class PictureFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // Keep, then a new sheet, then reopen: the same pixels, with the reopen's notice; also in a
    // folder so deep that the picture's whole path is longer than a path may be.
    void keepThenReopenIsExact_data()
    {
        QTest::addColumn<bool>("deep");
        QTest::newRow("beside the program") << false;
        QTest::newRow("folder near the longest path") << true;
    }

    void keepThenReopenIsExact()
    {
        QFETCH(bool, deep);
        SheetWindow t;
        // QTemporaryDir cannot remove folders deeper than the longest path; rm walks down them.
        const QByteArray part(200, 'd');
        const auto removeDeep = qScopeGuard([&] {
            if (deep)
                QProcess::execute("rm", {"-rf", t.dir.filePath(QString::fromLatin1(part))});
        });
        if (deep) {
            QByteArray folder = QFile::encodeName(t.dir.path());
            while (folder.size() + 1 + part.size() < PATH_MAX - 8) {
                folder += '/' + part;
                QCOMPARE(::mkdir(folder.constData(), 0700), 0);
            }
            folder += '/' + QByteArray(PATH_MAX - 8 - folder.size() - 1, 'e');
            QCOMPARE(::mkdir(folder.constData(), 0700), 0);
            t.setPicturePlace(picturefile::Place(folder + "/Image.bmp"));
            QVERIFY(t.picturePlace().path().size() > PATH_MAX);
        }
        SheetWindow::click(t.ui.赤色);
        t.stamp(20, 30);
        SheetWindow::click(t.ui.橙色);
        SheetWindow::click(t.ui.極太);
        t.stamp(268, 276);
        t.stamp(130, 140);
        const QImage painted = t.canvas();

        SheetWindow::click(t.ui.btnSave);
        QCOMPARE(t.ui.InfoDis->text(), keepNotice);
        SheetWindow::click(t.ui.btnNew);
        QVERIFY(notAll(t.canvas(), qRgb(255, 255, 255)).isEmpty());
        SheetWindow::click(t.ui.btnOpen);
        const QString wrong = firstDifference(t.canvas(), painted);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(t.ui.InfoDis->text(), reopenNotice);
        QCOMPARE(t.beeps, 3);
        QVERIFY(t.reports.isEmpty());
    }

    // The file is an uncompressed 24-bit bitmap, bottom row first, rows padded to four bytes.
    void fileHeader()
    {
        SheetWindow t;
        SheetWindow::click(t.ui.細い);
        SheetWindow::click(t.ui.赤色);
        t.stamp(0, 0);
        SheetWindow::click(t.ui.青色);
        t.stamp(268, 276);
        SheetWindow::click(t.ui.btnSave);

        const QByteArray b = t.pictureBytes();
        auto u16 = [&](int at) { return qFromLittleEndian<quint16>(b.constData() + at); };
        auto i32 = [&](int at) { return qFromLittleEndian<qint32>(b.constData() + at); };
        const int stride = 808; // 269 pixels of 3 bytes, padded to a multiple of 4
        QCOMPARE(b.size(), 54 + stride * CanvasHeight);
        QCOMPARE(b.left(2), QByteArray("BM"));
        QCOMPARE(i32(2), b.size());
        QCOMPARE(i32(10), 54);
        QCOMPARE(i32(14), 40);
        QCOMPARE(i32(18), CanvasWidth);
        QCOMPARE(i32(22), CanvasHeight); // positive: bottom-up
        QCOMPARE(u16(26), 1);
        QCOMPARE(u16(28), 24);
        QCOMPARE(i32(30), 0);

        // The first row in the file is the canvas's bottom row, the last its top.
        const QByteArray blueLast = QByteArray::fromHex("ff0000");
        const QByteArray redFirst = QByteArray::fromHex("0000ff");
        QCOMPARE(b.mid(54 + 268 * 3, 3), blueLast);
        QCOMPARE(b.mid(54 + 276 * stride, 3), redFirst);
        for (int row = 0; row < CanvasHeight; ++row)
            QCOMPARE(b.at(54 + row * stride + 807), '\0');
        const QString wrong = firstDifference(decodeBmp24(b), t.canvas());
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    void keepTwiceHoldsTheSecond()
    {
        SheetWindow t;
        t.stamp(50, 50);
        SheetWindow::click(t.ui.btnSave);
        SheetWindow::click(t.ui.紙の色[4]);
        SheetWindow::click(t.ui.btnNew);
        SheetWindow::click(t.ui.緑色);
        t.stamp(200, 100);
        const QImage second = t.canvas();
        SheetWindow::click(t.ui.btnSave);

        const QString wrong = firstDifference(decodeBmp24(t.pictureBytes()), second);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(t.beeps, 3);
        QCOMPARE(QDir(t.dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("Image.bmp")});
    }

    // Reopen, paint on, keep: the next reopen shows both.
    void paintingOnAReopenedPictureCarriesForward()
    {
        SheetWindow t;
        SheetWindow::click(t.ui.赤色);
        t.stamp(60, 60);
        SheetWindow::click(t.ui.btnSave);
        SheetWindow::click(t.ui.btnNew);
        SheetWindow::click(t.ui.btnOpen);
        SheetWindow::click(t.ui.青色);
        t.stamp(62, 60);
        t.stamp(150, 200);
        const QImage composite = t.canvas();
        QCOMPARE(composite.pixel(150, 200), qRgb(0, 0, 255));
        QCOMPARE(composite.pixel(57, 60), qRgb(255, 0, 0));
        SheetWindow::click(t.ui.btnSave);

        SheetWindow::click(t.ui.紙の色[7]);
        SheetWindow::click(t.ui.btnNew);
        SheetWindow::click(t.ui.btnOpen);
        const QString wrong = firstDifference(t.canvas(), composite);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    void reopenVariants_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<int>("edge"); // pixels next to a block's edge that are not compared

        const QImage two = pattern(37, 23, 2);
        const QImage many = pattern(37, 23, 16);
        QTest::newRow("bmp 1 bit") << bitmap(two, sixteen.mid(0, 2), {.bits = 1}) << two << 0 << 0;
        QTest::newRow("bmp 4 bit") << bitmap(many, sixteen, {.bits = 4}) << many << 0 << 0;
        QTest::newRow("bmp 8 bit") << bitmap(many, sixteen, {.bits = 8}) << many << 0 << 0;
        // Its channels of 5 or 6 bits span the whole range, as another decoder reads them.
        const QByteArray fiveFiveFive = bitmap(many, {}, {.bits = 16});
        QTest::newRow("bmp 16 bit") << fiveFiveFive << decodedElsewhere(fiveFiveFive) << 0 << 0;
        const QByteArray fiveSixFive = bitmap(
            many, {},
            {.bits = 16, .compression = Compression::BitFields, .masks = {0xf800, 0x07e0, 0x1f}});
        QTest::newRow("bmp 16 bit 5-6-5") << fiveSixFive << decodedElsewhere(fiveSixFive) << 0 << 0;
        QTest::newRow("bmp 24 bit") << bitmap(many) << many << 0 << 0;
        QTest::newRow("bmp 32 bit") << bitmap(many, {}, {.bits = 32}) << many << 0 << 0;
        QTest::newRow("bmp 4 bit RLE")
            << bitmap(many, sixteen, {.bits = 4, .compression = Compression::Rle4}) << many << 0
            << 0;
        QTest::newRow("bmp 8 bit RLE")
            << bitmap(many, sixteen, {.bits = 8, .compression = Compression::Rle8}) << many << 0
            << 0;
        QTest::newRow("bmp 24 bit top-down")
            << bitmap(many, {}, {.topDown = true}) << many << 0 << 0;
        const QImage large = pattern(300, 290, 16);
        QTest::newRow("bmp larger than the canvas") << bitmap(large) << large << 0 << 0;
        const QImage largeTopDown = pattern(280, 400, 16);
        QTest::newRow("bmp larger, top-down")
            << bitmap(largeTopDown, {}, {.topDown = true}) << largeTopDown << 0 << 0;
        QTest::newRow("png") << saved(many, "PNG") << many << 0 << 0;
        QTest::newRow("png larger than the canvas") << saved(large, "PNG") << large << 0 << 0;
        const QImage blocks = pattern(48, 32, 16, true);
        QTest::newRow("jpeg") << saved(blocks, "JPEG", 100) << blocks << 12 << 2;
        QTest::newRow("gif") << gif(QSize(4, 2), sixteen.mid(0, 4), {{fourColours()}})
                             << fourColours() << 0 << 0;
        // Clear where a band crosses the canvas's right edge: the same paper shows on both sides.
        QImage clear = pattern(420, 360, 16).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 360; ++y)
            for (int x = 240; x < 300; ++x)
                clear.setPixel(x, y, y < 180 ? qRgba(0, 0, 0, 0) : qRgba(255, 0, 0, 128));
        QTest::newRow("png with transparency, larger than the canvas")
            << saved(clear, "PNG") << clear << 1 << 0;
    }

    // Shown at the top-left at its own size, clipped by the canvas or leaving the rest in the
    // background colour; what was painted before is gone.
    void reopenVariants()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QImage, picture);
        QFETCH(int, tolerance);
        QFETCH(int, edge);
        SheetWindow t;
        SheetWindow::click(t.ui.紙の色[5]);
        SheetWindow::click(t.ui.btnNew);
        SheetWindow::click(t.ui.極太);
        t.stamp(5, 5);
        t.stamp(250, 260);
        QVERIFY(writeFile(QFile::decodeName(t.picturePlace().path()), bytes));

        SheetWindow::click(t.ui.btnOpen);
        QVERIFY2(t.reports.isEmpty(), t.reports.isEmpty() ? "" : qPrintable(t.reports[0].reason));
        QCOMPARE(t.ui.InfoDis->text(), reopenNotice);
        QCOMPARE(t.beeps, 2);
        const QRgb paper = qRgb(255, 0, 255);
        QImage expected(CanvasWidth, CanvasHeight, QImage::Format_RGB32);
        expected.fill(paper);
        QPainter(&expected).drawImage(0, 0, picture);
        const QImage canvas = t.canvas();
        // A lossy format blurs the colours across the edges of its blocks.
        for (int y = 0; y < std::min(CanvasHeight, picture.height()) && edge; ++y)
            for (int x = 0; x < std::min(CanvasWidth, picture.width()); ++x)
                if ((x + edge) % 16 < 2 * edge || (y + edge) % 16 < 2 * edge)
                    expected.setPixel(x, y, canvas.pixel(x, y));
        const QString wrong = firstDifference(canvas, expected, tolerance);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

        // A keep writes the canvas over the whole picture, also the part it cannot show, on the
        // same paper; once a new sheet has removed the picture, the canvas alone.
        SheetWindow::click(t.ui.btnSave);
        QImage whole(canvas.size().expandedTo(picture.size()), QImage::Format_RGB32);
        whole.fill(paper);
        QPainter painter(&whole);
        painter.drawImage(0, 0, picture);
        painter.drawImage(0, 0, canvas);
        painter.end();
        const QString wrongKept = firstDifference(decodeBmp24(t.pictureBytes()), whole, tolerance);
        QVERIFY2(wrongKept.isEmpty(), qPrintable(wrongKept));
        SheetWindow::click(t.ui.btnNew);
        SheetWindow::click(t.ui.btnSave);
        QCOMPARE(decodeBmp24(t.pictureBytes()).size(), canvas.size());
    }

    // Pixel data cut short: the reader shows the rows that are there (the bottom ones, as the
    // file holds them first) and leaves the rest black.
    void cutShortPixelDataOpens()
    {
        SheetWindow t;
        const QImage many = pattern(37, 23, 16);
        const QByteArray whole = bitmap(many);
        const int stride = 112;
        QVERIFY(
            writeFile(QFile::decodeName(t.picturePlace().path()), whole.left(54 + 10 * stride)));
        SheetWindow::click(t.ui.btnOpen);
        QVERIFY(t.reports.isEmpty());
        const QImage canvas = t.canvas();
        QImage expected = many.copy();
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 37; ++x)
                expected.setPixel(x, y, qRgb(0, 0, 0));
        const QString wrong = firstDifference(canvas.copy(0, 0, 37, 23), expected);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // The reader refuses what would take more memory than it is allowed, whatever Qt's default,
    // counted at the 32 bits to the pixel of the canvas whatever the file's depth.
    void allocationLimit_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<bool>("opens");
        QTest::newRow("5792 x 5792, 127.98 MiB") << 5792 << true;
        QTest::newRow("5800 x 5800, 128.3 MiB") << 5800 << false;
        QTest::newRow("2147483647 x 2147483647") << 2147483647 << false;
    }

    void allocationLimit()
    {
        QFETCH(int, side);
        QFETCH(bool, opens);
        picturefile::Failure failure;
        const QImage image = picturefile::decode(bmpHeaderClaiming(side, side), &failure);
        QCOMPARE(!image.isNull(), opens);
        QCOMPARE(failure.detail.isEmpty(), opens);
    }

    // Whatever a reopen takes, a keep writes whole over the canvas, and what a keep writes opens
    // again: a scan of 8-bit grey, and the canvas at 16 times the scale. A 1-bit picture as
    // large in memory as neither is refused by the reopen already.
    void keptWholeAndOpensAgain_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<bool>("opens");
        QTest::newRow("8-bit grey 5000 x 5000")
            << QSize(5000, 5000) << QImage::Format_Indexed8 << true;
        QTest::newRow("canvas at 16 times the scale, 4304 x 4432")
            << QSize(4304, 4432) << QImage::Format_RGB32 << true;
        QTest::newRow("1-bit 9000 x 9000") << QSize(9000, 9000) << QImage::Format_Mono << false;
    }

    void keptWholeAndOpensAgain()
    {
        QFETCH(QSize, size);
        QFETCH(QImage::Format, format);
        QFETCH(bool, opens);
        Folder f;
        QImage picture(size, format);
        if (format != QImage::Format_RGB32)
            picture.setColorTable({qRgb(90, 90, 90), qRgb(200, 200, 200)});
        picture.fill(format == QImage::Format_RGB32 ? qRgb(90, 90, 90) : 0u);
        QVERIFY(picture.save(QFile::decodeName(f.path), "BMP"));

        picturefile::Failure failure;
        const QImage reopened = picturefile::read(f.place, &failure);
        QCOMPARE(!reopened.isNull(), opens);
        if (!opens) {
            QCOMPARE(failure.why, picturefile::Why::TooLarge);
            return;
        }
        const QImage canvas = pattern(CanvasWidth, CanvasHeight, 16);
        const QImage whole = picturefile::overPicture(canvas, reopened, qRgb(0, 0, 0), &failure);
        QVERIFY2(picturefile::write(whole, f.place, &failure), qPrintable(failure.detail));
        const QImage kept = picturefile::read(f.place, &failure);
        QVERIFY2(!kept.isNull(), qPrintable(failure.detail));
        QImage expected = picture.convertToFormat(QImage::Format_RGB32);
        QPainter(&expected).drawImage(0, 0, canvas);
        const QString wrong = firstDifference(kept.convertToFormat(QImage::Format_RGB32), expected);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    void fileCases_data() { addFileCases(); }

    // A keep or reopen that fails says why and leaves the file as it was, within the memory a
    // reopen is allowed; one that succeeds has written or read the picture whole.
    void fileCases()
    {
        QFETCH(FileCase, fileCase);
        Folder f;
        fileCase.setUp(f);
        if (!f.cannot.isEmpty())
            QSKIP(qPrintable(f.cannot));
        const QImage canvas = pattern(CanvasWidth, CanvasHeight, 16);
        const QString shown = QFile::decodeName(f.path);
        const QString before = contentsOf(shown) + nodeOf(shown);
        const QStringList entries = f.entries();
        const long memoryBefore = peakMemoryKiB();

        picturefile::Failure failure;
        QVERIFY(!f.runAs || ::seteuid(f.runAs) == 0);
        const QImage read = fileCase.keep ? QImage() : picturefile::read(f.place, &failure);
        const bool done =
            fileCase.keep ? picturefile::write(canvas, f.place, &failure) : !read.isNull();
        QVERIFY(!f.runAs || ::seteuid(0) == 0);

        QVERIFY2(peakMemoryKiB() - memoryBefore < 100 * 1024,
                 qPrintable(QStringLiteral("peak address space grew by %1 KiB")
                                .arg(peakMemoryKiB() - memoryBefore)));
        const bool succeeds = fileCase.why == picturefile::Why::Other;
        QVERIFY2(done == succeeds, qPrintable(failure.detail));
        if (succeeds) {
            const QImage picture = fileCase.keep ? picturefile::read(f.place, &failure) : read;
            const QImage expected = fileCase.keep ? canvas : pattern(37, 23, 16);
            const QString wrong =
                firstDifference(picture.convertToFormat(QImage::Format_RGB32), expected);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong + failure.detail));
        } else {
            QCOMPARE(failure.why, fileCase.why);
            QVERIFY(!failure.detail.isEmpty());
            QCOMPARE(f.swaps ? before : contentsOf(shown) + nodeOf(shown), before);
            QCOMPARE(f.entries(), entries);
        }
        if (fileCase.check)
            fileCase.check(f);
    }

    void keepOntoASmallDisk_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("full disk") << false;
        QTest::newRow("read-only disk") << true;
    }

    // A keep that cannot be written whole leaves the old picture byte for byte and no stray file.
    void keepOntoASmallDisk()
    {
        QFETCH(bool, readOnly);
        SheetWindow t;
        const QString disk = t.dir.filePath("disk");
        QVERIFY(QDir().mkpath(disk));
        const QByteArray diskPath = QFile::encodeName(disk);
        if (::mount("tmpfs", diskPath.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(
                qPrintable(QStringLiteral("cannot mount a 64 KiB tmpfs here (%1); run the tests as "
                                          "root with mounting permitted to check a keep onto a "
                                          "full or read-only disk")
                               .arg(QString::fromLocal8Bit(strerror(errno)))));
        struct Unmount {
            QByteArray path;
            ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
        } unmount{diskPath};

        const QByteArray old = bitmap(pattern(37, 23, 16));
        t.setPicturePlace(picturefile::Place(QFile::encodeName(disk + "/Image.bmp")));
        QVERIFY(writeFile(disk + "/Image.bmp", old));
        const QString filler = disk + "/filler";
        if (readOnly) {
            QVERIFY(::mount("tmpfs", diskPath.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                            "size=64k") == 0);
        } else {
            // Full but for a little room, so that the keep fails part-way through its write.
            const int fd = ::open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            const QByteArray block(4096, 'x');
            off_t size = 0;
            while (::write(fd, block.constData(), block.size()) == block.size())
                size += block.size();
            QVERIFY(::ftruncate(fd, size - 16384) == 0);
            ::close(fd);
        }
        const QStringList entries = QDir(disk).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        SheetWindow::click(t.ui.btnNew);
        t.stamp(100, 100);
        const QImage canvas = t.canvas();
        SheetWindow::click(t.ui.btnSave);

        QCOMPARE(t.reports.size(), 1);
        QCOMPARE(t.reports[0].path, disk + "/Image.bmp");
        QCOMPARE(t.reports[0].why,
                 readOnly ? picturefile::Why::ReadOnlyDisk : picturefile::Why::DiskFull);
        QCOMPARE(t.beeps, 1);
        QCOMPARE(t.ui.InfoDis->text(), newSheetNotice);
        QVERIFY(!t.ui.InfoDisTime->isActive());
        QCOMPARE(t.canvas(), canvas);
        QCOMPARE(t.pictureBytes(), old);
        QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);

        // Once the disk is writable and large enough, the next keep succeeds.
        QVERIFY(::mount("tmpfs", diskPath.constData(), "tmpfs", MS_REMOUNT, "size=1m") == 0);
        SheetWindow::click(t.ui.btnSave);
        QCOMPARE(t.reports.size(), 1);
        QCOMPARE(t.ui.InfoDis->text(), keepNotice);
        const QString wrong = firstDifference(decodeBmp24(t.pictureBytes()), canvas);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // A USB stick's FAT, through FUSE as a desktop mounts it: it stores no modes or owners and
    // refuses to be asked to, so every keep after the first has a file to replace that way.
    void keepOntoAFatStick()
    {
        SheetWindow t;
        const QString image = t.dir.filePath("stick.img"), stick = t.dir.filePath("stick");
        QVERIFY(QDir().mkpath(stick));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(8 << 20));
        if (QProcess::execute("mkfs.fat", {image}) != 0 ||
            QProcess::execute("fusefat", {"-o", "rw+", image, stick}) != 0)
            QSKIP("no FAT through FUSE here (dosfstools, fusefat and /dev/fuse)");
        // The window holds the stick's folder open; it lets go before the stick is taken out.
        const auto unmount = qScopeGuard([&] {
            t.setPicturePlace(picturefile::Place());
            QVERIFY(QProcess::execute("fusermount", {"-u", stick}) == 0);
        });
        // Debian 13's fusefat cannot put a file in another's place by renaming it (EEXIST), as
        // every keep does; the kernel's vfat, with which a desktop mounts a stick, can.
        const QByteArray first = QFile::encodeName(stick + "/a"),
                         second = QFile::encodeName(stick + "/b");
        QVERIFY(QFile(first).open(QIODevice::WriteOnly) &&
                QFile(second).open(QIODevice::WriteOnly));
        const bool replaces =
            ::rename(second.constData(), first.constData()) == 0 || errno != EEXIST;
        ::unlink(first.constData());
        ::unlink(second.constData());
        if (!replaces)
            QSKIP("this FUSE FAT cannot rename a file over another");
        t.setPicturePlace(picturefile::Place(QFile::encodeName(stick + "/Image.bmp")));
        for (const int x : {50, 150}) {
            t.stamp(x, 100);
            SheetWindow::click(t.ui.btnSave);
            QVERIFY2(t.reports.isEmpty(),
                     t.reports.isEmpty() ? "" : qPrintable(t.reports[0].reason));
        }
        const QImage canvas = t.canvas();
        SheetWindow::click(t.ui.btnNew);
        SheetWindow::click(t.ui.btnOpen);
        QCOMPARE(t.canvas(), canvas);
        QCOMPARE(QDir(stick).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList("Image.bmp"));
    }
};

QTEST_MAIN(PictureFileTest)
#include "picturefile_test.moc"
