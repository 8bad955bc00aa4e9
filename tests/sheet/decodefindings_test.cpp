// Pictures the fuzzer (bench/fuzz.sh) found showing whatever the memory held where the file gives
// no pixels. Each is decoded over memory scribbled two ways: the pictures must be the same.
#include "app/application.h"
#include "sheet/picturefile.h"
#include "testpictures.h"

#include <QtTest>

#include <cstdlib>
#include <cstring>

namespace {

// A 24-bit bitmap of rows of the given colours, stored top row first when topDown.
QByteArray bitmap24(int width, const QList<QRgb> &rows, bool topDown)
{
    QImage picture(width, int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, rows[y]);
    return testpictures::bitmap(picture, {}, {.topDown = topDown});
}

// A GIF of 4 x 2 pixels, red and blue, whose one blue frame lies at (left, top).
QByteArray gif(int left, int top, int width, int height)
{
    QImage frame(width, height, QImage::Format_RGB32);
    frame.fill(qRgb(0, 0, 255));
    return testpictures::gif(QSize(4, 2), {qRgb(255, 0, 0), qRgb(0, 0, 255)},
                             {{frame, QPoint(left, top)}});
}

// Decodes after leaving blocks of about the picture's size filled with `scribble` for the
// allocator to hand out again.
QImage decodeOver(char scribble, const QByteArray &bytes, qsizetype pictureBytes, QString *reason)
{
    for (qsizetype size : {pictureBytes, pictureBytes + 16, pictureBytes + 64}) {
        void *block = std::malloc(size_t(size));
        std::memset(block, scribble, size_t(size));
        std::free(block);
    }
    picturefile::Failure failure;
    QImage image = picturefile::decode(bytes, &failure);
    *reason = failure.detail;
    return image;
}

} // namespace

class DecodeFindingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void cutShortBitmaps_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        const QList<QRgb> rows{qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(10, 10, 200),
                               qRgb(80, 80, 80)};
        // Three of the four rows are there; the top row of the file is missing at its end.
        const QByteArray bottomUp = bitmap24(13, rows, false);
        const QByteArray topDown = bitmap24(13, rows, true);
        QTest::newRow("stored bottom row first") << bottomUp.left(bottomUp.size() - 40) << 13 << 4;
        QTest::newRow("stored top row first") << topDown.left(topDown.size() - 40) << 13 << 4;
    }

    void cutShortBitmaps()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, width);
        QFETCH(int, height);
        const qsizetype pictureBytes = qsizetype(width) * height * 4;
        QString reason;
        const QImage first = decodeOver('\x5a', bytes, pictureBytes, &reason);
        QVERIFY2(!first.isNull(), qPrintable(reason));
        QCOMPARE(first.size(), QSize(width, height));
        const QImage second = decodeOver('\xa5', bytes, pictureBytes, &reason);
        QCOMPARE(second, first);
        // No pixel shows the scribble.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                QVERIFY(qRed(first.pixel(x, y)) != 0x5a && qRed(first.pixel(x, y)) != 0xa5);
    }

    void gifFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("opens");
        QTest::newRow("frame fills the picture") << gif(0, 0, 4, 2) << true;
        QTest::newRow("frame below the picture") << gif(0, 3000, 4, 2) << false;
        QTest::newRow("frame right of the top-left") << gif(1, 0, 3, 2) << false;
        QTest::newRow("frame narrower") << gif(0, 0, 2, 2) << false;
    }

    void gifFrames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, opens);
        QString reason;
        const QImage first = decodeOver('\x5a', bytes, 4 * 2 * 4, &reason);
        QCOMPARE(!first.isNull(), opens);
        if (!opens) {
            QVERIFY(!reason.isEmpty());
            return;
        }
        QCOMPARE(first.pixel(0, 0), qRgb(0, 0, 255));
        QCOMPARE(first.pixel(3, 1), qRgb(0, 0, 255));
        QCOMPARE(decodeOver('\xa5', bytes, 4 * 2 * 4, &reason), first);
    }
};

QTEST_MAIN(DecodeFindingsTest)
#include "decodefindings_test.moc"
