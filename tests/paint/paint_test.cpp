// Painting as the user does it: a swatch and a size clicked, a drag with the mouse on the shown
// window, and the discs read back off the canvas as it is drawn on the screen.
#include "testwindow.h"

#include "app/colourvalue.h"

#include <QPaintEvent>

#include <cmath>
#include <functional>

namespace {

const QRgb White = qRgb(255, 255, 255);
const QRgb Grey = qRgb(128, 128, 128);
const QRgb Pink = qRgb(255, 192, 192);

bool same(QRgb a, QRgb b)
{
    return (a & 0xffffff) == (b & 0xffffff);
}

// Checks that `image` holds solid discs of `radius` pixels around `centres` (continuous pixel
// coordinates: a mouse position on a whole pixel is the corner between four pixels) in `colour`,
// and the background everywhere else. A pixel is a disc's when its centre lies within the radius,
// or when it is the pixel under the disc's centre. Returns an explanation of the first fault, or
// nothing.
QString checkDiscs(const QImage &image, const QList<QPointF> &centres, double radius, QRgb colour,
                   QRgb background)
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

// The number of separate patches of pixels that differ from `background`.
int patches(const QImage &image, QRgb background)
{
    QImage seen = filled(image.size(), 0);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (same(image.pixel(x, y), background) || seen.pixel(x, y) != 0xff000000)
                continue;
            ++count;
            QList<QPoint> todo = {{x, y}};
            seen.setPixel(x, y, 1);
            while (!todo.isEmpty()) {
                const QPoint p = todo.takeLast();
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint q = p + d;
                    if (image.rect().contains(q) && !same(image.pixel(q), background) &&
                        seen.pixel(q) == 0xff000000) {
                        seen.setPixel(q, 1);
                        todo.append(q);
                    }
                }
            }
        }
    }
    return count;
}

// Where the window above the message line changed outside the canvas's client area, or nothing.
QString changedOutside(const QImage &before, const QImage &after, const QRect &client)
{
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 496; ++x)
            if (!client.contains(x, y) && before.pixel(x, y) != after.pixel(x, y))
                return QStringLiteral("pixel %1, %2 outside the canvas changed").arg(x).arg(y);
    return {};
}

#define CHECK_DISCS(image, centres, radius, colour, background)                                    \
    do {                                                                                           \
        const QString why_ = checkDiscs((image), (centres), (radius), (colour), (background));     \
        QVERIFY2(why_.isEmpty(), qPrintable(why_));                                                \
    } while (false)

} // namespace

class PaintTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    // A test that failed halfway through a drag must not leave a button held for the next.
    void init() { QTestPrivate::qtestMouseButtons = Qt::NoButton; }

    void brushReachesCanvas_data();
    void brushReachesCanvas();
    void whiteShowsOnColouredSheet();
    void onlyLeftButtonPaints_data();
    void onlyLeftButtonPaints();
    void pressWithoutMoveDrawsNothing();
    void dragBelongsToItsControl_data();
    void dragBelongsToItsControl();
    void dragLeavingCanvasIsClipped();
    void stampsAtEdgesClipped();
    void eachMoveStampsOneDisc();
    void layerSurvivesRepaint();
    void surfaceSizes();
    void setBackColorErases();
    void clearKeepsBackgroundAndPicture();
    void pictureAtTopLeftUnscaled();
    void sidePanelOutline();
};

// Every swatch with every size, chosen by clicking, then one stamp by a drag on the canvas,
// here on a grey sheet so that the white brush shows too.
void PaintTest::brushReachesCanvas_data()
{
    QTest::addColumn<QString>("swatch");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("radius");
    const struct {
        const char *name;
        QRgb colour;
    } swatches[] = {{"黒色", qRgb(0, 0, 0)},     {"白色", qRgb(255, 255, 255)},
                    {"赤色", qRgb(255, 0, 0)},   {"青色", qRgb(0, 0, 255)},
                    {"黄色", qRgb(255, 255, 0)}, {"紫色", qRgb(255, 0, 255)},
                    {"橙色", qRgb(255, 162, 0)}, {"緑色", qRgb(0, 255, 0)}};
    const struct {
        const char *name;
        int radius;
    } sizes[] = {{"細い", 10}, {"普通", 50}, {"太い", 100}, {"極太", 175}};
    for (const auto &s : swatches)
        for (const auto &z : sizes)
            QTest::addRow("%s %s", s.name, z.name)
                << QString::fromUtf8(s.name) << s.colour << QString::fromUtf8(z.name) << z.radius;
}

void PaintTest::brushReachesCanvas()
{
    QFETCH(QString, swatch);
    QFETCH(QRgb, colour);
    QFETCH(QString, size);
    QFETCH(int, radius);
    TestWindow app;
    QVERIFY(app.show());
    app.w.画板->setBackColor(ColourValue(128, 128, 128));
    app.click(app.w.findChild<QWidget *>(swatch));
    app.click(app.w.findChild<QWidget *>(size));
    // Choosing changes nothing on the canvas until the next stamp.
    QCOMPARE(app.shown(app.w.画板), filled(QSize(269, 277), Grey));

    const QPoint o = app.origin(app.w.画板);
    app.drag({o + QPoint(30, 30), o + QPoint(150, 120)});
    const QList<QPointF> centre = {QPointF(150, 120)};
    CHECK_DISCS(app.shown(app.w.画板), centre, radius / 15.0, colour, Grey);
    CHECK_DISCS(app.w.画板->image().convertToFormat(QImage::Format_RGB32), centre, radius / 15.0,
                colour, Grey);
    QCOMPARE(app.beeps, 0);
}

// The white brush on the white paper leaves nothing to see; on a coloured sheet it shows.
void PaintTest::whiteShowsOnColouredSheet()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.w.白色);
    const QPoint o = app.origin(app.w.画板);
    app.drag({o + QPoint(30, 30), o + QPoint(100, 100)});
    QCOMPARE(app.shown(app.w.画板), filled(QSize(269, 277), White));
    app.click(app.w.紙の色[3]);
    app.click(app.w.btnNew);
    const QRgb blue = qRgb(0, 0, 255);
    QCOMPARE(app.shown(app.w.画板), filled(QSize(269, 277), blue));
    app.drag({o + QPoint(30, 30), o + QPoint(100, 100)});
    CHECK_DISCS(app.shown(app.w.画板), (QList<QPointF>{{100, 100}}), 50 / 15.0, White, blue);
}

// Only the left button held alone paints.
void PaintTest::onlyLeftButtonPaints_data()
{
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<bool>("paints");
    QTest::newRow("left") << QList<int>{Qt::LeftButton} << true;
    QTest::newRow("right") << QList<int>{Qt::RightButton} << false;
    QTest::newRow("middle") << QList<int>{Qt::MiddleButton} << false;
    QTest::newRow("left+right") << QList<int>{Qt::LeftButton, Qt::RightButton} << false;
    QTest::newRow("right+left") << QList<int>{Qt::RightButton, Qt::LeftButton} << false;
    QTest::newRow("left+middle") << QList<int>{Qt::LeftButton, Qt::MiddleButton} << false;
    QTest::newRow("none") << QList<int>{} << false;
}

void PaintTest::onlyLeftButtonPaints()
{
    QFETCH(QList<int>, buttons);
    QFETCH(bool, paints);
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.w.太い);
    QWindow *window = app.w.windowHandle();
    const QPoint o = app.origin(app.w.画板);
    QTest::mouseMove(window, o + QPoint(40, 40));
    for (int b : buttons)
        QTest::mousePress(window, Qt::MouseButton(b), {}, o + QPoint(40, 40));
    const QList<QPoint> path = {{80, 60}, {120, 60}, {160, 60}};
    for (const QPoint p : path)
        QTest::mouseMove(window, o + p);
    for (int b : buttons)
        QTest::mouseRelease(window, Qt::MouseButton(b), {}, o + path.last());

    QList<QPointF> centres;
    if (paints)
        for (const QPoint p : path)
            centres << QPointF(p);
    CHECK_DISCS(app.shown(app.w.画板), centres, 100 / 15.0, qRgb(0, 0, 0), White);
}

void PaintTest::pressWithoutMoveDrawsNothing()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.w.画板);
    QTest::mouseClick(app.w.windowHandle(), Qt::LeftButton, {}, o + QPoint(100, 100));
    QTest::mouseDClick(app.w.windowHandle(), Qt::LeftButton, {}, o + QPoint(120, 100));
    QCOMPARE(app.shown(app.w.画板), filled(QSize(269, 277), White));
}

// A drag paints on the surface of the control it began on, at positions relative to that
// control, wherever it goes; one begun anywhere else paints nothing, also across the canvas.
void PaintTest::dragBelongsToItsControl_data()
{
    QTest::addColumn<QString>("start");  // the control pressed on
    QTest::addColumn<QPoint>("pressAt"); // window coordinates
    QTest::addColumn<QList<QPoint>>("path");
    QTest::addColumn<QList<QPointF>>("canvasDiscs");
    QTest::addColumn<QList<QPointF>>("sideDiscs");

    // Canvas client origin (10, 10); message line (0, 400); side panel client (290, 242).
    const QList<QPoint> acrossCanvas = {{200, 100}, {150, 150}, {60, 200}};
    QTest::newRow("canvas") << "画板" << QPoint(30, 30)
                            << QList<QPoint>{{110, 60}, {170, 60}, {230, 60}}
                            << QList<QPointF>{{100, 50}, {160, 50}, {220, 50}} << QList<QPointF>{};
    QTest::newRow("canvas into side panel")
        << "画板" << QPoint(30, 30) << QList<QPoint>{{200, 30}, {330, 255}}
        << QList<QPointF>{{190, 20}, {320, 245}} << QList<QPointF>{};
    QTest::newRow("message line") << "InfoDis" << QPoint(20, 410)
                                  << QList<QPoint>{{60, 412}, {120, 425}, {200, 420}, {400, 405}}
                                  << QList<QPointF>{{60, 12}, {120, 25}, {200, 20}, {400, 5}}
                                  << QList<QPointF>{};
    QTest::newRow("message line onto canvas")
        << "InfoDis" << QPoint(20, 410) << QList<QPoint>{{60, 412}, {100, 200}}
        << QList<QPointF>{{60, 12}, {100, -200}} << QList<QPointF>{};
    QTest::newRow("side panel") << "関係ないやつ" << QPoint(300, 250)
                                << QList<QPoint>{{330, 255}, {400, 270}, {200, 100}}
                                << QList<QPointF>{}
                                << QList<QPointF>{{40, 13}, {110, 28}, {-90, -142}};
    QTest::newRow("button") << "btnSave" << QPoint(388, 36) << acrossCanvas << QList<QPointF>{}
                            << QList<QPointF>{};
    QTest::newRow("swatch") << "赤色" << QPoint(104, 336) << acrossCanvas << QList<QPointF>{}
                            << QList<QPointF>{};
    QTest::newRow("size button") << "極太" << QPoint(272, 340) << acrossCanvas << QList<QPointF>{}
                                 << QList<QPointF>{};
    QTest::newRow("paper button") << "紙の色" << QPoint(320, 336) << acrossCanvas
                                  << QList<QPointF>{} << QList<QPointF>{};
    QTest::newRow("window background")
        << "frmMain" << QPoint(284, 100) << acrossCanvas << QList<QPointF>{} << QList<QPointF>{};
    QTest::newRow("group panel") << "色フレーム" << QPoint(60, 390) << acrossCanvas
                                 << QList<QPointF>{} << QList<QPointF>{};
    QTest::newRow("label") << "Label1" << QPoint(20, 305) << acrossCanvas << QList<QPointF>{}
                           << QList<QPointF>{};
}

void PaintTest::dragBelongsToItsControl()
{
    QFETCH(QString, start);
    QFETCH(QPoint, pressAt);
    QFETCH(QList<QPoint>, path);
    QFETCH(QList<QPointF>, canvasDiscs);
    QFETCH(QList<QPointF>, sideDiscs);
    TestWindow app;
    QVERIFY(app.show());
    if (start == QStringLiteral("frmMain"))
        QCOMPARE(app.w.childAt(pressAt), nullptr);
    else
        QCOMPARE(app.w.childAt(pressAt)->objectName(), start);
    const QImage messageLine = app.w.InfoDis->grab().toImage();
    app.drag(QList<QPoint>{pressAt} + path);

    CHECK_DISCS(app.shown(app.w.画板), canvasDiscs, 50 / 15.0, qRgb(0, 0, 0), White);
    CHECK_DISCS(app.shown(app.w.関係ないやつ), sideDiscs, 50 / 15.0, qRgb(0, 0, 0), White);
    QCOMPARE(app.w.InfoDis->grab().toImage(), messageLine);
    // A drag that began on a button and left it is no click.
    QCOMPARE(app.w.state.PenRed, 0);
    QCOMPARE(app.w.state.PenSize, 50);
    QVERIFY(app.w.紙の色[1]->isChecked());
    QVERIFY(!QFile::exists(QFile::decodeName(app.w.picturePath)));
    QCOMPARE(app.beeps, 0);
}

// A drag begun on the canvas goes on stamping outside it; the discs are cut at the canvas's
// edge, and neither its border nor the window around it is painted.
void PaintTest::dragLeavingCanvasIsClipped()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.w.極太);
    const QPoint o = app.origin(app.w.画板);
    // The canvas takes the focus from the size button first, which redraws that button.
    app.click(app.w.画板);
    const QImage before = app.grab();
    // Out to the right through the gap before the buttons, down to the labels, and left of it.
    app.drag({o + QPoint(200, 90), o + QPoint(262, 90), o + QPoint(275, 150), o + QPoint(275, 285),
              QPoint(3, 200)});
    const QImage after = app.grab();
    const double r = 175 / 15.0;
    CHECK_DISCS(app.shown(app.w.画板),
                (QList<QPointF>{{262, 90}, {275, 150}, {275, 285}, {-7, 190}}), r, qRgb(0, 0, 0),
                White);
    // The part of the disc inside the canvas reaches its last column.
    QCOMPARE(app.w.画板->image().pixel(268, 150) & 0xffffff, 0u);
    QCOMPARE(app.w.画板->image().pixel(0, 190) & 0xffffff, 0u);
    const QString changed = changedOutside(before, after, QRect(o, QSize(269, 277)));
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

// Stamps centred on the canvas's outermost pixels are cut at each edge.
void PaintTest::stampsAtEdgesClipped()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.w.太い);
    const QPoint o = app.origin(app.w.画板);
    app.click(app.w.画板);
    const QImage before = app.grab();
    const QList<QPoint> edges = {{0, 100}, {269, 140}, {120, 0}, {180, 277}, {0, 0}, {269, 277}};
    QList<QPointF> centres;
    for (const QPoint p : edges) {
        app.drag({o + QPoint(130, 130), o + p});
        centres << QPointF(p);
    }
    CHECK_DISCS(app.shown(app.w.画板), centres, 100 / 15.0, qRgb(0, 0, 0), White);
    const QImage after = app.grab();
    const QString changed = changedOutside(before, after, QRect(o, QSize(269, 277)));
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

// No line joins the stamps and no move is dropped: N separate moves leave N separate discs.
void PaintTest::eachMoveStampsOneDisc()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.w.画板);
    QList<QPoint> path = {o + QPoint(5, 250)};
    QList<QPointF> centres;
    for (int i = 0; i < 24; ++i) {
        const QPoint p(12 + (i % 12) * 20, 40 + (i / 12) * 60);
        path << o + p;
        centres << QPointF(p);
    }
    app.drag(path);
    const QImage canvas = app.shown(app.w.画板);
    QCOMPARE(patches(canvas, White), 24);
    CHECK_DISCS(canvas, centres, 50 / 15.0, qRgb(0, 0, 0), White);

    // A slow stroke, one pixel a move, leaves one continuous band.
    app.w.画板->clear();
    QList<QPoint> slow = {o + QPoint(20, 200)};
    for (int x = 20; x <= 120; ++x)
        slow << o + QPoint(x, 200);
    app.drag(slow);
    QCOMPARE(patches(app.shown(app.w.画板), White), 1);
}

// The drawing layer persists: a repaint, or hiding and showing the window, keeps it.
void PaintTest::layerSurvivesRepaint()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.w.緑色);
    const QPoint o = app.origin(app.w.画板);
    app.drag({o + QPoint(20, 20), o + QPoint(60, 70), o + QPoint(200, 220)});
    const QImage painted = app.shown(app.w.画板);
    CHECK_DISCS(painted, (QList<QPointF>{{60, 70}, {200, 220}}), 50 / 15.0, qRgb(0, 255, 0), White);

    app.w.画板->repaint();
    app.w.repaint();
    QCOMPARE(app.shown(app.w.画板), painted);
    app.w.hide();
    QTest::qWait(20);
    QVERIFY(app.show());
    QCOMPARE(app.shown(app.w.画板), painted);
    // A window laid over the canvas and taken away again.
    QWidget cover;
    cover.setGeometry(QRect(app.w.mapToGlobal(QPoint(0, 0)), QSize(200, 200)));
    cover.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    cover.hide();
    QTest::qWait(20);
    QCOMPARE(app.shown(app.w.画板), painted);
}

void PaintTest::surfaceSizes()
{
    TestWindow app;
    QVERIFY(app.show());
    QCOMPARE(app.w.画板->image().size(), QSize(269, 277));
    QCOMPARE(app.w.画板->outerWidthTwips(), 4095.0f);
    QCOMPARE(app.w.画板->outerHeightTwips(), 4215.0f);
    QCOMPARE(app.w.関係ないやつ->image().size(), QSize(197, 37));
    QCOMPARE(app.w.関係ないやつ->outerWidthTwips(), 3015.0f);
    QCOMPARE(app.w.関係ないやつ->outerHeightTwips(), 615.0f);
    // The image is the client area as shown: paint, and compare it with the screen.
    app.click(app.w.赤色);
    const QPoint o = app.origin(app.w.画板);
    app.drag({o + QPoint(20, 20), o + QPoint(0, 0), o + QPoint(268, 276), o + QPoint(134, 138)});
    QCOMPARE(app.w.画板->image().convertToFormat(QImage::Format_RGB32), app.shown(app.w.画板));
}

void PaintTest::setBackColorErases()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.w.画板);
    app.drag({o + QPoint(20, 20), o + QPoint(60, 70)});
    app.w.画板->setBackColor(ColourValue(0, 0, 255));
    QCOMPARE(app.shown(app.w.画板), filled(QSize(269, 277), qRgb(0, 0, 255)));
    QCOMPARE(app.w.画板->image().convertToFormat(QImage::Format_RGB32),
             filled(QSize(269, 277), qRgb(0, 0, 255)));
    // Discs painted after it lie on the new colour.
    app.drag({o + QPoint(20, 20), o + QPoint(60, 70)});
    CHECK_DISCS(app.shown(app.w.画板), (QList<QPointF>{{60, 70}}), 50 / 15.0, qRgb(0, 0, 0),
                qRgb(0, 0, 255));
}

namespace {

// A picture whose every pixel differs from its neighbours', so any shift or scaling shows.
QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, (x + y) & 255 | 1));
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

void PaintTest::clearKeepsBackgroundAndPicture()
{
    TestWindow app;
    QVERIFY(app.show());
    const QRgb green = qRgb(0, 255, 0);
    const QImage picture = pattern(QSize(40, 30));
    app.w.画板->setBackColor(ColourValue(0, 255, 0));
    app.w.画板->setPicture(picture);
    const QPoint o = app.origin(app.w.画板);
    app.drag({o + QPoint(100, 100), o + QPoint(20, 15), o + QPoint(150, 150)});
    QVERIFY(app.shown(app.w.画板) != composite(QSize(269, 277), green, picture));
    app.w.画板->clear();
    QCOMPARE(app.shown(app.w.画板), composite(QSize(269, 277), green, picture));
}

void PaintTest::pictureAtTopLeftUnscaled()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.w.画板);
    app.drag({o + QPoint(100, 100), o + QPoint(10, 10), o + QPoint(150, 150)});

    // A small picture: at the corner, pixel for pixel, the layer gone.
    const QImage small = pattern(QSize(50, 20));
    app.w.画板->setPicture(small);
    QCOMPARE(app.shown(app.w.画板), composite(QSize(269, 277), White, small));
    QCOMPARE(app.w.画板->image().convertToFormat(QImage::Format_RGB32),
             composite(QSize(269, 277), White, small));
    // Discs go over the picture.
    app.drag({o + QPoint(100, 100), o + QPoint(10, 10)});
    QCOMPARE(app.shown(app.w.画板).pixel(10, 10) & 0xffffff, 0u);

    // A larger one is cut at the edges, not shrunk to fit.
    const QImage large = pattern(QSize(400, 300));
    app.w.画板->setPicture(large);
    QCOMPARE(app.shown(app.w.画板), large.copy(0, 0, 269, 277));

    // Taking it away leaves the background colour, and the layer is erased again.
    app.drag({o + QPoint(100, 100), o + QPoint(50, 50)});
    app.w.画板->removePicture();
    QCOMPARE(app.shown(app.w.画板), filled(QSize(269, 277), White));
    // Nor does it come back when the sheet is erased again.
    app.drag({o + QPoint(100, 100), o + QPoint(50, 50)});
    app.w.画板->clear();
    QCOMPARE(app.shown(app.w.画板), filled(QSize(269, 277), White));
}

// The side panel's own circles set only their fill; the outline stays black until the user
// paints there, after which it takes the brush colour used last.
void PaintTest::sidePanelOutline()
{
    TestWindow app;
    app.w.random = [] { return 0.25f; };
    QVERIFY(app.show());
    // With 0.25 from every draw: fill (63, 63, 63), radius 124 twips about (879, 279).
    const QPointF centre(879 / 15.0, 279 / 15.0);
    const int row = int(centre.y());
    auto rim = [&](const QImage &side) {
        int left = 0;
        while (left < side.width() && same(side.pixel(left, row), White))
            ++left;
        int right = side.width() - 1;
        while (right >= 0 && same(side.pixel(right, row), White))
            --right;
        return std::make_pair(side.pixel(left, row) & 0xffffff, side.pixel(right, row) & 0xffffff);
    };

    app.w.Timer1_Tick();
    QImage side = app.shown(app.w.関係ないやつ);
    QCOMPARE(side.pixel(int(centre.x()), row) & 0xffffff, qRgb(63, 63, 63) & 0xffffff);
    QCOMPARE(rim(side), std::make_pair(0u, 0u));

    // Paint in red on the side panel, away from that circle, then let it tick again.
    app.click(app.w.赤色);
    const QPoint o = app.origin(app.w.関係ないやつ);
    app.drag({o + QPoint(150, 10), o + QPoint(160, 12)});
    app.w.Timer1_Tick();
    side = app.shown(app.w.関係ないやつ);
    QCOMPARE(side.pixel(int(centre.x()), row) & 0xffffff, qRgb(63, 63, 63) & 0xffffff);
    const QRgb red = qRgb(255, 0, 0) & 0xffffff;
    QCOMPARE(rim(side), std::make_pair(red, red));
    QCOMPARE(side.pixel(160, 12) & 0xffffff, red);
}

QTEST_MAIN(PaintTest)
#include "paint_test.moc"
