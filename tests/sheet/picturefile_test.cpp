// Keeping and reopening the picture: the file's own bytes, the bitmap variants and other formats
// that open, and every failure, after which nothing is lost and the program goes on.
#include "sheetwindow.h"

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

enum class FileCase {
    Missing,
    Empty,
    Truncated,
    NotAPicture,
    CorruptHeader,
    HugeBmp,
    HugePng,
    Directory,
    EndlessDevice,
    Pipe,
    LinkToMissing,
    PixelDataPastEnd,
    KeepOntoDirectory,
    KeepIntoMissingDirectory,
    KeepOntoPipe,
    KeepThroughLinkToDevice,
    KeepOntoReadOnly,
    KeepFolderUnknown,
    KeepOntoAnotherUsersPicture,
    // Keeps that succeed, from here on.
    KeepOverAPicture,
    KeepThroughLinkToMissing,
    KeepOverHardLinkedPicture,
    KeepBesideLeftovers,
    KeepIntoUnencodedFolder,
};

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

// After a keep that succeeded: the canvas as it was, the notice, the new picture under the name
// and beside it what the case leaves; then the program goes on.
void checkKept(FileCase fileCase, SheetWindow &t, const QImage &canvas, const struct stat &old,
               const QByteArray &oldBytes)
{
    QVERIFY2(t.reports.isEmpty(), t.reports.isEmpty() ? "" : qPrintable(t.reports[0].reason));
    QCOMPARE(t.beeps, 2);
    QCOMPARE(t.w.InfoDis->text(), keepNotice);
    const QString wrong = firstDifference(t.canvas(), canvas);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    picturefile::Failure failure;
    const QImage kept = picturefile::read(t.w.picturePath, &failure);
    const QString wrongKept = firstDifference(kept.convertToFormat(QImage::Format_RGB32), canvas);
    QVERIFY2(wrongKept.isEmpty(), qPrintable(wrongKept + failure.detail));

    const QString path = QFile::decodeName(t.w.picturePath);
    struct stat now{};
    QCOMPARE(::lstat(t.w.picturePath.constData(), &now), 0);
    QStringList beside = {QStringLiteral("Image.bmp")};
    switch (fileCase) {
    case FileCase::KeepOverAPicture:
        QVERIFY(now.st_ino != old.st_ino);
        QCOMPARE(now.st_uid, old.st_uid);
        QCOMPARE(now.st_gid, old.st_gid);
        QCOMPARE(now.st_mode, mode_t(S_IFREG | 02660));
        for (const auto &[name, value] : attributes) {
            QByteArray attribute(64, '\0');
            attribute.truncate(::getxattr(t.w.picturePath.constData(), name, attribute.data(), 64));
            QCOMPARE(attribute, value);
        }
        break;
    case FileCase::KeepThroughLinkToMissing:
        QVERIFY(S_ISLNK(now.st_mode));
        QCOMPARE(QFileInfo(path).symLinkTarget(), t.dir.filePath("drawn.bmp"));
        beside.prepend(QStringLiteral("drawn.bmp"));
        break;
    case FileCase::KeepOverHardLinkedPicture: {
        // The name gets the new picture; the other name keeps the old one.
        QFile second(t.dir.filePath("second.bmp"));
        QVERIFY(second.open(QIODevice::ReadOnly));
        QCOMPARE(second.readAll(), oldBytes);
        QCOMPARE(now.st_nlink, nlink_t(1));
        beside.append(QStringLiteral("second.bmp"));
        break;
    }
    case FileCase::KeepBesideLeftovers:
        // Only the older leftover goes.
        beside += userCopies + leftovers.mid(1);
        break;
    case FileCase::KeepIntoUnencodedFolder: {
        // The folder held the picture only; Qt cannot name it to remove it.
        QVERIFY(S_ISREG(now.st_mode));
        QCOMPARE(::unlink(t.w.picturePath.constData()), 0);
        const QByteArray folder = t.w.picturePath.chopped(int(qstrlen("/Image.bmp")));
        QCOMPARE(::rmdir(folder.constData()), 0);
        beside.clear();
        break;
    }
    default: QFAIL("not a keep that succeeds");
    }
    beside.sort();
    QCOMPARE(QDir(t.dir.path())
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
             beside);

    SheetWindow::click(t.w.btnNew);
    QCOMPARE(t.beeps, 3);
}

} // namespace

Q_DECLARE_METATYPE(FileCase)
Q_DECLARE_METATYPE(picturefile::Why)

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
            t.w.picturePath = folder + "/Image.bmp";
            QVERIFY(t.w.picturePath.size() > PATH_MAX);
        }
        SheetWindow::click(t.w.赤色);
        t.stamp(20, 30);
        SheetWindow::click(t.w.橙色);
        SheetWindow::click(t.w.極太);
        t.stamp(268, 276);
        t.stamp(130, 140);
        const QImage painted = t.canvas();

        SheetWindow::click(t.w.btnSave);
        QCOMPARE(t.w.InfoDis->text(), keepNotice);
        SheetWindow::click(t.w.btnNew);
        QVERIFY(notAll(t.canvas(), qRgb(255, 255, 255)).isEmpty());
        SheetWindow::click(t.w.btnOpen);
        const QString wrong = firstDifference(t.canvas(), painted);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(t.w.InfoDis->text(), reopenNotice);
        QCOMPARE(t.beeps, 3);
        QVERIFY(t.reports.isEmpty());
    }

    // The file is an uncompressed 24-bit bitmap, bottom row first, rows padded to four bytes.
    void fileHeader()
    {
        SheetWindow t;
        SheetWindow::click(t.w.細い);
        SheetWindow::click(t.w.赤色);
        t.stamp(0, 0);
        SheetWindow::click(t.w.青色);
        t.stamp(268, 276);
        SheetWindow::click(t.w.btnSave);

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
        SheetWindow::click(t.w.btnSave);
        SheetWindow::click(t.w.紙の色[4]);
        SheetWindow::click(t.w.btnNew);
        SheetWindow::click(t.w.緑色);
        t.stamp(200, 100);
        const QImage second = t.canvas();
        SheetWindow::click(t.w.btnSave);

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
        SheetWindow::click(t.w.赤色);
        t.stamp(60, 60);
        SheetWindow::click(t.w.btnSave);
        SheetWindow::click(t.w.btnNew);
        SheetWindow::click(t.w.btnOpen);
        SheetWindow::click(t.w.青色);
        t.stamp(62, 60);
        t.stamp(150, 200);
        const QImage composite = t.canvas();
        QCOMPARE(composite.pixel(150, 200), qRgb(0, 0, 255));
        QCOMPARE(composite.pixel(57, 60), qRgb(255, 0, 0));
        SheetWindow::click(t.w.btnSave);

        SheetWindow::click(t.w.紙の色[7]);
        SheetWindow::click(t.w.btnNew);
        SheetWindow::click(t.w.btnOpen);
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
        // Five bits keep a component to within 8.
        QTest::newRow("bmp 16 bit") << bitmap(many, {}, {.bits = 16}) << many << 8 << 0;
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
        SheetWindow::click(t.w.紙の色[5]);
        SheetWindow::click(t.w.btnNew);
        SheetWindow::click(t.w.極太);
        t.stamp(5, 5);
        t.stamp(250, 260);
        QVERIFY(writeFile(QFile::decodeName(t.w.picturePath), bytes));

        SheetWindow::click(t.w.btnOpen);
        QVERIFY2(t.reports.isEmpty(), t.reports.isEmpty() ? "" : qPrintable(t.reports[0].reason));
        QCOMPARE(t.w.InfoDis->text(), reopenNotice);
        QCOMPARE(t.beeps, 2);
        QImage expected(CanvasWidth, CanvasHeight, QImage::Format_RGB32);
        expected.fill(qRgb(255, 0, 255));
        for (int y = 0; y < std::min(CanvasHeight, picture.height()); ++y)
            for (int x = 0; x < std::min(CanvasWidth, picture.width()); ++x)
                expected.setPixel(x, y, picture.pixel(x, y));
        const QImage canvas = t.canvas();
        // A lossy format blurs the colours across the edges of its blocks.
        for (int y = 0; y < std::min(CanvasHeight, picture.height()) && edge; ++y)
            for (int x = 0; x < std::min(CanvasWidth, picture.width()); ++x)
                if ((x + edge) % 16 < 2 * edge || (y + edge) % 16 < 2 * edge)
                    expected.setPixel(x, y, canvas.pixel(x, y));
        const QString wrong = firstDifference(canvas, expected, tolerance);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

        // A keep writes the canvas over the whole picture, also the part it cannot show; once a
        // new sheet has removed the picture, the canvas alone.
        SheetWindow::click(t.w.btnSave);
        QImage whole = picture.copy(QRect(QPoint(), canvas.size().expandedTo(picture.size())));
        QPainter(&whole).drawImage(0, 0, canvas);
        QCOMPARE(decodeBmp24(t.pictureBytes()), whole);
        SheetWindow::click(t.w.btnNew);
        SheetWindow::click(t.w.btnSave);
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
        QVERIFY(writeFile(QFile::decodeName(t.w.picturePath), whole.left(54 + 10 * stride)));
        SheetWindow::click(t.w.btnOpen);
        QVERIFY(t.reports.isEmpty());
        const QImage canvas = t.canvas();
        QImage expected = many.copy();
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 37; ++x)
                expected.setPixel(x, y, qRgb(0, 0, 0));
        const QString wrong = firstDifference(canvas.copy(0, 0, 37, 23), expected);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // The reader refuses what would take more memory than it is allowed, whatever Qt's default.
    void allocationLimit_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<bool>("opens");
        QTest::newRow("4000 x 4000, 61 MiB") << 4000 << true;
        QTest::newRow("4200 x 4200, 67 MiB") << 4200 << false;
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

    void fileCases_data()
    {
        using W = picturefile::Why;
        QTest::addColumn<FileCase>("fileCase");
        QTest::addColumn<picturefile::Why>("why");
        QTest::newRow("reopen: missing file") << FileCase::Missing << W::Missing;
        QTest::newRow("reopen: empty file") << FileCase::Empty << W::NotAPicture;
        QTest::newRow("reopen: truncated header") << FileCase::Truncated << W::NotAPicture;
        QTest::newRow("reopen: not a picture") << FileCase::NotAPicture << W::NotAPicture;
        QTest::newRow("reopen: corrupt header") << FileCase::CorruptHeader << W::NotAPicture;
        QTest::newRow("reopen: bmp claiming 60000 x 60000") << FileCase::HugeBmp << W::TooLarge;
        QTest::newRow("reopen: png claiming 60000 x 60000") << FileCase::HugePng << W::TooLarge;
        QTest::newRow("reopen: a directory") << FileCase::Directory << W::NotAFile;
        QTest::newRow("reopen: a device without end") << FileCase::EndlessDevice << W::NotAFile;
        QTest::newRow("reopen: a pipe that nobody writes") << FileCase::Pipe << W::NotAFile;
        QTest::newRow("reopen: link to a missing file") << FileCase::LinkToMissing << W::Missing;
        QTest::newRow("reopen: pixel data past the end")
            << FileCase::PixelDataPastEnd << W::NotAPicture;
        QTest::newRow("keep: onto a directory") << FileCase::KeepOntoDirectory << W::NotAFile;
        QTest::newRow("keep: into a missing directory")
            << FileCase::KeepIntoMissingDirectory << W::Missing;
        QTest::newRow("keep: onto a pipe") << FileCase::KeepOntoPipe << W::NotAFile;
        QTest::newRow("keep: through a link to a device")
            << FileCase::KeepThroughLinkToDevice << W::NotAFile;
        QTest::newRow("keep: onto a read-only picture")
            << FileCase::KeepOntoReadOnly << W::ReadOnlyPicture;
        QTest::newRow("keep: folder unknown") << FileCase::KeepFolderUnknown << W::FolderUnknown;
        QTest::newRow("keep: onto another user's picture, not as root")
            << FileCase::KeepOntoAnotherUsersPicture << W::OwnerWouldChange;
        // Keeps that succeed; their reason is not looked at.
        QTest::newRow("keep: over a picture, owner and mode kept")
            << FileCase::KeepOverAPicture << W::Other;
        QTest::newRow("keep: through a link to a missing file")
            << FileCase::KeepThroughLinkToMissing << W::Other;
        QTest::newRow("keep: over a hard-linked picture")
            << FileCase::KeepOverHardLinkedPicture << W::Other;
        QTest::newRow("keep: beside leftovers") << FileCase::KeepBesideLeftovers << W::Other;
        QTest::newRow("keep: into a folder named in no encoding")
            << FileCase::KeepIntoUnencodedFolder << W::Other;
    }

    // A failed action stops at the failed step: canvas unchanged, no notice, no beep, the pending
    // fall-back stopped, one report with the path and a reason; the file as it was.
    void fileCases()
    {
        QFETCH(FileCase, fileCase);
        QFETCH(picturefile::Why, why);
        SheetWindow t;
        const QString path = QFile::decodeName(t.w.picturePath);
        const QByteArray good = bitmap(pattern(37, 23, 16));
        bool keep = false;
        uid_t runAs = 0;
        switch (fileCase) {
        case FileCase::Missing: break;
        case FileCase::Empty: QVERIFY(writeFile(path, {})); break;
        case FileCase::Truncated: QVERIFY(writeFile(path, good.left(30))); break;
        case FileCase::NotAPicture: QVERIFY(writeFile(path, "no picture here\n")); break;
        case FileCase::CorruptHeader: {
            QByteArray bad = good;
            qToLittleEndian<quint16>(7, bad.data() + 28); // 7 bits to the pixel
            qToLittleEndian<quint32>(9, bad.data() + 30);
            QVERIFY(writeFile(path, bad));
            break;
        }
        case FileCase::HugeBmp: QVERIFY(writeFile(path, bmpHeaderClaiming(60000, 60000))); break;
        case FileCase::HugePng: QVERIFY(writeFile(path, pngHeaderClaiming(60000, 60000))); break;
        case FileCase::Directory: QVERIFY(QDir(t.dir.path()).mkdir("Image.bmp")); break;
        case FileCase::EndlessDevice: QVERIFY(QFile::link("/dev/zero", path)); break;
        case FileCase::Pipe:
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            break;
        case FileCase::KeepOntoDirectory:
            QVERIFY(QDir(t.dir.path()).mkdir("Image.bmp"));
            keep = true;
            break;
        case FileCase::KeepIntoMissingDirectory:
            t.w.picturePath = QFile::encodeName(t.dir.filePath("gone/Image.bmp"));
            keep = true;
            break;
        case FileCase::LinkToMissing: QVERIFY(QFile::link(t.dir.filePath("gone"), path)); break;
        case FileCase::PixelDataPastEnd: {
            QByteArray bad = good;
            qToLittleEndian<quint32>(quint32(good.size()), bad.data() + 10);
            QVERIFY(writeFile(path, bad));
            break;
        }
        case FileCase::KeepOntoPipe:
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            keep = true;
            break;
        case FileCase::KeepThroughLinkToDevice: {
            const QByteArray device = QFile::encodeName(t.dir.filePath("null"));
            if (::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                QSKIP("making a device node needs root");
            QVERIFY(QFile::link(t.dir.filePath("null"), path));
            keep = true;
            break;
        }
        case FileCase::KeepOntoReadOnly:
            QVERIFY(writeFile(path, good));
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                    QFileDevice::ReadOther));
            keep = true;
            break;
        case FileCase::KeepFolderUnknown:
            t.w.picturePath.clear();
            keep = true;
            break;
        case FileCase::KeepOntoAnotherUsersPicture:
            // Written by the program run as another user than the picture's, in a folder and
            // over a file that both may write.
            if (::geteuid() != 0)
                QSKIP("a picture of another user needs root to make");
            QVERIFY(writeFile(path, good));
            QCOMPARE(::chown(t.w.picturePath.constData(), 1000, 1000), 0);
            QCOMPARE(::chmod(t.w.picturePath.constData(), 0666), 0);
            QCOMPARE(::chmod(QFile::encodeName(t.dir.path()).constData(), 0777), 0);
            runAs = 65534;
            keep = true;
            break;
        case FileCase::KeepOverAPicture:
            QVERIFY(writeFile(path, good));
            if (::geteuid() == 0)
                QCOMPARE(::chown(t.w.picturePath.constData(), 1000, 1000), 0);
            QCOMPARE(::chmod(t.w.picturePath.constData(), 02640), 0);
            // The group may read, one other user write: the group bits become the ACL's mask.
            for (const auto &[name, value] : attributes)
                QCOMPARE(::setxattr(t.w.picturePath.constData(), name, value.constData(),
                                    size_t(value.size()), 0),
                         0);
            keep = true;
            break;
        case FileCase::KeepThroughLinkToMissing:
            QVERIFY(QFile::link(QStringLiteral("drawn.bmp"), path));
            keep = true;
            break;
        case FileCase::KeepOverHardLinkedPicture:
            QVERIFY(writeFile(path, good));
            QCOMPARE(::link(t.w.picturePath.constData(),
                            QFile::encodeName(t.dir.filePath("second.bmp")).constData()),
                     0);
            keep = true;
            break;
        case FileCase::KeepBesideLeftovers:
            // Left by keeps killed 65 and 50 seconds ago: the younger may be a keep under way.
            // Beside them, copies the user made as long ago.
            for (const QString &name : leftovers + userCopies)
                QVERIFY(writeFile(t.dir.filePath(name), good) &&
                        ageBy(t.dir.filePath(name), name.endsWith("050") ? 50 : 65));
            keep = true;
            break;
        case FileCase::KeepIntoUnencodedFolder: {
            const QByteArray folder = QFile::encodeName(t.dir.path()) + "/caf\xe9";
            QCOMPARE(::mkdir(folder.constData(), 0755), 0);
            t.w.picturePath = folder + "/Image.bmp";
            keep = true;
            break;
        }
        }

        SheetWindow::click(t.w.btnNew);
        t.stamp(100, 100);
        const QImage canvas = t.canvas();
        const QString shown = picturefile::displayPath(t.w.picturePath);
        const QString before = contentsOf(shown) + nodeOf(shown);
        const QStringList entries =
            QDir(t.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        struct stat old{};
        ::stat(t.w.picturePath.constData(), &old);
        const long memoryBefore = peakMemoryKiB();

        QVERIFY(!runAs || ::seteuid(runAs) == 0);
        SheetWindow::click(keep ? t.w.btnSave : t.w.btnOpen);
        QVERIFY(!runAs || ::seteuid(0) == 0);

        QVERIFY2(peakMemoryKiB() - memoryBefore < 100 * 1024,
                 qPrintable(QStringLiteral("peak address space grew by %1 KiB")
                                .arg(peakMemoryKiB() - memoryBefore)));
        if (fileCase >= FileCase::KeepOverAPicture) {
            checkKept(fileCase, t, canvas, old, good);
            return;
        }
        QCOMPARE(t.reports.size(), 1);
        QCOMPARE(t.reports[0].path, shown);
        QVERIFY(!t.reports[0].reason.isEmpty());
        QCOMPARE(t.reports[0].why, why);
        QCOMPARE(t.beeps, 1);
        QCOMPARE(t.w.InfoDis->text(), newSheetNotice);
        QVERIFY(!t.w.InfoDisTime->isActive());
        const QString wrong = firstDifference(t.canvas(), canvas);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(contentsOf(shown) + nodeOf(shown), before);
        QCOMPARE(QDir(t.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);

        // The program goes on.
        SheetWindow::click(t.w.btnNew);
        QCOMPARE(t.beeps, 2);
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
        t.w.picturePath = QFile::encodeName(disk + "/Image.bmp");
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

        SheetWindow::click(t.w.btnNew);
        t.stamp(100, 100);
        const QImage canvas = t.canvas();
        SheetWindow::click(t.w.btnSave);

        QCOMPARE(t.reports.size(), 1);
        QCOMPARE(t.reports[0].path, disk + "/Image.bmp");
        QCOMPARE(t.reports[0].why,
                 readOnly ? picturefile::Why::ReadOnlyDisk : picturefile::Why::DiskFull);
        QCOMPARE(t.beeps, 1);
        QCOMPARE(t.w.InfoDis->text(), newSheetNotice);
        QVERIFY(!t.w.InfoDisTime->isActive());
        QCOMPARE(t.canvas(), canvas);
        QCOMPARE(t.pictureBytes(), old);
        QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);

        // Once the disk is writable and large enough, the next keep succeeds.
        QVERIFY(::mount("tmpfs", diskPath.constData(), "tmpfs", MS_REMOUNT, "size=1m") == 0);
        SheetWindow::click(t.w.btnSave);
        QCOMPARE(t.reports.size(), 1);
        QCOMPARE(t.w.InfoDis->text(), keepNotice);
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
        const auto unmount = qScopeGuard([&] { QProcess::execute("fusermount", {"-u", stick}); });
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
        t.w.picturePath = QFile::encodeName(stick + "/Image.bmp");
        for (const int x : {50, 150}) {
            t.stamp(x, 100);
            SheetWindow::click(t.w.btnSave);
            QVERIFY2(t.reports.isEmpty(),
                     t.reports.isEmpty() ? "" : qPrintable(t.reports[0].reason));
        }
        const QImage canvas = t.canvas();
        SheetWindow::click(t.w.btnNew);
        SheetWindow::click(t.w.btnOpen);
        QCOMPARE(t.canvas(), canvas);
        QCOMPARE(QDir(stick).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList("Image.bmp"));
    }
};

QTEST_MAIN(PictureFileTest)
#include "picturefile_test.moc"
