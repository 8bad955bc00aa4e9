#pragma once

// The program's window as the tests drive it: its beeps counted, its failures collected rather
// than shown, its picture file in a folder of its own, and the side panel's timer stopped so
// that only a test's own ticks draw there. Read back as the user sees it.

#include "app/application.h"
#include "app/frmmain.h"

#include <QAbstractButton>
#include <QFile>
#include <QList>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>
#include <qpa/qwindowsysteminterface_p.h>

#include <cmath>

struct TestWindow {
    struct Report {
        QString path;
        picturefile::Why why;
        QString reason;
    };

    QTemporaryDir dir;
    int beeps = 0;
    QList<Report> reports;
    frmMain w{services()};
    const frmMain::Controls &ui = w.controls();

    TestWindow() { ui.Timer1->stop(); }

    frmMain::Services services()
    {
        frmMain::Services s;
        s.beep = [this] { ++beeps; };
        s.reportError = [this](picturefile::Action, const QString &path,
                               const picturefile::Failure &failure) {
            reports.append({path, failure.why, failure.detail});
        };
        s.picturePlace =
            picturefile::Place(QFile::encodeName(dir.filePath(QStringLiteral("Image.bmp"))));
        return s;
    }

    // A test's own service in place of the fixture's, from now on.
    void setBeep(std::function<void()> beep) { w.beep = std::move(beep); }
    void setRandom(std::function<float()> random) { w.random = std::move(random); }
    void setPicturePlace(picturefile::Place place) { w.picturePlace = std::move(place); }
    const picturefile::Place &picturePlace() const { return w.picturePlace; }

    // The record, set as a handler would set it, and the handlers, fired as their events would.
    StateRecord &state() { return w.record; }
    void Timer1_Tick() { w.Timer1_Tick(); }
    void InfoDisTime_Tick() { w.InfoDisTime_Tick(); }
    void ShowNotice(const QString &notice) { w.ShowNotice(notice); }
    void CancelNotice() { w.CancelNotice(); }
    void 紙の色_Click(std::int16_t index) { w.紙の色_Click(index); }
    void StampBrush(auto... a) { w.StampBrush(a...); }
    void 画板_MouseMove(auto... a) { w.画板_MouseMove(a...); }
    void 関係ないやつ_MouseMove(auto... a) { w.関係ないやつ_MouseMove(a...); }
    void InfoDis_MouseMove(auto... a) { w.InfoDis_MouseMove(a...); }

    // Shown, on that screen if one is given, and exposed.
    bool show(QScreen *screen = nullptr)
    {
        if (screen) {
            w.setScreen(screen);
            w.move(screen->geometry().topLeft() + QPoint(20, 20));
        }
        w.show();
        return QTest::qWaitForWindowExposed(&w);
    }

    // The window as rendered, in device pixels.
    QImage grab() { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Where a surface's client area lies in the window.
    QPoint origin(DrawingSurface *s) const
    {
        return s->mapTo(&w, QPoint(DrawingSurface::Border, DrawingSurface::Border));
    }
    // A surface's client area as the user sees it (at scale 1).
    QImage shown(DrawingSurface *s) { return grab().copy(QRect(origin(s), s->image().size())); }
    QImage canvas() { return shown(ui.画板); }

    // A click with the left button at the middle of a control, through its window.
    static void click(QWidget *control)
    {
        QWidget *window = control->window();
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                          control->mapTo(window, control->rect().center()));
    }
    // A drag: pressed at the first point, moved through the others, released at the last.
    // Points are in window coordinates.
    void drag(const QList<QPoint> &points, Qt::MouseButton button = Qt::LeftButton)
    {
        QWindow *window = w.windowHandle();
        QTest::mousePress(window, button, {}, points.first());
        for (qsizetype i = 1; i < points.size(); ++i)
            QTest::mouseMove(window, points[i]);
        QTest::mouseRelease(window, button, {}, points.last());
    }
    // The same drag with a finger on a touch screen or with a pen, through the window system as
    // the platform reports them.
    enum class Pointer { Mouse, Finger, Pen };
    void drag(const QList<QPoint> &points, Pointer pointer)
    {
        if (pointer == Pointer::Mouse)
            return drag(points);
        QWindow *window = w.windowHandle();
        for (qsizetype i = 0; i < points.size(); ++i) {
            if (pointer == Pointer::Pen)
                pen(points[i], Qt::LeftButton);
            else if (i == 0)
                QTest::touchEvent(window, touchScreen()).press(0, points[i], window);
            else
                QTest::touchEvent(window, touchScreen()).move(0, points[i], window);
        }
        if (pointer == Pointer::Pen)
            pen(points.last(), Qt::NoButton);
        else
            QTest::touchEvent(window, touchScreen()).release(0, points.last(), window);
    }
    // Pressed and let go at the middle of a control.
    void tap(QWidget *control, Pointer pointer)
    {
        drag({control->mapTo(&w, control->rect().center())}, pointer);
    }
    static QPointingDevice *touchScreen()
    {
        static QPointingDevice *device = QTest::createTouchDevice();
        return device;
    }
    void pen(QPoint at, Qt::MouseButtons buttons)
    {
        static QPointingDevice *const device = [] {
            auto *d = new QPointingDevice(
                QStringLiteral("pen"), 2, QInputDevice::DeviceType::Stylus,
                QPointingDevice::PointerType::Pen,
                QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
            QWindowSystemInterface::registerInputDevice(d);
            // Qt turns a pen's strokes that no control takes into mouse events, as it does on
            // X11 (XInput 2) and on Wayland; the offscreen platform leaves that to itself.
            QWindowSystemInterfacePrivate::TabletEvent::setPlatformSynthesizesMouse(false);
            return d;
        }();
        QWindow *window = w.windowHandle();
        QWindowSystemInterface::handleTabletEvent(window, device, at, window->mapToGlobal(at),
                                                  buttons, buttons ? 0.5 : 0, 0, 0, 0, 0, 0);
        QWindowSystemInterface::flushWindowSystemEvents();
    }
    // One brush stamp at a pixel of the canvas's client area, as a drag with the left button.
    void stamp(int x, int y) { 画板_MouseMove(1, 0, x * 15.0f, y * 15.0f); }

    QByteArray pictureBytes() const
    {
        QFile file(QFile::decodeName(picturePlace().path()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

Q_DECLARE_METATYPE(TestWindow::Pointer)

inline QString rgbText(QRgb c)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

inline QImage filled(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Where two images of one size differ first, or an empty string.
inline QString firstDifference(const QImage &actual, const QImage &expected, int tolerance = 0)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            if (std::abs(qRed(a) - qRed(e)) > tolerance ||
                std::abs(qGreen(a) - qGreen(e)) > tolerance ||
                std::abs(qBlue(a) - qBlue(e)) > tolerance)
                return QStringLiteral("(%1, %2) is %3, expected %4")
                    .arg(x)
                    .arg(y)
                    .arg(rgbText(a), rgbText(e));
        }
    }
    return QString();
}

// Every pixel of the image is the colour, or where the first one is not.
inline QString notAll(const QImage &image, QRgb colour)
{
    return firstDifference(image, filled(image.size(), colour));
}

inline bool same(QRgb a, QRgb b)
{
    return (a & 0xffffff) == (b & 0xffffff);
}

// Checks that `image` holds solid discs of `radius` pixels around `centres` (continuous pixel
// coordinates: a mouse position on a whole pixel is the corner between four pixels) in `colour`,
// and the background everywhere else. A pixel is a disc's when its centre lies within the radius,
// or when it is the pixel under the disc's centre. Returns an explanation of the first fault, or
// nothing.
inline QString checkDiscs(const QImage &image, const QList<QPointF> &centres, double radius,
                          QRgb colour, QRgb background)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            bool inside = false;
            for (const QPointF c : centres)
                inside = inside || std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y()) <= radius + 1e-9 ||
                         (x == int(std::floor(c.x())) && y == int(std::floor(c.y())));
            const QRgb p = image.pixel(x, y);
            if (!same(p, inside ? colour : background))
                return QStringLiteral("pixel %1, %2 %3 is %4")
                    .arg(x)
                    .arg(y)
                    .arg(inside ? "inside a disc" : "outside the discs", rgbText(p));
        }
    }
    return {};
}

#define CHECK_DISCS(image, centres, radius, colour, background)                                    \
    do {                                                                                           \
        const QString why_ = checkDiscs((image), (centres), (radius), (colour), (background));     \
        QVERIFY2(why_.isEmpty(), qPrintable(why_));                                                \
    } while (false)
