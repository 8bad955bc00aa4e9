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
} // namespace

class PaintTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        // A test that failed halfway through a drag must not leave a button held for the next.
        QTestPrivate::qtestMouseButtons = Qt::NoButton;
    }

    void brushReachesCanvas_data();
    void brushReachesCanvas();
    void whiteShowsOnColouredSheet();
    void onlyLeftButtonPaints_data();
    void onlyLeftButtonPaints();
    void pressWithoutMoveDrawsNothing();
    void dragBelongsToItsControl_data();
    void dragBelongsToItsControl();
    void secondFingerIgnored();
    void tapPresses_data();
    void tapPresses();
    void dragLeavingCanvasIsClipped();
    void stampsAtEdgesClipped();
    void eachMoveStampsOneDisc();
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
    app.ui.画板->setBackColor(ColourValue(128, 128, 128));
    app.click(app.w.findChild<QWidget *>(swatch));
    app.click(app.w.findChild<QWidget *>(size));
    // Choosing changes nothing on the canvas until the next stamp.
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), Grey));

    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(30, 30), o + QPoint(150, 120)});
    const QList<QPointF> centre = {QPointF(150, 120)};
    CHECK_DISCS(app.shown(app.ui.画板), centre, radius / 15.0, colour, Grey);
    CHECK_DISCS(app.ui.画板->image().convertToFormat(QImage::Format_RGB32), centre, radius / 15.0,
                colour, Grey);
    QCOMPARE(app.beeps, 0);
}

// The white brush on the white paper leaves nothing to see; on a coloured sheet it shows.
void PaintTest::whiteShowsOnColouredSheet()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.ui.白色);
    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(30, 30), o + QPoint(100, 100)});
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), White));
    app.click(app.ui.紙の色[3]);
    app.click(app.ui.btnNew);
    const QRgb blue = qRgb(0, 0, 255);
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), blue));
    app.drag({o + QPoint(30, 30), o + QPoint(100, 100)});
    CHECK_DISCS(app.shown(app.ui.画板), (QList<QPointF>{{100, 100}}), 50 / 15.0, White, blue);
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
    app.click(app.ui.太い);
    QWindow *window = app.w.windowHandle();
    const QPoint o = app.origin(app.ui.画板);
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
    CHECK_DISCS(app.shown(app.ui.画板), centres, 100 / 15.0, qRgb(0, 0, 0), White);
}

void PaintTest::pressWithoutMoveDrawsNothing()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.ui.画板);
    QTest::mouseClick(app.w.windowHandle(), Qt::LeftButton, {}, o + QPoint(100, 100));
    QTest::mouseDClick(app.w.windowHandle(), Qt::LeftButton, {}, o + QPoint(120, 100));
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), White));
}

// A drag paints on the surface of the control it began on, at positions relative to that
// control, wherever it goes; one begun anywhere else paints nothing, also across the canvas.
// A finger and the pen drag as the left button does.
void PaintTest::dragBelongsToItsControl_data()
{
    QTest::addColumn<TestWindow::Pointer>("pointer");
    QTest::addColumn<QString>("start");  // the control pressed on
    QTest::addColumn<QPoint>("pressAt"); // window coordinates
    QTest::addColumn<QList<QPoint>>("path");
    QTest::addColumn<QList<QPointF>>("canvasDiscs");
    QTest::addColumn<QList<QPointF>>("sideDiscs");

    // Canvas client origin (10, 10); message line (0, 400); side panel client (290, 242).
    const QList<QPoint> acrossCanvas = {{200, 100}, {150, 150}, {60, 200}};
    using P = TestWindow::Pointer;
    for (const auto &[pointer, by] :
         {std::pair(P::Mouse, ""), std::pair(P::Finger, "finger, "), std::pair(P::Pen, "pen, ")}) {
        const auto newRow = [&, pointer = pointer, by = by](const char *name) -> QTestData & {
            return QTest::addRow("%s%s", by, name) << pointer;
        };
        newRow("canvas") << "画板" << QPoint(30, 30)
                         << QList<QPoint>{{110, 60}, {170, 60}, {230, 60}}
                         << QList<QPointF>{{100, 50}, {160, 50}, {220, 50}} << QList<QPointF>{};
        newRow("canvas into side panel")
            << "画板" << QPoint(30, 30) << QList<QPoint>{{200, 30}, {330, 255}}
            << QList<QPointF>{{190, 20}, {320, 245}} << QList<QPointF>{};
        newRow("message line") << "InfoDis" << QPoint(20, 410)
                               << QList<QPoint>{{60, 412}, {120, 425}, {200, 420}, {400, 405}}
                               << QList<QPointF>{{60, 12}, {120, 25}, {200, 20}, {400, 5}}
                               << QList<QPointF>{};
        newRow("message line onto canvas")
            << "InfoDis" << QPoint(20, 410) << QList<QPoint>{{60, 412}, {100, 200}}
            << QList<QPointF>{{60, 12}, {100, -200}} << QList<QPointF>{};
        newRow("side panel") << "関係ないやつ" << QPoint(300, 250)
                             << QList<QPoint>{{330, 255}, {400, 270}, {200, 100}}
                             << QList<QPointF>{}
                             << QList<QPointF>{{40, 13}, {110, 28}, {-90, -142}};
        newRow("button") << "btnSave" << QPoint(388, 36) << acrossCanvas << QList<QPointF>{}
                         << QList<QPointF>{};
        newRow("swatch") << "赤色" << QPoint(104, 336) << acrossCanvas << QList<QPointF>{}
                         << QList<QPointF>{};
        newRow("size button") << "極太" << QPoint(272, 340) << acrossCanvas << QList<QPointF>{}
                              << QList<QPointF>{};
        newRow("paper button") << "紙の色" << QPoint(320, 336) << acrossCanvas << QList<QPointF>{}
                               << QList<QPointF>{};
        newRow("window background") << "frmMain" << QPoint(284, 100) << acrossCanvas
                                    << QList<QPointF>{} << QList<QPointF>{};
        newRow("group panel") << "色フレーム" << QPoint(60, 390) << acrossCanvas << QList<QPointF>{}
                              << QList<QPointF>{};
        newRow("label") << "Label1" << QPoint(20, 305) << acrossCanvas << QList<QPointF>{}
                        << QList<QPointF>{};
    }
}

void PaintTest::dragBelongsToItsControl()
{
    QFETCH(TestWindow::Pointer, pointer);
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
    const QImage messageLine = app.ui.InfoDis->grab().toImage();
    app.drag(QList<QPoint>{pressAt} + path, pointer);

    CHECK_DISCS(app.shown(app.ui.画板), canvasDiscs, 50 / 15.0, qRgb(0, 0, 0), White);
    CHECK_DISCS(app.shown(app.ui.関係ないやつ), sideDiscs, 50 / 15.0, qRgb(0, 0, 0), White);
    QCOMPARE(app.ui.InfoDis->grab().toImage(), messageLine);
    // A drag that began on a button and left it is no click.
    QVERIFY(app.ui.黒色->isChecked());
    QVERIFY(app.ui.普通->isChecked());
    QVERIFY(app.ui.紙の色[1]->isChecked());
    QVERIFY(!QFile::exists(QFile::decodeName(app.picturePlace().path())));
    QCOMPARE(app.beeps, 0);
}

// While one finger paints, others neither paint nor press, and the first goes on painting.
void PaintTest::secondFingerIgnored()
{
    TestWindow app;
    QVERIFY(app.show());
    QWindow *window = app.w.windowHandle();
    const QPoint o = app.origin(app.ui.画板);
    const QPoint onNew = app.ui.btnNew->mapTo(&app.w, app.ui.btnNew->rect().center());
    const auto touch = [&] { return QTest::touchEvent(window, TestWindow::touchScreen()); };
    touch().press(0, o + QPoint(40, 40), window);
    touch().move(0, o + QPoint(60, 40), window).press(1, o + QPoint(40, 200), window);
    touch().move(0, o + QPoint(80, 40), window).move(1, o + QPoint(80, 200), window);
    touch().stationary(0).release(1, o + QPoint(80, 200), window);
    touch().move(0, o + QPoint(100, 40), window).press(2, onNew, window);
    touch().stationary(0).release(2, onNew, window);
    touch().move(0, o + QPoint(120, 40), window);
    touch().release(0, o + QPoint(120, 40), window);
    CHECK_DISCS(app.shown(app.ui.画板), (QList<QPointF>{{60, 40}, {80, 40}, {100, 40}, {120, 40}}),
                50 / 15.0, qRgb(0, 0, 0), White);
    QCOMPARE(app.ui.InfoDis->text(), frmMain::DefaultNotice);
}

// A tap with a finger or the pen presses a swatch, a size and a button as a click does.
void PaintTest::tapPresses_data()
{
    QTest::addColumn<TestWindow::Pointer>("pointer");
    QTest::newRow("finger") << TestWindow::Pointer::Finger;
    QTest::newRow("pen") << TestWindow::Pointer::Pen;
}

void PaintTest::tapPresses()
{
    QFETCH(TestWindow::Pointer, pointer);
    TestWindow app;
    QVERIFY(app.show());
    app.tap(app.ui.赤色, pointer);
    app.tap(app.ui.極太, pointer);
    QVERIFY(app.ui.赤色->isChecked());
    QVERIFY(app.ui.極太->isChecked());
    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(40, 40), o + QPoint(60, 60)}, pointer);
    CHECK_DISCS(app.shown(app.ui.画板), (QList<QPointF>{{60, 60}}), 175 / 15.0, qRgb(255, 0, 0),
                White);
    app.tap(app.ui.btnNew, pointer);
    QCOMPARE(app.ui.InfoDis->text(), QStringLiteral("紙をとりかえましたよ！"));
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), White));
}

// A drag begun on the canvas goes on stamping outside it; the discs are cut at the canvas's
// edge, and neither its border nor the window around it is painted.
void PaintTest::dragLeavingCanvasIsClipped()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.ui.極太);
    const QPoint o = app.origin(app.ui.画板);
    // The canvas takes the focus from the size button first, which redraws that button.
    app.click(app.ui.画板);
    const QImage before = app.grab();
    // Out to the right through the gap before the buttons, down to the labels, and left of it.
    app.drag({o + QPoint(200, 90), o + QPoint(262, 90), o + QPoint(275, 150), o + QPoint(275, 285),
              QPoint(3, 200)});
    const QImage after = app.grab();
    const double r = 175 / 15.0;
    CHECK_DISCS(app.shown(app.ui.画板),
                (QList<QPointF>{{262, 90}, {275, 150}, {275, 285}, {-7, 190}}), r, qRgb(0, 0, 0),
                White);
    // The part of the disc inside the canvas reaches its last column.
    QCOMPARE(app.ui.画板->image().pixel(268, 150) & 0xffffff, 0u);
    QCOMPARE(app.ui.画板->image().pixel(0, 190) & 0xffffff, 0u);
    const QString changed = changedOutside(before, after, QRect(o, QSize(269, 277)));
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

// Stamps centred on the canvas's outermost pixels are cut at each edge.
void PaintTest::stampsAtEdgesClipped()
{
    TestWindow app;
    QVERIFY(app.show());
    app.click(app.ui.太い);
    const QPoint o = app.origin(app.ui.画板);
    app.click(app.ui.画板);
    const QImage before = app.grab();
    const QList<QPoint> edges = {{0, 100}, {269, 140}, {120, 0}, {180, 277}, {0, 0}, {269, 277}};
    QList<QPointF> centres;
    for (const QPoint p : edges) {
        app.drag({o + QPoint(130, 130), o + p});
        centres << QPointF(p);
    }
    CHECK_DISCS(app.shown(app.ui.画板), centres, 100 / 15.0, qRgb(0, 0, 0), White);
    const QImage after = app.grab();
    const QString changed = changedOutside(before, after, QRect(o, QSize(269, 277)));
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

// No line joins the stamps and no move is dropped: N separate moves leave N separate discs.
void PaintTest::eachMoveStampsOneDisc()
{
    TestWindow app;
    QVERIFY(app.show());
    const QPoint o = app.origin(app.ui.画板);
    QList<QPoint> path = {o + QPoint(5, 250)};
    QList<QPointF> centres;
    for (int i = 0; i < 24; ++i) {
        const QPoint p(12 + (i % 12) * 20, 40 + (i / 12) * 60);
        path << o + p;
        centres << QPointF(p);
    }
    app.drag(path);
    const QImage canvas = app.shown(app.ui.画板);
    QCOMPARE(patches(canvas, White), 24);
    CHECK_DISCS(canvas, centres, 50 / 15.0, qRgb(0, 0, 0), White);

    // A slow stroke, one pixel a move, leaves one continuous band.
    app.ui.画板->clear();
    QList<QPoint> slow = {o + QPoint(20, 200)};
    for (int x = 20; x <= 120; ++x)
        slow << o + QPoint(x, 200);
    app.drag(slow);
    QCOMPARE(patches(app.shown(app.ui.画板), White), 1);
}

// The side panel's own circles set only their fill; the outline stays black until the user
// paints there, after which it takes the brush colour used last.
void PaintTest::sidePanelOutline()
{
    TestWindow app;
    app.setRandom([] { return 0.25f; });
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

    app.Timer1_Tick();
    QImage side = app.shown(app.ui.関係ないやつ);
    QCOMPARE(side.pixel(int(centre.x()), row) & 0xffffff, qRgb(63, 63, 63) & 0xffffff);
    QCOMPARE(rim(side), std::make_pair(0u, 0u));

    // Paint in red on the side panel, away from that circle, then let it tick again.
    app.click(app.ui.赤色);
    const QPoint o = app.origin(app.ui.関係ないやつ);
    app.drag({o + QPoint(150, 10), o + QPoint(160, 12)});
    app.Timer1_Tick();
    side = app.shown(app.ui.関係ないやつ);
    QCOMPARE(side.pixel(int(centre.x()), row) & 0xffffff, qRgb(63, 63, 63) & 0xffffff);
    const QRgb red = qRgb(255, 0, 0) & 0xffffff;
    QCOMPARE(rim(side), std::make_pair(red, red));
    QCOMPARE(side.pixel(160, 12) & 0xffffff, red);
}

QTEST_MAIN(PaintTest)
#include "paint_test.moc"
