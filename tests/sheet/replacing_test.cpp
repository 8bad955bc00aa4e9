// Which node under the picture's name a keep may replace, and why not.
#include "sheet/replacing.h"

#include <QtTest>

#include <cerrno>
#include <sys/stat.h>

using picturefile::Why;

class ReplacingTest : public QObject {
    Q_OBJECT
private slots:
    void mayReplace_data()
    {
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<int>("writeError");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<Why>("why");
        QTest::newRow("nothing there") << 0u << 0 << true << Why::Other;
        QTest::newRow("a picture") << unsigned(S_IFREG | 0644) << 0 << true << Why::Other;
        QTest::newRow("a picture only its group writes")
            << unsigned(S_IFREG | 0460) << 0 << true << Why::Other;
        // Even where the system would let root write it.
        QTest::newRow("a read-only picture")
            << unsigned(S_IFREG | 0444) << 0 << false << Why::ReadOnlyPicture;
        QTest::newRow("another's picture")
            << unsigned(S_IFREG | 0644) << EACCES << false << Why::Permission;
        QTest::newRow("a picture on a read-only disk")
            << unsigned(S_IFREG | 0644) << EROFS << false << Why::ReadOnlyDisk;
        QTest::newRow("a directory") << unsigned(S_IFDIR | 0755) << 0 << false << Why::NotAFile;
        QTest::newRow("a pipe") << unsigned(S_IFIFO | 0666) << 0 << false << Why::NotAFile;
        QTest::newRow("a device") << unsigned(S_IFCHR | 0666) << 0 << false << Why::NotAFile;
        QTest::newRow("a socket") << unsigned(S_IFSOCK | 0777) << 0 << false << Why::NotAFile;
    }

    void mayReplace()
    {
        QFETCH(unsigned, mode);
        QFETCH(int, writeError);
        QFETCH(bool, allowed);
        QFETCH(Why, why);
        picturefile::Failure failure;
        QCOMPARE(picturefile::mayReplace(mode, writeError, &failure), allowed);
        QCOMPARE(failure.why, why);
    }
};

QTEST_APPLESS_MAIN(ReplacingTest)
#include "replacing_test.moc"
