#pragma once

// A real window for the tests of the message line, the sheet and the picture file: its beeps
// are counted, its failures collected, and its picture file lives in a directory of its own.

#include "app/application.h"
#include "app/frmmain.h"

#include <QAbstractButton>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

struct SheetWindow {
    struct Report {
        QString path;
        picturefile::Why why;
        QString reason;
    };

    QTemporaryDir dir;
    frmMain w;
    int beeps = 0;
    QList<Report> reports;

    SheetWindow()
    {
        // The side panel's animation has no part in these tests; stopped, it cannot disturb a grab.
        w.Timer1->stop();
        w.beep = [this] { ++beeps; };
        w.reportError = [this](picturefile::Action, const QString &path,
                               const picturefile::Failure &failure) {
            reports.append({path, failure.why, failure.detail});
        };
        w.picturePath = QFile::encodeName(dir.filePath(QStringLiteral("Image.bmp")));
        w.show();
        exposed = QTest::qWaitForWindowExposed(&w);
    }

    bool exposed = false;

    static void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    // The canvas's client area as the user sees it.
    QImage canvas() const
    {
        return w.画板->grab()
            .toImage()
            .copy(DrawingSurface::Border, DrawingSurface::Border, 269, 277)
            .convertToFormat(QImage::Format_RGB32);
    }

    // One brush stamp at a pixel of the canvas's client area, as a drag with the left button.
    void stamp(int x, int y) { w.画板_MouseMove(1, 0, x * 15.0f, y * 15.0f); }

    QByteArray pictureBytes() const
    {
        QFile file(QFile::decodeName(w.picturePath));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// Where two images of one size differ first, or an empty string.
inline QString firstDifference(const QImage &actual, const QImage &expected, int tolerance = 0)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width()).arg(actual.height()).arg(expected.width()).arg(expected.height());
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            if (std::abs(qRed(a) - qRed(e)) > tolerance ||
                std::abs(qGreen(a) - qGreen(e)) > tolerance ||
                std::abs(qBlue(a) - qBlue(e)) > tolerance)
                return QStringLiteral("(%1, %2) is %3,%4,%5, expected %6,%7,%8")
                    .arg(x).arg(y)
                    .arg(qRed(a)).arg(qGreen(a)).arg(qBlue(a))
                    .arg(qRed(e)).arg(qGreen(e)).arg(qBlue(e));
        }
    }
    return QString();
}

// Every pixel of the image is the colour, or where the first one is not.
inline QString notAll(const QImage &image, QRgb colour)
{
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(colour);
    return firstDifference(image, expected);
}
