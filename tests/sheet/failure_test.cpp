// The reason the user is told for each error the system gives.
#include "sheet/failure.h"

#include <QtTest>

#include <cerrno>

using picturefile::Why;

class FailureTest : public QObject {
    Q_OBJECT
private slots:
    void reasonOfAnError_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<Why>("why");
        QTest::newRow("no such file") << ENOENT << Why::Missing;
        QTest::newRow("a file where a folder was meant") << ENOTDIR << Why::Missing;
        QTest::newRow("access refused") << EACCES << Why::Permission;
        QTest::newRow("operation refused") << EPERM << Why::Permission;
        QTest::newRow("read-only file system") << EROFS << Why::ReadOnlyDisk;
        QTest::newRow("no room") << ENOSPC << Why::DiskFull;
        QTest::newRow("quota") << EDQUOT << Why::DiskFull;
        QTest::newRow("a directory") << EISDIR << Why::NotAFile;
        QTest::newRow("a device without its driver") << ENXIO << Why::NotAFile;
        QTest::newRow("no such device") << ENODEV << Why::NotAFile;
        QTest::newRow("out of memory") << ENOMEM << Why::NoMemory;
        QTest::newRow("file size limit") << EFBIG << Why::FileSizeLimit;
        QTest::newRow("input/output error") << EIO << Why::Other;
        QTest::newRow("not implemented") << ENOSYS << Why::Other;
    }

    void reasonOfAnError()
    {
        QFETCH(int, error);
        QFETCH(Why, why);
        QCOMPARE(picturefile::whyOf(error), why);
    }
};

QTEST_APPLESS_MAIN(FailureTest)
#include "failure_test.moc"
