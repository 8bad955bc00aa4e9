// A keep killed at any moment leaves the picture file whole: the old picture or the new one,
// never a mix, a stub or nothing. A child process keeps two large pictures in turn through the
// real click handler and is sent SIGKILL at random moments, hundreds of times.
#include "app/application.h"
#include "app/frmmain.h"
#include "sheet/picturefile.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the child tells the parent through a shared page, which outlives a kill.
struct Progress {
    std::atomic<std::uint32_t> keeps;  // keeps completed
    std::atomic<std::uint32_t> inKeep; // 1 while the click handler runs
};

// Two pictures larger than the canvas; each keep writes one whole.
QImage bigPicture(int which)
{
    QImage image(400, 320, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = which == 0 ? qRgb(x & 255, y & 255, (x + y) & 255)
                                 : qRgb(255 - (y & 255), (x * 3) & 255, ((x ^ y) * 7) & 255);
    }
    return image;
}

Progress *mapProgress(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT, 0600);
    if (fd < 0 || ::ftruncate(fd, sizeof(Progress)) != 0)
        return nullptr;
    void *page = ::mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    return page == MAP_FAILED ? nullptr : static_cast<Progress *>(page);
}

// The child: keeps picture 0, says so, then keeps 1, 0, 1 ... until it is killed.
int keepForEver(const QString &directory)
{
    Progress *progress = mapProgress(directory + QStringLiteral("/progress"));
    if (!progress)
        return 2;
    frmMain::Services services;
    services.beep = [] {};
    services.picturePlace =
        picturefile::Place(QFile::encodeName(directory + QStringLiteral("/Image.bmp")));
    services.reportError = [](picturefile::Action, const QString &path,
                              const picturefile::Failure &failure) {
        std::fprintf(stderr, "keep failed: %s: %s\n", qPrintable(path), qPrintable(failure.detail));
        std::_Exit(3);
    };
    frmMain w(std::move(services));
    const QImage pictures[2] = {bigPicture(0), bigPicture(1)};
    for (std::uint32_t n = 0;; ++n) {
        w.controls().画板->setPicture(pictures[n % 2]);
        progress->inKeep = 1;
        w.controls().btnSave->click();
        progress->inKeep = 0;
        progress->keeps = n + 1;
        if (n == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
}

} // namespace

class KillKeepTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void killedKeepsLeaveAWholePicture()
    {
        const QImage expected[2] = {bigPicture(0), bigPicture(1)};

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString picture = dir.filePath(QStringLiteral("Image.bmp"));
        Progress *progress = mapProgress(dir.filePath(QStringLiteral("progress")));
        QVERIFY(progress);

        std::mt19937 random(20240601);
        QElapsedTimer clock;
        clock.start();
        int kills = 0, midKeep = 0, found[2] = {0, 0};
        std::uint32_t keeps = 0;
        // Hundreds of kills, within about half a minute however slow the machine.
        while (kills < 400 && (kills < 40 || clock.elapsed() < 25000)) {
            progress->inKeep = 0;
            QProcess child;
            child.setProgram(QCoreApplication::applicationFilePath());
            child.setArguments({QStringLiteral("--keep-for-ever"), dir.path()});
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start();
            QVERIFY(child.waitForStarted());
            QVERIFY2(child.waitForReadyRead(20000) && child.readLine() == "ready\n",
                     "the keeping child did not start keeping");
            // Between no time and a few keeps' worth.
            QThread::usleep(std::uniform_int_distribution<unsigned>(0, 30000)(random));
            QCOMPARE(child.state(), QProcess::Running);
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            ++kills;
            midKeep += progress->inKeep ? 1 : 0;
            keeps += progress->keeps;

            picturefile::Failure failure;
            const QImage kept =
                picturefile::read(picturefile::Place(QFile::encodeName(picture)), &failure);
            QVERIFY2(
                !kept.isNull(),
                qPrintable(QStringLiteral("after kill %1: %2").arg(kills).arg(failure.detail)));
            const QImage pixels = kept.convertToFormat(QImage::Format_RGB32);
            const int which = pixels == expected[0] ? 0 : pixels == expected[1] ? 1 : -1;
            QVERIFY2(which >= 0, qPrintable(QStringLiteral("after kill %1 the file is neither "
                                                           "picture")
                                                .arg(kills)));
            ++found[which];
        }

        // Whatever a keep leaves behind when it is killed. A keep writes into an unnamed file and
        // gives it a name of its own just before it replaces the picture with it, so a kill in
        // that instant leaves the finished new picture under that name.
        QStringList strays = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        strays.removeAll(QStringLiteral("Image.bmp"));
        strays.removeAll(QStringLiteral("progress"));
        std::printf(
            "%d kills in %.1f s, %d inside a keep, %u keeps completed in all; the file held "
            "the first picture %d times, the second %d times; %lld files left beside it\n",
            kills, clock.elapsed() / 1000.0, midKeep, keeps, found[0], found[1],
            qlonglong(strays.size()));
        QVERIFY2(midKeep > 0, "no kill landed inside a keep");
        static const QRegularExpression saveFileName(
            QStringLiteral("^\\.Image\\.bmp\\.pafuro-[A-Za-z0-9]{6}$"));
        for (const QString &name : strays) {
            QVERIFY2(saveFileName.match(name).hasMatch(), qPrintable(name));
            picturefile::Failure failure;
            const QImage left = picturefile::read(
                picturefile::Place(QFile::encodeName(dir.filePath(name))), &failure);
            QVERIFY2(!left.isNull(), qPrintable(name + QStringLiteral(": ") + failure.detail));
            const QImage pixels = left.convertToFormat(QImage::Format_RGB32);
            QVERIFY2(pixels == expected[0] || pixels == expected[1], qPrintable(name));
        }
        // Far fewer than the kills that landed inside a keep.
        QVERIFY2(strays.size() <= midKeep / 10, qPrintable(strays.join(QLatin1Char(' '))));
        ::munmap(progress, sizeof(Progress));

        // Once they are older than a minute the next keep removes them, and only them: one of
        // ours is added in case no kill left any, and beside them what is not ours to remove.
        QVERIFY(QFile::copy(picture, dir.filePath(QStringLiteral(".Image.bmp.pafuro-Zz09aA"))));
        strays.append(QStringLiteral(".Image.bmp.pafuro-Zz09aA"));
        // A younger one, other names, and a folder and a link under the name of a leftover.
        const QStringList others = {
            QStringLiteral(".Image.bmp.pafuro-young1"),  QStringLiteral(".Image.bmp.pafuro-ab"),
            QStringLiteral(".Image.bmp.pafuro-abcdefg"), QStringLiteral("Image.bmp~"),
            QStringLiteral(".Other.bmp.pafuro-ABCDEF"),  QStringLiteral(".Image.bmp.pafuro-folder"),
            QStringLiteral(".Image.bmp.pafuro-link01"),  QStringLiteral("progress")};
        for (const QString &name : others.mid(1, 4))
            QVERIFY(QFile::copy(picture, dir.filePath(name)));
        QVERIFY(QDir(dir.path()).mkdir(others[5]));
        QVERIFY(QFile::link(others[1], dir.filePath(others[6])));
        const timespec aged[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
        for (const QString &name : strays + others.mid(1))
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath(name)).constData(), aged,
                                 AT_SYMLINK_NOFOLLOW),
                     0);
        QVERIFY(QFile::copy(picture, dir.filePath(others[0])));

        frmMain::Services services;
        services.beep = [] {};
        services.reportError = [](picturefile::Action, const QString &,
                                  const picturefile::Failure &failure) {
            QFAIL(qPrintable(failure.detail));
        };
        services.picturePlace = picturefile::Place(QFile::encodeName(picture));
        frmMain w(std::move(services));
        w.controls().btnSave->click();
        QStringList left =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        left.removeAll(QStringLiteral("Image.bmp"));
        std::printf("after the next keep: %lld of %lld leftovers remain\n",
                    qlonglong(left.size() - others.size()), qlonglong(strays.size()));
        std::sort(left.begin(), left.end());
        QStringList expectedLeft = others;
        std::sort(expectedLeft.begin(), expectedLeft.end());
        QCOMPARE(left, expectedLeft);
        QVERIFY(QFileInfo(dir.filePath(others[6])).isSymLink());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--keep-for-ever") == 0) {
        prepareApplication();
        return keepForEver(QString::fromLocal8Bit(argv[2]));
    }
    KillKeepTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "killkeep_test.moc"
