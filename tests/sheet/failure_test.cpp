// The reason the user is told for each error the system gives.
#include "sheet/failure.h"

#include <QtTest>

#include <cerrno>
#include <cstring>

using picturefile::Why;

class FailureTest : public QObject {
    Q_OBJECT
private slots:
    void reasonOfAnError_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<Why>("why");
        const std::pair<int, Why> rows[] = {
            {ENOENT, Why::Missing},   {ENOTDIR, Why::Missing},    {EACCES, Why::Permission},
            {EPERM, Why::Permission}, {EROFS, Why::ReadOnlyDisk}, {ENOSPC, Why::DiskFull},
            {EDQUOT, Why::DiskFull},  {EISDIR, Why::NotAFile},    {ENXIO, Why::NotAFile},
            {ENODEV, Why::NotAFile},  {ENOMEM, Why::NoMemory},    {EFBIG, Why::FileSizeLimit},
            {EIO, Why::Other},        {ENOSYS, Why::Other}};
        for (const auto &[error, why] : rows)
            QTest::addRow("%s", strerrorname_np(error)) << error << why;
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
