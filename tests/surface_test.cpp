// When the drawing surface shows its stamps: a stamp after a pause at once, stamps in quick
// succession together a moment later, each by a repaint of the rectangles touched. Read off
// the screen (the window's backing store), not off a fresh rendering of the drawing layer.
#include "app/application.h"
#include "app/frmmain.h"

#include <QPaintEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QRgb Black = qRgb(0, 0, 0);

struct PaintSpy : QObject {
    QRegion painted;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

struct Window {
    QTemporaryDir dir;
    frmMain w;
    PaintSpy spy;
    Window()
    {
        // The side panel's circles are drawn on a surface too; they would only add repaints.
        w.Timer1->stop();
        w.beep = [] {};
        w.reportError = [](picturefile::Action, const QString &, const picturefile::Failure &) {};
        w.picturePath = QFile::encodeName(dir.filePath(QStringLiteral("Image.bmp")));
    }
    bool show()
    {
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            return false;
        QTest::qWait(3 * DrawingSurface::RepaintInterval);
        w.画板->installEventFilter(&spy);
        return true;
    }
    // A black disc of radius 50 twips at a pixel of the canvas's client area.
    void stamp(QPoint p) { w.StampBrush(w.画板, 1, p.x() * 15.0f, p.y() * 15.0f); }
    // The colour on the screen at a pixel of the canvas's client area.
    QRgb onScreen(QPoint p) const
    {
        const QPoint at = w.画板->mapTo(&w, p + QPoint(DrawingSurface::Border, DrawingSurface::Border));
        return w.screen()->grabWindow(w.winId()).toImage().pixel(at) & 0xffffff;
    }
    // The repainted part of the canvas, in client-area pixels.
    QRegion repainted() const
    {
        return spy.painted.translated(-DrawingSurface::Border, -DrawingSurface::Border);
    }
};

} // namespace

class SurfaceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }
    void loneStampShownAtOnce();
    void quickStampsShownTogether();
    void sparkOnScreenWhenTickReturns();
};

// After a pause, a stamp is on the screen as soon as it is drawn: no timer stands between the
// user's move and the disc.
void SurfaceTest::loneStampShownAtOnce()
{
    Window app;
    QVERIFY(app.show());
    QCOMPARE(app.onScreen({100, 80}), 0xffffffu);
    app.stamp({100, 80});
    QCoreApplication::sendPostedEvents();
    QCOMPARE(app.onScreen({100, 80}), Black & 0xffffff);
    QVERIFY(app.repainted().boundingRect().contains(QRect(97, 77, 6, 6)));
    QVERIFY(!app.repainted().contains(QPoint(130, 138)));
}

// Stamps in quick succession, far apart: every one reaches the screen within moments, and
// what is repainted are their rectangles, not the canvas between them.
void SurfaceTest::quickStampsShownTogether()
{
    Window app;
    QVERIFY(app.show());
    const QList<QPoint> centres{{20, 20}, {240, 30}, {130, 250}, {30, 200}, {250, 260}};
    for (QPoint c : centres)
        app.stamp(c);
    for (QPoint c : centres)
        QTRY_COMPARE_WITH_TIMEOUT(app.onScreen(c), Black & 0xffffff, 1000);
    for (QPoint c : centres)
        QVERIFY(app.repainted().contains(c));
    QVERIFY2(!app.repainted().contains(QPoint(130, 138)), "the untouched middle was repainted");
}

namespace {
// Every widget that is sent a paint event, with the region, however deep in the window.
struct AllPaints : QObject {
    QList<QPair<QObject *, QRegion>> painted;
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted.append({receiver, static_cast<QPaintEvent *>(event)->region()});
        return false;
    }
};
} // namespace

// The side panel's tick puts its circle on the screen before it returns, without a second pass
// of the event loop, and repaints nothing but the circle's rectangle of the panel.
void SurfaceTest::sparkOnScreenWhenTickReturns()
{
    Window app;
    QVERIFY(app.show());
    DrawingSurface *panel = app.w.関係ないやつ;
    // Red, green and blue, then radius, x and y: a disc of 148 twips about (1406, 334) twips,
    // well inside the panel.
    const QList<float> draws{0.5f, 0.25f, 0.75f, 0.5f, 0.4f, 0.3f};
    int next = 0;
    app.w.random = [&] { return draws[next++ % draws.size()]; };
    const QPoint centre(1406 / 15, 334 / 15);
    auto onScreen = [&] {
        const QPoint at = panel->mapTo(&app.w, centre + QPoint(DrawingSurface::Border, DrawingSurface::Border));
        return app.w.screen()->grabWindow(app.w.winId()).toImage().pixel(at) & 0xffffff;
    };
    const QRgb before = onScreen();
    AllPaints paints;
    qApp->installEventFilter(&paints);
    app.w.Timer1_Tick();
    qApp->removeEventFilter(&paints);
    const QRgb drawn = panel->image().pixel(centre) & 0xffffff;
    QVERIFY(drawn != before);
    QCOMPARE(onScreen(), drawn);
    QCOMPARE(paints.painted.size(), 1);
    QCOMPARE(paints.painted[0].first, panel);
    const QRect circle = paints.painted[0].second.boundingRect().translated(-DrawingSurface::Border,
                                                                            -DrawingSurface::Border);
    QVERIFY(circle.contains(QRect(centre - QPoint(9, 9), QSize(19, 19))));
    QVERIFY2(circle.width() <= 22 && circle.height() <= 22, "more than the circle was repainted");
}

QTEST_MAIN(SurfaceTest)
#include "surface_test.moc"
