// The drawing surface: its layer in the screen's own pixels at every scale, kept as drawn, shown
// by a repaint of just the rectangles touched, and its background colour and picture. Read off
// the screen (the window's backing store), not off a fresh rendering of the drawing layer.
#include "testwindow.h"

#include "app/colourvalue.h"
#include "surface/disc.h"
#include "surface/surfacegeometry.h"

#include <QFile>
#include <QPaintEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <qpa/qwindowsysteminterface_p.h>

#include <cmath>

namespace {

const QRgb Black = qRgb(0, 0, 0);
const QRgb White = qRgb(255, 255, 255);

struct PaintSpy : QObject {
    QRegion painted;
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(event)->region();
            ++paints;
        }
        return false;
    }
};

QScreen *screenOfRatio(qreal ratio)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->devicePixelRatio() == ratio)
            return screen;
    }
    return nullptr;
}

// Shown on the screen of that device pixel ratio and settled; the canvas's repaints watched from
// then on by the spy, if one is given.
bool showAt(TestWindow &app, qreal ratio = 1, PaintSpy *spy = nullptr)
{
    QScreen *screen = screenOfRatio(ratio);
    if (!screen || !app.show(screen))
        return false;
    QCoreApplication::processEvents();
    if (spy)
        app.ui.画板->installEventFilter(spy);
    return true;
}

// The colour on the screen at a pixel of a surface's client area, the canvas's unless another.
QRgb onScreen(frmMain &w, QPoint p, DrawingSurface *surface = nullptr)
{
    surface = surface ? surface : w.controls().画板;
    const QPoint at =
        surface->mapTo(&w, p + QPoint(DrawingSurface::Border, DrawingSurface::Border));
    return w.screen()->grabWindow(w.winId()).toImage().pixel(at) & 0xffffff;
}

// The canvas's client area as the screen shows it, in device pixels: inside a border of two
// edges, each a whole number of device pixels, of a canvas whose edges lie at the device pixels
// nearest to its logical ones. (The offscreen screen's own grab of a scaled window is cut to its
// size in logical pixels, so the window is rendered.)
QImage shownCanvas(TestWindow &app)
{
    const qreal ratio = app.w.devicePixelRatioF();
    const auto edge = [ratio](int logical) { return int(std::floor(logical * ratio + 0.5)); };
    const QPoint origin = app.ui.画板->mapTo(&app.w, QPoint());
    const int border = 2 * std::max(1, edge(1));
    const QPoint corner(edge(origin.x()) + border, edge(origin.y()) + border);
    QImage client = app.grab().copy(QRect(corner, app.ui.画板->image().size()));
    client.setDevicePixelRatio(1);
    return client;
}

// The repainted part of the canvas, in client-area pixels.
QRegion repainted(const PaintSpy &spy)
{
    return spy.painted.translated(-DrawingSurface::Border, -DrawingSurface::Border);
}

} // namespace

class SurfaceTest : public QObject {
    Q_OBJECT
public:
    static void initMain();
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void geometryAtScale_data();
    void geometryAtScale();
    void discAgainstOracle_data();
    void discAgainstOracle();
    void stampAtDevicePixels_data();
    void stampAtDevicePixels();
    void pictureKeptOnAnotherScale();
    void stampsShownAtTheNextTurn();
    void strokeHandsEventsOnAtOnce();
    void sparkShownWithItsRectangleOnly();
    void layerSurvivesRepaint();
    void imageIsClientAreaAsShown();
    void setBackColorErases();
    void clearKeepsBackgroundAndPicture();
    void pictureAtTopLeftUnscaled();
};

// Three screens side by side: the first, where every other case runs, at scale 1, and two
// scaled up by 2 and 1.5.
void SurfaceTest::initMain()
{
    static QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("screens.json")));
    if (!config.open(QIODevice::WriteOnly))
        qFatal("cannot write the screens' configuration");
    config.write(R"({"screens": [
        {"name": "one", "x": 0, "y": 0, "width": 800, "height": 800},
        {"name": "two", "x": 800, "y": 0, "width": 1600, "height": 1600},
        {"name": "half", "x": 2400, "y": 0, "width": 1200, "height": 1200}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    qputenv("QT_SCREEN_SCALE_FACTORS", "one=1;two=2;half=1.5");
}

// The canvas's size in logical pixels at an even and an odd place in its window: its edges at
// the nearest device pixels, each edge of its border whole device pixels.
void SurfaceTest::geometryAtScale_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<QRect>("outer");
    QTest::addColumn<QRect>("client");
    QTest::newRow("1, even") << 1.0 << QPoint(8, 8) << QRect(8, 8, 273, 281)
                             << QRect(10, 10, 269, 277);
    QTest::newRow("1, odd") << 1.0 << QPoint(7, 9) << QRect(7, 9, 273, 281)
                            << QRect(9, 11, 269, 277);
    QTest::newRow("1.25, even") << 1.25 << QPoint(8, 8) << QRect(10, 10, 341, 351)
                                << QRect(12, 12, 337, 347);
    QTest::newRow("1.25, odd") << 1.25 << QPoint(7, 9) << QRect(9, 11, 341, 352)
                               << QRect(11, 13, 337, 348);
    QTest::newRow("1.5, even") << 1.5 << QPoint(8, 8) << QRect(12, 12, 410, 422)
                               << QRect(16, 16, 402, 414);
    QTest::newRow("1.5, odd") << 1.5 << QPoint(7, 9) << QRect(11, 14, 409, 421)
                              << QRect(15, 18, 401, 413);
    QTest::newRow("2, even") << 2.0 << QPoint(8, 8) << QRect(16, 16, 546, 562)
                             << QRect(20, 20, 538, 554);
    QTest::newRow("2, odd") << 2.0 << QPoint(7, 9) << QRect(14, 18, 546, 562)
                            << QRect(18, 22, 538, 554);
}

// A pointer on a device pixel lands a disc on that pixel of the layer, and the repaint asked
// for a rectangle of the layer, kept at this scale or brought from scale 1, covers it.
void SurfaceTest::geometryAtScale()
{
    QFETCH(qreal, ratio);
    QFETCH(QPoint, origin);
    QFETCH(QRect, outer);
    QFETCH(QRect, client);
    const SurfaceGeometry place(QRect(origin, QSize(273, 281)), ratio, DrawingSurface::Border);
    QCOMPARE(place.outer(), outer);
    QCOMPARE(place.client(), client);
    QVERIFY(place.toDevice(QRect(QPoint(), QSize(273, 281))).contains(outer));
    for (const QPoint device : {client.topLeft(), client.center(), client.bottomRight()}) {
        const QPointF twips = place.toTwips((QPointF(device) + QPointF(0.5, 0.5)) / ratio);
        const QPoint layer(int(std::floor(SurfaceGeometry::toLayer(twips.x(), ratio))),
                           int(std::floor(SurfaceGeometry::toLayer(twips.y(), ratio))));
        QCOMPARE(layer, device - client.topLeft());
    }
    for (const qreal layerRatio : {ratio, 1.0}) {
        const qreal k = ratio / layerRatio;
        for (const QRect stamp :
             {QRect(0, 0, 1, 1), QRect(100, 120, 7, 9), QRect(260, 270, 9, 7)}) {
            const QRect shown(client.topLeft() + (QPointF(stamp.topLeft()) * k).toPoint(),
                              (QSizeF(stamp.size()) * k).toSize());
            const QRect logical = place.toLogical(stamp, layerRatio);
            QVERIFY(place.toDevice(logical).contains(shown));
            QVERIFY(logical.width() <= stamp.width() / layerRatio + 2);
        }
    }
}

// A disc stamped into an image against the independent rule of the tests: the pixels whose
// centres lie within the radius and the one under the centre, its outline those with a side on
// a pixel outside, cut at the image's edges; the rectangle returned is what changed.
void SurfaceTest::discAgainstOracle_data()
{
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<double>("radius");
    QTest::addColumn<QRgb>("outline");
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        for (const int twips : {10, 50, 100, 175}) {
            const double r = twips * scale / 15;
            const QString name = QStringLiteral("%1 twips at %2").arg(twips).arg(scale);
            QTest::addRow("%s, on a corner", qPrintable(name)) << QPointF(30, 25) << r << Black;
            QTest::addRow("%s, off it", qPrintable(name)) << QPointF(29.3, 24.8) << r << Black;
        }
    }
    QTest::newRow("outlined") << QPointF(30.5, 25.5) << 6.7 << qRgb(255, 0, 0);
    QTest::newRow("outlined, small") << QPointF(30.2, 25.7) << 1.4 << qRgb(255, 0, 0);
    QTest::newRow("cut at the top left") << QPointF(1.2, -3.6) << 8.0 << Black;
    QTest::newRow("cut at the bottom right") << QPointF(58.5, 49.9) << 11.7 << Black;
    QTest::newRow("centre outside") << QPointF(-0.4, 20) << 0.7 << Black;
    QTest::newRow("wholly outside") << QPointF(-20, 20) << 11.7 << Black;
}

void SurfaceTest::discAgainstOracle()
{
    QFETCH(QPointF, centre);
    QFETCH(double, radius);
    QFETCH(QRgb, outline);
    QImage image = filled(QSize(60, 50), White);
    const QRect touched = stampDisc(image, centre, radius, Black, outline);
    QRect changed;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (p == White)
                continue;
            changed |= QRect(x, y, 1, 1);
            const auto outside = [&](int i, int j) {
                return !image.valid(i, j) || image.pixel(i, j) == White;
            };
            const bool rim =
                outside(x - 1, y) || outside(x + 1, y) || outside(x, y - 1) || outside(x, y + 1);
            QCOMPARE(p, outline == Black || rim ? outline : Black);
            image.setPixel(x, y, Black);
        }
    }
    QCOMPARE(touched, changed);
    CHECK_DISCS(image, QList<QPointF>{centre}, radius, Black, White);
}

void SurfaceTest::stampAtDevicePixels_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("radius");
    QTest::addColumn<QSize>("layer");
    QTest::newRow("scale 1, 175 twips") << 1.0 << 175 << QSize(269, 277);
    QTest::newRow("scale 2, 50 twips") << 2.0 << 50 << QSize(538, 554);
    QTest::newRow("scale 2, 175 twips") << 2.0 << 175 << QSize(538, 554);
    QTest::newRow("scale 1.5, 100 twips") << 1.5 << 100 << QSize(402, 414);
    QTest::newRow("scale 1.5, 175 twips") << 1.5 << 175 << QSize(402, 414);
}

// At every scale the layer has the screen's own pixels: a disc covers as many of them as its
// area in device pixels, it is not made of blocks of several, and the screen shows the layer
// one pixel to one.
void SurfaceTest::stampAtDevicePixels()
{
    QFETCH(qreal, ratio);
    QFETCH(int, radius);
    QFETCH(QSize, layer);
    TestWindow app;
    QVERIFY(showAt(app, ratio));
    QCOMPARE(app.ui.画板->image().size(), layer);
    app.state().PenSize = radius;
    app.StampBrush(app.ui.画板, 1, 2000.0f, 1500.0f);
    QCoreApplication::processEvents();
    const QImage image = app.ui.画板->image().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    int mixedBlocks = 0;
    const auto black = [&image](int x, int y) { return image.pixel(x, y) == Black ? 1 : 0; };
    for (int y = 0; y + 1 < image.height(); y += 2) {
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const int inBlock =
                black(x, y) + black(x + 1, y) + black(x, y + 1) + black(x + 1, y + 1);
            count += inBlock;
            mixedBlocks += inBlock != 0 && inBlock != 4;
        }
    }
    const double r = radius * ratio / 15.0;
    const double area = M_PI * r * r;
    QVERIFY2(std::abs(count - area) <= r,
             qPrintable(QStringLiteral("%1 pixels for a disc of %2").arg(count).arg(area)));
    QVERIFY2(mixedBlocks > r, "the disc is made of blocks of pixels");
    const QPoint centre(int(2000 * ratio / 15), int(1500 * ratio / 15));
    QCOMPARE(image.pixel(centre), Black);
    QCOMPARE(shownCanvas(app), image);
}

// A picture on a window that moves to a screen of another scale stays as it was drawn, pixel
// for pixel, and is shown in the same place; a new sheet then takes the new screen's pixels.
void SurfaceTest::pictureKeptOnAnotherScale()
{
    TestWindow app;
    QVERIFY(showAt(app));
    app.state().PenSize = 100;
    app.stamp(100, 80);
    const QImage drawn = app.ui.画板->image().copy();
    QScreen *two = screenOfRatio(2);
    app.w.windowHandle()->setScreen(two);
    app.w.move(two->geometry().topLeft() + QPoint(20, 20));
    QTRY_COMPARE(app.w.devicePixelRatioF(), 2.0);
    app.w.repaint();
    QCOMPARE(app.ui.画板->image(), drawn);
    const QImage shown = app.grab();
    // The disc's centre at the canvas's client pixel (100, 80), the corner of the client area
    // beside it: at twice the scale.
    const QPoint client = 2 * app.ui.画板->mapTo(&app.w, QPoint(2, 2));
    QCOMPARE(shown.pixel(client + QPoint(200, 160)) & 0xffffff, Black & 0xffffff);
    QCOMPARE(shown.pixel(client + QPoint(170, 160)) & 0xffffff, 0xffffffu);
    QCOMPARE(shown.pixel(client + QPoint(2 * 268, 2 * 276)) & 0xffffff, 0xffffffu);
    app.stamp(200, 200);
    QCOMPARE(app.ui.画板->image().pixel(200, 200) & 0xffffff, Black & 0xffffff);
    app.ui.btnNew->click();
    QCOMPARE(app.ui.画板->image().size(), QSize(538, 554));
}

// Stamps, however quickly they come, are on the screen at the next turn of the event loop; what
// is repainted is their rectangles, not the canvas between them. They post no repaint request,
// which would wake the loop for a second pass after every pointer motion.
void SurfaceTest::stampsShownAtTheNextTurn()
{
    TestWindow app;
    PaintSpy spy;
    QVERIFY(showAt(app, 1, &spy));
    const QList<QPoint> centres{{20, 20}, {240, 30}, {130, 250}, {30, 200}, {250, 260}};
    for (QPoint c : centres)
        app.stamp(c.x(), c.y());
    // Nothing is posted for them: posted events delivered, nothing is painted yet.
    const int paints = spy.paints;
    QCoreApplication::sendPostedEvents();
    QCOMPARE(spy.paints, paints);
    QCoreApplication::processEvents();
    for (QPoint c : centres) {
        QCOMPARE(onScreen(app.w, c), Black & 0xffffff);
        QVERIFY(repainted(spy).contains(c));
    }
    QVERIFY2(!repainted(spy).contains(QPoint(130, 138)), "the untouched middle was repainted");

    // A lone stamp repaints the disc's rectangle and no more: radius 3.3 px about (100, 80).
    spy.painted = QRegion();
    app.stamp(100, 80);
    QCoreApplication::processEvents();
    QCOMPARE(onScreen(app.w, {100, 80}), Black & 0xffffff);
    const QRect disc(96, 76, 8, 8);
    const QRect painted = repainted(spy).boundingRect();
    QVERIFY2(painted.contains(QRect(97, 77, 6, 6)) && disc.adjusted(-1, -1, 1, 1).contains(painted),
             qPrintable(QStringLiteral("repainted %1, %2 %3 x %4")
                            .arg(painted.x())
                            .arg(painted.y())
                            .arg(painted.width())
                            .arg(painted.height())));
}

// While a button is held on a surface, the window system's events are handed on as they are
// read, in one pass of the event loop a motion; that ends with the stroke, at the release or
// when the surface is hidden, so that nothing else runs that way.
void SurfaceTest::strokeHandsEventsOnAtOnce()
{
    TestWindow app;
    QVERIFY(showAt(app));
    QWindow *window = app.w.windowHandle();
    const QPoint o = app.origin(app.ui.画板);
    const bool &atOnce = QWindowSystemInterfacePrivate::synchronousWindowSystemEvents;
    QVERIFY(!atOnce);
    QTest::mouseMove(window, o + QPoint(10, 10));
    QVERIFY(!atOnce);
    QTest::mousePress(window, Qt::LeftButton, {}, o + QPoint(20, 20));
    QVERIFY(atOnce);
    QTest::mouseMove(window, o + QPoint(40, 40));
    QVERIFY(atOnce);
    QTest::mouseRelease(window, Qt::LeftButton, {}, o + QPoint(40, 40));
    QVERIFY(!atOnce);
    CHECK_DISCS(app.canvas(), (QList<QPointF>{{40, 40}}), 50 / 15.0, Black, White);

    QTest::mousePress(window, Qt::LeftButton, {}, o + QPoint(60, 60));
    QVERIFY(atOnce);
    app.w.hide();
    QVERIFY(!atOnce);
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

// The side panel's tick puts its circle on the screen at the next turn of the event loop, and
// repaints nothing but the circle's rectangle of the panel.
void SurfaceTest::sparkShownWithItsRectangleOnly()
{
    TestWindow app;
    QVERIFY(showAt(app));
    DrawingSurface *panel = app.ui.関係ないやつ;
    // Red, green and blue, then radius, x and y: a disc of 148 twips about (1406, 334) twips,
    // well inside the panel.
    const QList<float> draws{0.5f, 0.25f, 0.75f, 0.5f, 0.4f, 0.3f};
    int next = 0;
    app.setRandom([&] { return draws[next++ % draws.size()]; });
    const QPoint centre(1406 / 15, 334 / 15);
    const QRgb before = onScreen(app.w, centre, panel);
    AllPaints paints;
    qApp->installEventFilter(&paints);
    app.Timer1_Tick();
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&paints);
    const QRgb drawn = panel->image().pixel(centre) & 0xffffff;
    QVERIFY(drawn != before);
    QCOMPARE(onScreen(app.w, centre, panel), drawn);
    QCOMPARE(paints.painted.size(), 1);
    QCOMPARE(paints.painted[0].first, panel);
    const QRect circle = paints.painted[0].second.boundingRect().translated(
        -DrawingSurface::Border, -DrawingSurface::Border);
    QVERIFY(circle.contains(QRect(centre - QPoint(9, 9), QSize(19, 19))));
    QVERIFY2(circle.width() <= 22 && circle.height() <= 22, "more than the circle was repainted");
}

// The drawing layer persists: a repaint, or hiding and showing the window, keeps it.
void SurfaceTest::layerSurvivesRepaint()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.ui.緑色);
    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(20, 20), o + QPoint(60, 70), o + QPoint(200, 220)});
    const QImage painted = app.shown(app.ui.画板);
    CHECK_DISCS(painted, (QList<QPointF>{{60, 70}, {200, 220}}), 50 / 15.0, qRgb(0, 255, 0), White);

    app.ui.画板->repaint();
    app.w.repaint();
    QCOMPARE(app.shown(app.ui.画板), painted);
    app.w.hide();
    QTest::qWait(20);
    QVERIFY(app.show());
    QCOMPARE(app.shown(app.ui.画板), painted);
    // A window laid over the canvas and taken away again.
    QWidget cover;
    cover.setGeometry(QRect(app.w.mapToGlobal(QPoint(0, 0)), QSize(200, 200)));
    cover.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    cover.hide();
    QTest::qWait(20);
    QCOMPARE(app.shown(app.ui.画板), painted);
}

// The image, which a keep writes, is the client area as the screen shows it.
void SurfaceTest::imageIsClientAreaAsShown()
{
    TestWindow app;
    QVERIFY(app.show());
    QCOMPARE(app.ui.画板->image().size(), QSize(269, 277));
    QCOMPARE(app.ui.関係ないやつ->image().size(), QSize(197, 37));
    // The image is the client area as shown: paint, and compare it with the screen.
    app.click(app.ui.赤色);
    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(20, 20), o + QPoint(0, 0), o + QPoint(268, 276), o + QPoint(134, 138)});
    QCOMPARE(app.ui.画板->image().convertToFormat(QImage::Format_RGB32), app.shown(app.ui.画板));
}

void SurfaceTest::setBackColorErases()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(20, 20), o + QPoint(60, 70)});
    app.ui.画板->setBackColor(ColourValue(0, 0, 255));
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), qRgb(0, 0, 255)));
    QCOMPARE(app.ui.画板->image().convertToFormat(QImage::Format_RGB32),
             filled(QSize(269, 277), qRgb(0, 0, 255)));
    // Discs painted after it lie on the new colour.
    app.drag({o + QPoint(20, 20), o + QPoint(60, 70)});
    CHECK_DISCS(app.shown(app.ui.画板), (QList<QPointF>{{60, 70}}), 50 / 15.0, qRgb(0, 0, 0),
                qRgb(0, 0, 255));
}

namespace {

// A picture whose every pixel differs from its neighbours', so any shift or scaling shows.
QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x + y) & 255) | 1));
    return image;
}

// The expected composite: the background colour with the picture at the top-left corner.
QImage composite(QSize size, QRgb background, const QImage &picture)
{
    QImage image = filled(size, background);
    for (int y = 0; y < std::min(size.height(), picture.height()); ++y)
        for (int x = 0; x < std::min(size.width(), picture.width()); ++x)
            image.setPixel(x, y, picture.pixel(x, y));
    return image;
}

} // namespace

void SurfaceTest::clearKeepsBackgroundAndPicture()
{
    TestWindow app;
    QVERIFY(app.show());
    const QRgb green = qRgb(0, 255, 0);
    const QImage picture = pattern(QSize(40, 30));
    app.ui.画板->setBackColor(ColourValue(0, 255, 0));
    app.ui.画板->setPicture(picture);
    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(100, 100), o + QPoint(20, 15), o + QPoint(150, 150)});
    QVERIFY(app.shown(app.ui.画板) != composite(QSize(269, 277), green, picture));
    app.ui.画板->clear();
    QCOMPARE(app.shown(app.ui.画板), composite(QSize(269, 277), green, picture));
}

void SurfaceTest::pictureAtTopLeftUnscaled()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(100, 100), o + QPoint(10, 10), o + QPoint(150, 150)});

    // A small picture: at the corner, pixel for pixel, the layer gone.
    const QImage small = pattern(QSize(50, 20));
    app.ui.画板->setPicture(small);
    QCOMPARE(app.shown(app.ui.画板), composite(QSize(269, 277), White, small));
    QCOMPARE(app.ui.画板->image().convertToFormat(QImage::Format_RGB32),
             composite(QSize(269, 277), White, small));
    // Discs go over the picture.
    app.drag({o + QPoint(100, 100), o + QPoint(10, 10)});
    QCOMPARE(app.shown(app.ui.画板).pixel(10, 10) & 0xffffff, 0u);

    // A larger one is cut at the edges, not shrunk to fit.
    const QImage large = pattern(QSize(400, 300));
    app.ui.画板->setPicture(large);
    QCOMPARE(app.shown(app.ui.画板), large.copy(0, 0, 269, 277));

    // Taking it away leaves the background colour, and the layer is erased again.
    app.drag({o + QPoint(100, 100), o + QPoint(50, 50)});
    app.ui.画板->removePicture();
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), White));
    // Nor does it come back when the sheet is erased again.
    app.drag({o + QPoint(100, 100), o + QPoint(50, 50)});
    app.ui.画板->clear();
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), White));
}

QTEST_MAIN(SurfaceTest)
#include "surface_test.moc"
