// Pictures the fuzzer (bench/fuzz.sh) found showing whatever the memory held where the file gives
// no pixels. Each is decoded over memory scribbled two ways: the pictures must be the same.
#include "app/application.h"
#include "sheet/picturefile.h"

#include <QtTest>

#include <cstdlib>
#include <cstring>

namespace {

void put16(QByteArray &out, quint32 v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8 & 0xff));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

// A 24-bit bitmap of `rows` rows of the given colours, stored top row first when topDown.
QByteArray bitmap24(int width, const QList<QRgb> &rows, bool topDown)
{
    const int stride = (width * 3 + 3) & ~3;
    QByteArray pixels;
    for (int i = 0; i < rows.size(); ++i) {
        const QRgb c = rows[topDown ? i : rows.size() - 1 - i];
        QByteArray line;
        for (int x = 0; x < width; ++x) {
            line.append(char(qBlue(c)));
            line.append(char(qGreen(c)));
            line.append(char(qRed(c)));
        }
        line.resize(stride, '\0');
        pixels += line;
    }
    QByteArray file("BM");
    put32(file, quint32(54 + pixels.size()));
    put32(file, 0);
    put32(file, 54);
    put32(file, 40);
    put32(file, quint32(width));
    put32(file, quint32(topDown ? -qint32(rows.size()) : qint32(rows.size())));
    put16(file, 1);
    put16(file, 24);
    for (int i = 0; i < 6; ++i)
        put32(file, 0);
    return file + pixels;
}

// A GIF of 4 x 2 pixels, two colours, whose one frame lies at (left, top) with the given size.
QByteArray gif(int left, int top, int width, int height)
{
    QByteArray file("GIF89a");
    put16(file, 4);
    put16(file, 2);
    file.append(char(0x80)); // a global table of two colours
    file.append('\0');
    file.append('\0');
    file.append("\xff\x00\x00\x00\x00\xff", 6);
    file.append(',');
    put16(file, quint32(left));
    put16(file, quint32(top));
    put16(file, quint32(width));
    put16(file, quint32(height));
    file.append('\0');
    // Code size 2: colour 1 for every pixel at 3 bits a code, with a clear code (4) before
    // every second one so that codes never widen, then the end (5).
    QList<int> codes;
    for (int i = 0; i < width * height; ++i) {
        if (i % 2 == 0)
            codes.append(4);
        codes.append(1);
    }
    codes.append(5);
    QByteArray data;
    quint32 acc = 0;
    int bits = 0;
    for (int code : codes) {
        acc |= quint32(code) << bits;
        for (bits += 3; bits >= 8; bits -= 8, acc >>= 8)
            data.append(char(acc & 0xff));
    }
    if (bits)
        data.append(char(acc & 0xff));
    file.append('\2');
    file.append(char(data.size()));
    file += data;
    file.append('\0');
    file.append(';');
    return file;
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
    return picturefile::decode(bytes, reason);
}

} // namespace

class DecodeFindingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

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
