// The side panel's random circles: which random value goes where, the wipe of every 26th tick,
// the outlines, and that the pattern leaves the picture alone. Checked on the panel's pixels.
#include "testwindow.h"

#include <QtTest>

#include <deque>
#include <memory>
#include <random>

namespace {

constexpr float JustBelowOne = 0.99999994f; // the largest float below 1
constexpr int Border = DrawingSurface::Border;
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);

// A random source that hands out the values a test lines up, counts its draws and can act on
// a given draw (numbered from 1) before handing out the value. Runs on 0.5 when the values end.
struct Script {
    std::deque<float> values;
    int draws = 0;
    std::function<void(int draw)> onDraw;

    void add(std::initializer_list<float> more) { values.insert(values.end(), more); }
};

// A random source that draws from the script.
std::function<float()> drawsFrom(const std::shared_ptr<Script> &s)
{
    return [s] {
        ++s->draws;
        if (s->onDraw)
            s->onDraw(s->draws);
        if (s->values.empty())
            return 0.5f;
        const float r = s->values.front();
        s->values.pop_front();
        return r;
    };
}

std::shared_ptr<Script> script(TestWindow &t)
{
    auto s = std::make_shared<Script>();
    t.setRandom(drawsFrom(s));
    return s;
}

QImage panelImage(TestWindow &t)
{
    return t.ui.関係ないやつ->grab().toImage();
}

// A pixel of the panel's client area, as shown.
QColor at(const QImage &panel, int x, int y)
{
    return panel.pixelColor(x + Border, y + Border);
}

// Every field of the state record, in its order.
QList<int> fields(const StateRecord &s)
{
    return {s.PenRed,     s.PenGreen,  s.PenBlue,    s.PenSize,  s.PaperRed,
            s.PaperGreen, s.PaperBlue, s.SparkX,     s.SparkY,   s.SparkRadius,
            s.SparkCount, s.SparkRed,  s.SparkGreen, s.SparkBlue};
}

int clientWidth(const QImage &panel)
{
    return panel.width() - 2 * Border;
}
int clientHeight(const QImage &panel)
{
    return panel.height() - 2 * Border;
}

// Every pixel of the client area has the one colour.
bool allOf(const QImage &panel, const QColor &colour)
{
    for (int y = 0; y < clientHeight(panel); ++y)
        for (int x = 0; x < clientWidth(panel); ++x)
            if (at(panel, x, y) != colour)
                return false;
    return true;
}

// The circle centred at (x, y) twips with the given radius lies fully inside the panel: its
// centre pixel has the fill colour, and walking out from it left, right, up and down, the
// first pixel that is not fill has the outline colour, lies on the radius (within a pixel),
// and the next one has the background colour.
void checkCircle(const QImage &panel, int x, int y, int radius, const QColor &fill,
                 const QColor &outline, const QColor &background)
{
    const double cx = x / 15.0, cy = y / 15.0, r = radius / 15.0;
    const int col = int(cx), row = int(cy);
    QCOMPARE(at(panel, col, row), fill);
    const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto &step : steps) {
        int k = 1;
        while (k < 40 && at(panel, col + k * step[0], row + k * step[1]) == fill)
            ++k;
        const int rimX = col + k * step[0], rimY = row + k * step[1];
        QCOMPARE(at(panel, rimX, rimY), outline);
        const double distance = std::hypot(rimX + 0.5 - cx, rimY + 0.5 - cy);
        QVERIFY2(distance <= r + 0.01 && distance > r - 1.2,
                 qPrintable(QStringLiteral("rim at %1, %2 is %3 px from the centre, radius %4")
                                .arg(rimX)
                                .arg(rimY)
                                .arg(distance)
                                .arg(r)));
        QCOMPARE(at(panel, rimX + step[0], rimY + step[1]), background);
    }
}

} // namespace

class AnimTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void drawsSixPerTickAndNineOnEveryTwentySixth();
    void fieldsFromScriptedDraws_data();
    void fieldsFromScriptedDraws();
    void circleOnThePanel_data();
    void circleOnThePanel();
    void wipesOnTheTwentySixthTickOnly();
    void outlinesTakeTheBrushLastUsedOnThePanel_data();
    void outlinesTakeTheBrushLastUsedOnThePanel();
    void sizeIsReadThroughThePanel_data();
    void sizeIsReadThroughThePanel();
    void sizeIsReadAfterItsDraw();
    void staysInRangeOverManyTicks();
    void randomBitsBelowOne_data();
    void randomBitsBelowOne();
    void twoFreshWindowsShowTheSameSequence();
    void leavesThePictureAndTheBrushAlone();
    void timerTicksFromTheStartWithoutPause();
};

void AnimTest::drawsSixPerTickAndNineOnEveryTwentySixth()
{
    TestWindow t;
    std::mt19937 generator(7);
    int draws = 0;
    t.setRandom([&] {
        ++draws;
        return float(generator() >> 8) / 16777216.0f;
    });
    for (int tick = 1; tick <= 78; ++tick) {
        const int before = draws;
        t.Timer1_Tick();
        QCOMPARE(draws - before, tick % 26 == 0 ? 9 : 6);
        QCOMPARE(t.state().SparkCount, tick % 26);
    }
}

void AnimTest::fieldsFromScriptedDraws_data()
{
    QTest::addColumn<QList<float>>("draws");
    QTest::addColumn<QList<int>>("fields"); // red, green, blue, radius, x, y

    QTest::newRow("all zero") << QList<float>{0, 0, 0, 0, 0, 0} << QList<int>{0, 0, 0, 100, 0, 0};
    QTest::newRow("all just below one")
        << QList<float>(6, JustBelowOne) << QList<int>{254, 254, 254, 195, 3515, 1115};
    // Distinct values tell which draw feeds which field, and in which order.
    QTest::newRow("rising") << QList<float>{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.75f}
                            << QList<int>{25, 51, 76, 138, 1758, 837};
    QTest::newRow("falling") << QList<float>{0.75f, 0.5f, 0.4f, 0.3f, 0.2f, 0.1f}
                             << QList<int>{191, 127, 102, 128, 703, 111};
    // Products a hair below a whole number, which single precision would round up to it
    // (the radius to 150 here, and to 196 with the largest float below 1).
    QTest::newRow("just below whole numbers") << QList<float>{0.50196075f, 0.78431368f, 0.19999999f,
                                                              0.52083331f, 0.56882817f, 0.89605731f}
                                              << QList<int>{127, 199, 50, 149, 1999, 999};
}

void AnimTest::fieldsFromScriptedDraws()
{
    QFETCH(QList<float>, draws);
    QFETCH(QList<int>, fields);
    TestWindow t;
    auto s = script(t);
    s->values.assign(draws.begin(), draws.end());
    t.Timer1_Tick();
    QCOMPARE(s->draws, 6);
    const StateRecord &st = t.state();
    QCOMPARE((QList<int>{st.SparkRed, st.SparkGreen, st.SparkBlue, st.SparkRadius, st.SparkX,
                         st.SparkY}),
             fields);
    QCOMPARE(st.SparkCount, 1);
}

void AnimTest::circleOnThePanel_data()
{
    QTest::addColumn<QList<float>>("draws");
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("radius");

    QTest::newRow("middle") << QList<float>{0.3f, 0.6f, 0.9f, 0.5f, 0.3f, 0.25f}
                            << QColor(76, 153, 229) << 1054 << 279 << 148;
    QTest::newRow("largest") << QList<float>{0.9f, 0.1f, 0.5f, JustBelowOne, 0.5f, 0.25f}
                             << QColor(229, 25, 127) << 1758 << 279 << 195;
    QTest::newRow("smallest, near the corner") << QList<float>{0.f, 0.5f, 0.f, 0.f, 0.05f, 0.12f}
                                               << QColor(0, 127, 0) << 175 << 133 << 100;
}

void AnimTest::circleOnThePanel()
{
    QFETCH(QList<float>, draws);
    QFETCH(QColor, fill);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, radius);
    TestWindow t;
    auto s = script(t);
    s->values.assign(draws.begin(), draws.end());
    t.Timer1_Tick();
    QCOMPARE((QList<int>{t.state().SparkX, t.state().SparkY, t.state().SparkRadius}),
             (QList<int>{x, y, radius}));
    const QImage panel = panelImage(t);
    checkCircle(panel, x, y, radius, fill, Black, White);
    // Nothing else was drawn: the far corner is still white.
    QCOMPARE(at(panel, clientWidth(panel) - 1, clientHeight(panel) - 1), White);
}

void AnimTest::wipesOnTheTwentySixthTickOnly()
{
    TestWindow t;
    auto s = script(t);
    // The user paints a red disc on the panel, away from where the circles go.
    t.ui.赤色->click();
    t.関係ないやつ_MouseMove(1, 0, 2250, 270);
    QCOMPARE(at(panelImage(t), 150, 18), QColor(255, 0, 0));

    // Ticks 1 to 25 all put the same circle at (1054, 279).
    for (int tick = 1; tick <= 25; ++tick)
        s->add({0.3f, 0.6f, 0.9f, 0.5f, 0.3f, 0.25f});
    for (int tick = 1; tick <= 25; ++tick)
        t.Timer1_Tick();
    QCOMPARE(t.state().SparkCount, 25);
    // Painting on the panel left its outline colour at the red brush.
    const QColor red(255, 0, 0);
    QImage panel = panelImage(t);
    checkCircle(panel, 1054, 279, 148, QColor(76, 153, 229), red, White);
    QCOMPARE(at(panel, 150, 18), red);
    QCOMPARE(at(panel, 0, 0), White);

    // Tick 26 draws its own circle elsewhere, then wipes everything to the colour of draws 7 to 9.
    s->add({0.f, 0.f, 0.f, 0.5f, 0.6f, 0.25f, 0.9f, 0.1f, 0.5f});
    t.Timer1_Tick();
    QCOMPARE(s->draws, 25 * 6 + 9);
    QCOMPARE(t.state().SparkCount, 0);
    QCOMPARE((QList<int>{t.state().SparkRed, t.state().SparkGreen, t.state().SparkBlue}),
             (QList<int>{229, 25, 127}));
    QCOMPARE(t.state().SparkX, 2109);
    const QColor background(229, 25, 127);
    QVERIFY(allOf(panelImage(t), background));

    // The next tick draws a colour of its own for its circle, on the new background.
    s->add({0.1f, 0.2f, 0.3f, 0.5f, 0.3f, 0.25f});
    t.Timer1_Tick();
    QCOMPARE(t.state().SparkCount, 1);
    panel = panelImage(t);
    checkCircle(panel, 1054, 279, 148, QColor(25, 51, 76), red, background);
    QCOMPARE(at(panel, 0, 0), background);
}

void AnimTest::outlinesTakeTheBrushLastUsedOnThePanel_data()
{
    QTest::addColumn<QString>("swatch");
    QTest::addColumn<QColor>("outline");

    QTest::newRow("blue") << QStringLiteral("青色") << QColor(0, 0, 255);
    QTest::newRow("orange, lighter than its swatch")
        << QStringLiteral("橙色") << QColor(255, 162, 0);
    QTest::newRow("white") << QStringLiteral("白色") << QColor(255, 255, 255);
}

void AnimTest::outlinesTakeTheBrushLastUsedOnThePanel()
{
    QFETCH(QString, swatch);
    QFETCH(QColor, outline);
    TestWindow t;
    auto s = script(t);
    const auto tick = [&] {
        s->add({0.3f, 0.6f, 0.9f, 0.5f, 0.3f, 0.25f});
        t.Timer1_Tick();
        return panelImage(t);
    };
    const QColor fill(76, 153, 229);
    checkCircle(tick(), 1054, 279, 148, fill, Black, White);

    // Moves without the left button alone, and painting on the canvas, leave the panel's
    // outline alone.
    t.w.findChild<QAbstractButton *>(swatch)->click();
    t.関係ないやつ_MouseMove(0, 0, 2250, 270);
    t.関係ないやつ_MouseMove(3, 0, 2250, 270);
    t.画板_MouseMove(1, 0, 600, 600);
    QCOMPARE(at(panelImage(t), 150, 18), White);
    checkCircle(tick(), 1054, 279, 148, fill, Black, White);

    // The user paints on the panel with the chosen brush: from then on the outlines have its
    // colour.
    t.関係ないやつ_MouseMove(1, 0, 2250, 270);
    QCOMPARE(at(panelImage(t), 150, 18), outline);
    t.ui.黒色->click();
    t.画板_MouseMove(1, 0, 900, 900);
    for (int i = 0; i < 3; ++i)
        checkCircle(tick(), 1054, 279, 148, fill, outline, White);
}

void AnimTest::sizeIsReadThroughThePanel_data()
{
    QTest::addColumn<QSize>("size"); // pixels
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");

    QTest::newRow("layout, top") << QSize(201, 41) << JustBelowOne << 3515 << 1115;
    QTest::newRow("narrower, top") << QSize(100, 20) << JustBelowOne << 2000 << 800;
    QTest::newRow("narrower, half") << QSize(100, 20) << 0.5f << 1000 << 400;
    QTest::newRow("wider, top") << QSize(300, 60) << JustBelowOne << 5000 << 1400;
}

void AnimTest::sizeIsReadThroughThePanel()
{
    QFETCH(QSize, size);
    QFETCH(float, r);
    QFETCH(int, x);
    QFETCH(int, y);
    TestWindow t;
    t.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.w));
    t.ui.関係ないやつ->resize(size);
    auto s = script(t);
    for (int tick = 0; tick < 3; ++tick) {
        s->add({0.5f, 0.5f, 0.5f, 0.5f, r, r});
        t.Timer1_Tick();
        QCOMPARE(t.state().SparkX, x);
        QCOMPARE(t.state().SparkY, y);
    }
}

// The panel's width is read after the x draw and its height after the y draw.
void AnimTest::sizeIsReadAfterItsDraw()
{
    TestWindow t;
    auto s = script(t);
    s->add({0.5f, 0.5f, 0.5f, 0.5f, JustBelowOne, JustBelowOne});
    s->onDraw = [&](int draw) {
        if (draw == 5)
            t.ui.関係ないやつ->resize(100, 41);
        if (draw == 6)
            t.ui.関係ないやつ->resize(100, 20);
    };
    t.Timer1_Tick();
    QCOMPARE(t.state().SparkX, 2000);
    QCOMPARE(t.state().SparkY, 800);
}

void AnimTest::staysInRangeOverManyTicks()
{
    TestWindow t;
    int lowest[6], highest[6];
    std::fill(std::begin(lowest), std::end(lowest), INT_MAX);
    std::fill(std::begin(highest), std::end(highest), INT_MIN);
    for (int tick = 1; tick <= 20000; ++tick) {
        t.Timer1_Tick();
        const StateRecord &st = t.state();
        const int fields[6] = {st.SparkRed,    st.SparkGreen, st.SparkBlue,
                               st.SparkRadius, st.SparkX,     st.SparkY};
        for (int i = 0; i < 6; ++i) {
            lowest[i] = std::min(lowest[i], fields[i]);
            highest[i] = std::max(highest[i], fields[i]);
        }
        QVERIFY(st.SparkCount >= 0 && st.SparkCount <= 25);
    }
    const int low[6] = {0, 0, 0, 100, 0, 0};
    const int high[6] = {254, 254, 254, 195, 3515, 1115};
    for (int i = 0; i < 6; ++i) {
        QVERIFY2(lowest[i] >= low[i] && highest[i] <= high[i], qPrintable(QString::number(i)));
        // Over this many ticks every field comes close to both ends of its range.
        const int reach = (high[i] - low[i]) / 50;
        QVERIFY2(lowest[i] <= low[i] + reach && highest[i] >= high[i] - reach,
                 qPrintable(QString::number(i)));
    }
}

// The largest output of the random source maps to the largest float below 1, whose circles the
// row "all just below one" above shows inside the panel's range; rounded up to 1, it would not be.
void AnimTest::randomBitsBelowOne_data()
{
    QTest::addColumn<uint>("bits");
    QTest::addColumn<float>("value");
    QTest::newRow("zero") << 0u << 0.0f;
    QTest::newRow("low byte only") << 0xffu << 0.0f;
    QTest::newRow("half") << 0x80000000u << 0.5f;
    QTest::newRow("all ones") << 0xffffffffu << JustBelowOne;
}

void AnimTest::randomBitsBelowOne()
{
    QFETCH(uint, bits);
    QFETCH(float, value);
    const float actual = frmMain::toUnit(bits);
    // Exactly: QCOMPARE would take 1 for the largest float below it.
    QVERIFY2(actual == value, qPrintable(QString::number(actual, 'g', 9)));
}

void AnimTest::twoFreshWindowsShowTheSameSequence()
{
    TestWindow ta, tb;
    for (int tick = 1; tick <= 60; ++tick) {
        ta.Timer1_Tick();
        tb.Timer1_Tick();
        QCOMPARE(fields(ta.state()), fields(tb.state()));
        QCOMPARE(panelImage(ta), panelImage(tb));
        if (tick == 1) {
            // The same in every run of the program, too: the source is never seeded from a clock.
            const StateRecord &st = ta.state();
            QCOMPARE((QList<int>{st.SparkRed, st.SparkGreen, st.SparkBlue, st.SparkRadius,
                                 st.SparkX, st.SparkY}),
                     (QList<int>{207, 34, 230, 180, 446, 1081}));
        }
        if (tick == 26)
            QVERIFY(allOf(panelImage(ta), QColor(157, 198, 120)));
    }
}

void AnimTest::leavesThePictureAndTheBrushAlone()
{
    TestWindow t;
    t.ui.赤色->click();
    t.ui.太い->click();
    t.ui.紙の色[3]->click();
    t.画板_MouseMove(1, 0, 600, 600);
    t.InfoDis_MouseMove(1, 0, 1500, 300);
    const QImage canvas = t.ui.画板->grab().toImage();
    const StateRecord before = t.state();

    for (int tick = 0; tick < 100; ++tick)
        t.Timer1_Tick();

    QCOMPARE(t.ui.画板->grab().toImage(), canvas);
    QCOMPARE(fields(t.state()).first(7), fields(before).first(7));
    // The next stamp on the canvas is still a thick red disc.
    t.画板_MouseMove(1, 0, 2400, 2400);
    const QImage stamped = t.ui.画板->grab().toImage();
    QCOMPARE(stamped.pixelColor(160 + Border, 160 + Border), QColor(255, 0, 0));
    QCOMPARE(stamped.pixelColor(160 + 6 + Border, 160 + Border), QColor(255, 0, 0));
}

void AnimTest::timerTicksFromTheStartWithoutPause()
{
    auto s = std::make_shared<Script>();
    frmMain::Services services;
    services.beep = [] {};
    services.random = drawsFrom(s);
    frmMain w(std::move(services));
    // Ten ticks a second; the count below could not tell a slower timer from a busy machine.
    QCOMPARE(w.controls().Timer1->interval(), 100);
    // A notice on the message line does not hold the animation up.
    w.controls().btnNew->click();
    // About five ticks; fewer only if the machine starves the test of time.
    QTest::qWait(550);
    QVERIFY2(s->draws % 6 == 0 && s->draws >= 2 * 6 && s->draws <= 7 * 6,
             qPrintable(QString::number(s->draws)));
    QVERIFY(w.state().SparkCount > 0);
    const int before = s->draws;
    QMetaObject::invokeMethod(w.controls().Timer1, "timeout");
    QCOMPARE(s->draws, before + 6);
}

QTEST_MAIN(AnimTest)
#include "anim_test.moc"
