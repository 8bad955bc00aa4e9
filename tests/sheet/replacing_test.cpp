// Which node under the picture's name a keep may replace, and why not.
#include "sheet/replacing.h"

#include <QtTest>

#include <cerrno>
#include <sys/stat.h>

using picturefile::Why;

class ReplacingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void mayReplace_data()
    {
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<int>("writeError");
        QTest::addColumn<Why>("why"); // Other where it may
        const struct {
            const char *node;
            unsigned mode;
            int writeError;
            Why why;
        } rows[] = {{"nothing there", 0, 0, Why::Other},
                    {"a picture", S_IFREG | 0644, 0, Why::Other},
                    {"a picture only its group writes", S_IFREG | 0460, 0, Why::Other},
                    // Even where the system would let root write it.
                    {"a read-only picture", S_IFREG | 0444, 0, Why::ReadOnlyPicture},
                    {"another's picture", S_IFREG | 0644, EACCES, Why::Permission},
                    {"a picture on a read-only disk", S_IFREG | 0644, EROFS, Why::ReadOnlyDisk},
                    {"a directory", S_IFDIR | 0755, 0, Why::NotAFile},
                    {"a pipe", S_IFIFO | 0666, 0, Why::NotAFile},
                    {"a device", S_IFCHR | 0666, 0, Why::NotAFile},
                    {"a socket", S_IFSOCK | 0777, 0, Why::NotAFile}};
        for (const auto &row : rows)
            QTest::newRow(row.node) << row.mode << row.writeError << row.why;
    }

    void mayReplace()
    {
        QFETCH(unsigned, mode);
        QFETCH(int, writeError);
        QFETCH(Why, why);
        picturefile::Failure failure;
        QCOMPARE(picturefile::mayReplace(mode, writeError, &failure), why == Why::Other);
        QCOMPARE(failure.why, why);
    }
};

QTEST_APPLESS_MAIN(ReplacingTest)
#include "replacing_test.moc"
