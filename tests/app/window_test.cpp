// The rendered window: every control's place, size and colour read off a grab of the shown
// window, the captions' faces, the keyboard order and the state the window starts in.
#include "captionfaces.h"
#include "testwindow.h"

#include <QButtonGroup>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QSet>

#include <algorithm>

namespace {

const QRgb Pink = qRgb(255, 192, 192);

#define COMPARE_PIXEL(image, x, y, expected)                                                       \
    do {                                                                                           \
        const QRgb actual_ = (image).pixel((x), (y)) & 0xffffff;                                   \
        const QRgb expected_ = QRgb(expected) & 0xffffff;                                          \
        if (actual_ != expected_)                                                                  \
            QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, expected %4")                   \
                                 .arg(x)                                                           \
                                 .arg(y)                                                           \
                                 .arg(rgbText(actual_), rgbText(expected_))));                     \
    } while (false)

int lightness(QRgb c)
{
    return qRed(c) + qGreen(c) + qBlue(c);
}

// The bevel of a button as a row of pixels: its left edge at mid-height, two pixels deep, and
// its top edge at mid-width.
QList<QRgb> bevel(const QImage &image, QRect r)
{
    const int cx = r.left() + r.width() / 2;
    const int cy = r.top() + r.height() / 2;
    return {image.pixel(r.left(), cy) & 0xffffff, image.pixel(r.left() + 1, cy) & 0xffffff,
            image.pixel(cx, r.top()) & 0xffffff, image.pixel(cx, r.top() + 1) & 0xffffff};
}

// The bounding box of the pixels of `area` that differ from `background`.
QRect inkBox(const QImage &image, QRect area, QRgb background)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xffffff) != (background & 0xffffff))
                box |= QRect(x, y, 1, 1);
    return box;
}

QRect inWindow(QWidget *control, QWidget *window)
{
    return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

QImage grabbed(QWidget *control)
{
    return control->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The pixels of a control's size that lie `inset` pixels in from its edge, all around.
QList<QPoint> ring(QSize size, int inset)
{
    const QRect r = QRect(QPoint(0, 0), size).adjusted(inset, inset, -inset, -inset);
    QList<QPoint> points;
    for (int x = r.left(); x <= r.right(); ++x)
        points << QPoint(x, r.top()) << QPoint(x, r.bottom());
    for (int y = r.top() + 1; y < r.bottom(); ++y)
        points << QPoint(r.left(), y) << QPoint(r.right(), y);
    return points;
}

int distance(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
}

// Names a control, the paper buttons by their index.
QString describe(QWidget *w)
{
    if (w->objectName() == QStringLiteral("紙の色"))
        return QStringLiteral("紙の色(%1)")
            .arg(static_cast<QAbstractButton *>(w)->group()->id(static_cast<QAbstractButton *>(w)));
    return w->objectName();
}

// Every control that takes the focus.
const QStringList focusable = {
    "画板",      "btnSave",   "btnOpen",   "黒色",      "白色",        "赤色",      "青色",
    "黄色",      "紫色",      "橙色",      "緑色",      "細い",        "普通",      "太い",
    "極太",      "btnNew",    "btnEnd",    "紙の色(7)", "紙の色(6)",   "紙の色(5)", "紙の色(4)",
    "紙の色(3)", "紙の色(2)", "紙の色(1)", "紙の色(0)", "関係ないやつ"};

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void windowFrame();
    void staysFixed_data();
    void staysFixed();
    void icon();
    void windowBackground();
    void pushButtonsAndSurfaces_data();
    void pushButtonsAndSurfaces();
    void optionButtons_data();
    void optionButtons();
    void focusMark_data();
    void focusMark();
    void selectedLookPressed();
    void selectionMovesWithClick();
    void labels_data();
    void labels();
    void messageLine();
    void captionFaces_data();
    void captionFaces();
    void textsInCaptionFaces_data();
    void textsInCaptionFaces();
    void captionsCentred_data();
    void captionsCentred();
    void tabKeyOrder();
    void startingState();
};

void WindowTest::windowFrame()
{
    TestWindow app;
    QVERIFY(app.show());
    QCOMPARE(app.w.windowTitle(), QStringLiteral("Pafuro"));
    QCOMPARE(app.grab().size(), QSize(496, 433));
    // Its border is fixed: asked for another size, it keeps its own.
    app.w.resize(600, 500);
    QCOMPARE(app.grab().size(), QSize(496, 433));
    QVERIFY(!(app.w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(app.w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(app.w.isWindow());
    // The only top-level window.
    QCOMPARE(QApplication::topLevelWidgets().size(), 1);
}

void WindowTest::staysFixed_data()
{
    QTest::addColumn<Qt::WindowState>("state");
    QTest::newRow("full screen") << Qt::WindowFullScreen;
    QTest::newRow("maximized") << Qt::WindowMaximized;
}

// Whoever puts the window in that state; the desktops' own means are tried under KWin.
void WindowTest::staysFixed()
{
    QFETCH(Qt::WindowState, state);
    TestWindow app;
    QVERIFY(app.show());
    app.w.setWindowState(state);
    QCOMPARE(app.w.windowState(), state);
    QTRY_COMPARE(app.w.windowState(), Qt::WindowNoState);
    QCOMPARE(app.grab().size(), QSize(496, 433));
}

void WindowTest::icon()
{
    TestWindow app;
    const QIcon icon = app.w.windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    QVERIFY2(sizes.contains(QSize(16, 16)), "no 16 x 16 icon");
    QVERIFY2(sizes.contains(QSize(32, 32)), "no 32 x 32 icon");
    for (int side : {16, 32}) {
        const QImage image =
            icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(side, side));
        QSet<QRgb> colours;
        int red = 0;
        QPoint redSum;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const QRgb c = image.pixel(x, y);
                if (qAlpha(c) == 0)
                    continue;
                colours.insert(c);
                if (qRed(c) > qGreen(c) + 64 && qRed(c) > qBlue(c) + 64) {
                    ++red;
                    redSum += QPoint(x, y);
                }
            }
        }
        QVERIFY2(red >= side / 2,
                 qPrintable(QStringLiteral("%1 px: only %2 red pixels").arg(side).arg(red)));
        QVERIFY2(colours.size() <= 16,
                 qPrintable(QStringLiteral("%1 colours").arg(colours.size())));
        // A pencil lying diagonally: its red body runs across the middle of the picture.
        const QPointF centre = QPointF(redSum) / red;
        QVERIFY(centre.x() > side / 4.0 && centre.x() < side * 3 / 4.0);
        QVERIFY(centre.y() > side / 4.0 && centre.y() < side * 3 / 4.0);
    }
}

void WindowTest::windowBackground()
{
    TestWindow app;
    QVERIFY(app.show());
    const QImage image = app.grab();
    // Bare window between and around the controls, and the group panels' spare rows.
    const QPoint bare[] = {{0, 0},     {4, 200},   {284, 100}, {284, 290}, {495, 0},
                           {492, 300}, {450, 380}, {156, 350}, {295, 350}, {495, 399},
                           {60, 390},  {200, 366}, {360, 390}, {0, 399}};
    for (const QPoint p : bare)
        COMPARE_PIXEL(image, p.x(), p.y(), Pink);
}

// Place, size and face of the push buttons and the two drawing surfaces, to the pixel: the face
// fills the inside up to the two-pixel edge, the edge is the control's own, and the pixel
// beyond it is the window's pink.
void WindowTest::pushButtonsAndSurfaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QRgb>("face");
    QTest::newRow("画板") << "画板" << QRect(8, 8, 273, 281) << qRgb(255, 255, 255);
    QTest::newRow("btnSave") << "btnSave" << QRect(288, 16, 201, 41) << qRgb(192, 255, 192);
    QTest::newRow("btnOpen") << "btnOpen" << QRect(288, 72, 201, 41) << qRgb(192, 255, 192);
    QTest::newRow("btnNew") << "btnNew" << QRect(288, 128, 201, 41) << qRgb(255, 192, 255);
    QTest::newRow("btnEnd") << "btnEnd" << QRect(288, 184, 201, 41) << qRgb(255, 255, 192);
    QTest::newRow("関係ないやつ") << "関係ないやつ" << QRect(288, 240, 201, 41)
                                  << qRgb(255, 255, 255);
}

void WindowTest::pushButtonsAndSurfaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QRgb, face);
    TestWindow app;
    QVERIFY(app.show());
    QWidget *control = app.w.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), &app.w);
    const QImage image = app.grab();

    // The inside's four corners show the face; the caption sits clear of them.
    const QRect inside = rect.adjusted(2, 2, -2, -2);
    COMPARE_PIXEL(image, inside.left(), inside.top(), face);
    COMPARE_PIXEL(image, inside.right(), inside.top(), face);
    COMPARE_PIXEL(image, inside.left(), inside.bottom(), face);
    COMPARE_PIXEL(image, inside.right(), inside.bottom(), face);
    // The edge is two pixels deep on every side: not all face (one of its shades may match a
    // white face), nor the window's pink.
    const int cx = rect.center().x();
    const int cy = rect.center().y();
    auto isFace = [&](int x, int y) { return (image.pixel(x, y) & 0xffffff) == (face & 0xffffff); };
    QVERIFY(!(isFace(rect.left(), cy) && isFace(rect.left() + 1, cy)));
    QVERIFY(!(isFace(rect.right(), cy) && isFace(rect.right() - 1, cy)));
    QVERIFY(!(isFace(cx, rect.top()) && isFace(cx, rect.top() + 1)));
    QVERIFY(!(isFace(cx, rect.bottom()) && isFace(cx, rect.bottom() - 1)));
    for (int d : {0, 1}) {
        QVERIFY((image.pixel(rect.left() + d, cy) & 0xffffff) != (Pink & 0xffffff));
        QVERIFY((image.pixel(rect.right() - d, cy) & 0xffffff) != (Pink & 0xffffff));
        QVERIFY((image.pixel(cx, rect.top() + d) & 0xffffff) != (Pink & 0xffffff));
        QVERIFY((image.pixel(cx, rect.bottom() - d) & 0xffffff) != (Pink & 0xffffff));
    }
    // Raised buttons are light above and left, dark below and right; the surfaces are sunken.
    const bool sunken = qobject_cast<DrawingSurface *>(control) != nullptr;
    const int topLeft =
        lightness(image.pixel(rect.left(), cy)) + lightness(image.pixel(cx, rect.top()));
    const int bottomRight =
        lightness(image.pixel(rect.right(), cy)) + lightness(image.pixel(cx, rect.bottom()));
    QVERIFY2(sunken ? topLeft < bottomRight : topLeft > bottomRight,
             "edge lit from the wrong side");
    // Just beyond each edge lies the window.
    COMPARE_PIXEL(image, rect.left() - 1, cy, Pink);
    COMPARE_PIXEL(image, rect.right() + 1, cy, Pink);
    COMPARE_PIXEL(image, cx, rect.top() - 1, Pink);
    COMPARE_PIXEL(image, cx, rect.bottom() + 1, Pink);
    COMPARE_PIXEL(image, rect.left() - 1, rect.top() - 1, Pink);
    COMPARE_PIXEL(image, rect.right() + 1, rect.bottom() + 1, Pink);
}

// The swatches, size buttons and paper buttons: 33 x 33 (size buttons 33 x 41) at a pitch of 32,
// so that each overlaps its left and upper neighbour by one pixel, inside their group panels.
void WindowTest::optionButtons_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QPoint>("origin"); // the group panel's place in the window
    QTest::addColumn<int>("index");     // place in the group: column + 4 * row
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("face");
    QTest::addColumn<bool>("selected");

    const QSize square(33, 33);
    const QRgb faces[8] = {qRgb(0, 0, 0),     qRgb(255, 255, 255), qRgb(255, 0, 0),
                           qRgb(0, 0, 255),   qRgb(255, 255, 0),   qRgb(255, 0, 255),
                           qRgb(255, 128, 0), qRgb(0, 255, 0)};
    const char *swatches[8] = {"黒色", "白色", "赤色", "青色", "黄色", "紫色", "橙色", "緑色"};
    for (int i = 0; i < 8; ++i)
        QTest::newRow(swatches[i])
            << "色フレーム" << QPoint(24, 320) << i << square << faces[i] << (i == 0);
    const char *sizes[4] = {"細い", "普通", "太い", "極太"};
    for (int i = 0; i < 4; ++i)
        QTest::newRow(sizes[i]) << "Picture1" << QPoint(160, 320) << i << QSize(33, 41)
                                << qRgb(192, 255, 255) << (i == 1);
    for (int i = 0; i < 8; ++i)
        QTest::addRow("紙の色(%d)", i)
            << "Picture2" << QPoint(304, 320) << i << square << faces[i] << (i == 1);
}

void WindowTest::optionButtons()
{
    QFETCH(QString, group);
    QFETCH(QPoint, origin);
    QFETCH(int, index);
    QFETCH(QSize, size);
    QFETCH(QRgb, face);
    QFETCH(bool, selected);
    TestWindow app;
    QVERIFY(app.show());
    const QImage image = app.grab();

    QWidget *panel = app.w.findChild<QWidget *>(group);
    QVERIFY(panel);
    QCOMPARE(inWindow(panel, &app.w).topLeft(), origin);
    const QList<QAbstractButton *> buttons = panel->findChildren<QAbstractButton *>();
    QCOMPARE(buttons.size(), group == QStringLiteral("Picture1") ? 4 : 8);
    QCOMPARE(buttons[index]->isChecked(), selected);

    const int column = index % 4;
    const int row = index / 4;
    const int rows = group == QStringLiteral("Picture1") ? 1 : 2;
    const QRect rect(origin + QPoint(32 * column, 32 * row), size);
    QCOMPARE(inWindow(buttons[index], &app.w), rect);

    // The face shows exactly, inside a two-pixel edge (and a selected button's two rings); the
    // part a neighbour overlaps excepted.
    const int edge = selected ? 6 : 2;
    const QRect inside = rect.adjusted(edge, edge, -edge, -edge);
    COMPARE_PIXEL(image, inside.left(), inside.top(), face);
    COMPARE_PIXEL(image, inside.right(), inside.top(), face);
    COMPARE_PIXEL(image, inside.left(), inside.bottom(), face);
    COMPARE_PIXEL(image, inside.right(), inside.bottom(), face);
    const int cy = rect.top() + 5;
    const int cx = rect.left() + 5;
    auto isFace = [&](int x, int y) { return (image.pixel(x, y) & 0xffffff) == (face & 0xffffff); };
    QVERIFY2(!(isFace(rect.left(), cy) && isFace(rect.left() + 1, cy)),
             "the face reaches the left edge");
    QVERIFY2(!(isFace(cx, rect.top()) && isFace(cx, rect.top() + 1)),
             "the face reaches the top edge");
    for (int d : {0, 1}) {
        QVERIFY((image.pixel(rect.left() + d, cy) & 0xffffff) != (Pink & 0xffffff));
        QVERIFY((image.pixel(cx, rect.top() + d) & 0xffffff) != (Pink & 0xffffff));
    }
    // Left of the first column and above the first row lies the pink of the panel.
    if (column == 0)
        COMPARE_PIXEL(image, rect.left() - 1, cy, Pink);
    if (row == 0)
        COMPARE_PIXEL(image, cx, rect.top() - 1, Pink);
    // Right of the last column and below the last row too; between them, the next button's edge.
    if (column == 3) {
        QVERIFY((image.pixel(rect.right(), cy) & 0xffffff) != (Pink & 0xffffff));
        COMPARE_PIXEL(image, rect.right() + 1, cy, Pink);
    }
    if (row == rows - 1) {
        QVERIFY((image.pixel(cx, rect.bottom()) & 0xffffff) != (Pink & 0xffffff));
        COMPARE_PIXEL(image, cx, rect.bottom() + 1, Pink);
    }
    // Selected, the button differs from its unselected look over a ring of the face, standing
    // out from the face even where it is black or white, and the face keeps its colour in the
    // middle; unselected, that ring is the face itself. (Captions cross a ring's sides.)
    QAbstractButton *button = buttons[index];
    buttons[(index + 1) % buttons.size()]->setChecked(true);
    const QImage up = grabbed(button);
    button->setChecked(true);
    const QImage down = grabbed(button);
    const bool captioned = !button->text().isEmpty();
    int seen = -1;
    for (int inset = 2; inset <= 6 && seen < 0; ++inset) {
        bool stands = true;
        for (const QPoint p : ring(size, inset)) {
            if (captioned && p.y() != inset && p.y() != size.height() - 1 - inset)
                continue;
            stands = stands && (up.pixel(p) & 0xffffff) == (face & 0xffffff) &&
                     distance(down.pixel(p), face) >= 255;
        }
        if (stands)
            seen = inset;
    }
    QVERIFY2(seen >= 0, "the selected look shows no ring that stands out from the face");
    if (!captioned) {
        for (const QImage &look : {up, down})
            for (int y = size.height() / 2 - 4; y <= size.height() / 2 + 4; ++y)
                for (int x = size.width() / 2 - 4; x <= size.width() / 2 + 4; ++x)
                    COMPARE_PIXEL(look, x, y, face);
    }
}

// Every control that takes the focus shows it with a ring of dashes, dark and light, that
// changes nothing else: a button's face keeps its colour, a surface's picture stays whole.
void WindowTest::focusMark_data()
{
    QTest::addColumn<QString>("control");
    for (const QString &name : focusable)
        QTest::newRow(qPrintable(name)) << name;
}

void WindowTest::focusMark()
{
    QFETCH(QString, control);
    TestWindow app;
    QVERIFY(app.show());
    app.w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&app.w));
    QWidget *widget = nullptr;
    for (QWidget *w : app.w.findChildren<QWidget *>())
        if (describe(w) == control)
            widget = w;
    QVERIFY(widget);

    // As after the Tab key: a style draws some focus marks only once the keyboard moved the focus.
    app.w.setAttribute(Qt::WA_KeyboardFocusChange);
    QWidget *elsewhere = widget == app.ui.btnEnd ? app.ui.btnNew : app.ui.btnEnd;
    elsewhere->setFocus(Qt::TabFocusReason);
    QVERIFY(!widget->hasFocus());
    const QImage plain = grabbed(widget);
    widget->setFocus(Qt::TabFocusReason);
    QVERIFY(widget->hasFocus());
    const QImage marked = grabbed(widget);

    const QSize size = widget->size();
    int inset = -1;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (plain.pixel(x, y) == marked.pixel(x, y))
                continue;
            const int in = std::min({x, y, size.width() - 1 - x, size.height() - 1 - y});
            if (inset < 0)
                inset = in;
            QVERIFY2(in == inset,
                     qPrintable(
                         QStringLiteral("the focus changes (%1, %2) off its ring").arg(x).arg(y)));
        }
    }
    QVERIFY2(inset >= 0, "no focus mark");
    int changed = 0;
    int dark = 0;
    int light = 0;
    const QList<QPoint> mark = ring(size, inset);
    for (const QPoint p : mark) {
        changed += plain.pixel(p) != marked.pixel(p);
        dark += lightness(marked.pixel(p)) < 100;
        light += lightness(marked.pixel(p)) > 500;
    }
    QVERIFY2(changed * 5 >= mark.size() * 2 && dark * 5 >= mark.size() && light * 5 >= mark.size(),
             qPrintable(QStringLiteral("%1 of %2 pixels changed, %3 dark, %4 light")
                            .arg(changed)
                            .arg(mark.size())
                            .arg(dark)
                            .arg(light)));
    if (!qobject_cast<DrawingSurface *>(widget))
        return;
    QVERIFY2(inset < DrawingSurface::Border, "the focus mark covers the picture");
    // Repainted a few pixels at a time, as after each stamp, the mark is the same.
    for (int y = 0; y < size.height(); y += 7) {
        for (int x = 0; x < size.width(); x += 5) {
            const QRect piece = QRect(x, y, 5, 7) & widget->rect();
            const QImage part = widget->grab(piece).toImage().convertToFormat(QImage::Format_RGB32);
            const QString wrong = firstDifference(part, marked.copy(piece));
            QVERIFY2(wrong.isEmpty(),
                     qPrintable(QStringLiteral("piece at (%1, %2): %3").arg(x).arg(y).arg(wrong)));
        }
    }
}

// In each group the selected button's edge differs from every unselected one's, which all agree,
// and it is sunken: darker above and left than a raised button.
void WindowTest::selectedLookPressed()
{
    TestWindow app;
    QVERIFY(app.show());
    const QImage image = app.grab();
    const struct {
        const char *group;
        int selected;
    } groups[] = {{"色フレーム", 0}, {"Picture1", 1}, {"Picture2", 1}};
    for (const auto &g : groups) {
        const QList<QAbstractButton *> buttons =
            app.w.findChild<QWidget *>(QString::fromUtf8(g.group))
                ->findChildren<QAbstractButton *>();
        const QList<QRgb> down = bevel(image, inWindow(buttons[g.selected], &app.w));
        QList<QRgb> up;
        for (int i = 0; i < buttons.size(); ++i) {
            if (i == g.selected)
                continue;
            const QList<QRgb> other = bevel(image, inWindow(buttons[i], &app.w));
            if (up.isEmpty())
                up = other;
            QCOMPARE(other, up);
            QVERIFY2(other != down, g.group);
        }
        QVERIFY2(lightness(down[0]) + lightness(down[2]) < lightness(up[0]) + lightness(up[2]),
                 g.group);
    }
}

// A click selects a button of a group and raises the one that was down; other groups keep theirs.
void WindowTest::selectionMovesWithClick()
{
    TestWindow app;
    QVERIFY(app.show());
    const QList<QRgb> raised = bevel(app.grab(), inWindow(app.ui.赤色, &app.w));
    const QList<QRgb> sunken = bevel(app.grab(), inWindow(app.ui.黒色, &app.w));

    QTest::mouseClick(app.w.windowHandle(), Qt::LeftButton, {},
                      inWindow(app.ui.赤色, &app.w).center());
    QTest::mouseClick(app.w.windowHandle(), Qt::LeftButton, {},
                      inWindow(app.ui.極太, &app.w).center());
    const QImage image = app.grab();
    QCOMPARE(bevel(image, inWindow(app.ui.赤色, &app.w)), sunken);
    QCOMPARE(bevel(image, inWindow(app.ui.黒色, &app.w)), raised);
    QCOMPARE(bevel(image, inWindow(app.ui.極太, &app.w)),
             bevel(image, inWindow(app.ui.紙の色[1], &app.w)));
    QCOMPARE(bevel(image, inWindow(app.ui.普通, &app.w)),
             bevel(image, inWindow(app.ui.細い, &app.w)));
    QVERIFY(app.ui.紙の色[1]->isChecked());
    int checked = 0;
    for (QAbstractButton *b : app.ui.色フレーム->findChildren<QAbstractButton *>())
        checked += b->isChecked();
    QCOMPARE(checked, 1);
    // Clicking the selected button again keeps it down.
    QTest::mouseClick(app.w.windowHandle(), Qt::LeftButton, {},
                      inWindow(app.ui.赤色, &app.w).center());
    QVERIFY(app.ui.赤色->isChecked());
}

// The three labels: transparent over the pink, their caption drawn inside their own place.
void WindowTest::labels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Label1") << "Label1" << QRect(8, 296, 105, 25) << "パレット：";
    QTest::newRow("Label2") << "Label2" << QRect(144, 296, 105, 25) << "筆の太さ：";
    QTest::newRow("Label3") << "Label3" << QRect(288, 296, 105, 25) << "紙の色：";
}

void WindowTest::labels()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, caption);
    TestWindow app;
    QVERIFY(app.show());
    auto *label = app.w.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), caption);
    QCOMPARE(inWindow(label, &app.w), rect);
    const QImage image = app.grab();
    // The label's last row lies under the group panels below; look only above them.
    const QRect around(rect.left() - 6, rect.top() - 6, rect.width() + 12, 320 - (rect.top() - 6));
    const QRect ink = inkBox(image, around, Pink);
    QVERIFY2(!ink.isEmpty(), "no caption drawn");
    QVERIFY2(rect.contains(ink), qPrintable(QStringLiteral("caption drawn at %1,%2 %3x%4")
                                                .arg(ink.x())
                                                .arg(ink.y())
                                                .arg(ink.width())
                                                .arg(ink.height())));
    // Everything else in the label is the pink below it, and the caption is black.
    COMPARE_PIXEL(image, rect.right(), rect.top(), Pink);
    QRgb darkest = qRgb(255, 255, 255);
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            if (lightness(image.pixel(x, y)) < lightness(darkest))
                darkest = image.pixel(x, y);
    COMPARE_PIXEL(image, ink.left(), ink.top() - 1, Pink);
    QCOMPARE(darkest & 0xffffff, qRgb(0, 0, 0) & 0xffffff);
}

// The message line: lavender across the bottom, one pixel wider than the window.
void WindowTest::messageLine()
{
    TestWindow app;
    QVERIFY(app.show());
    QCOMPARE(inWindow(app.ui.InfoDis, &app.w), QRect(0, 400, 497, 33));
    const QImage image = app.grab();
    const QRgb lavender = qRgb(192, 192, 255);
    COMPARE_PIXEL(image, 0, 400, lavender);
    COMPARE_PIXEL(image, 495, 400, lavender);
    COMPARE_PIXEL(image, 0, 432, lavender);
    COMPARE_PIXEL(image, 495, 432, lavender);
    COMPARE_PIXEL(image, 0, 399, Pink);
    COMPARE_PIXEL(image, 248, 399, Pink);
    COMPARE_PIXEL(image, 495, 399, Pink);
    const QRect ink = inkBox(image, QRect(0, 400, 496, 33), lavender);
    QVERIFY2(!ink.isEmpty(), "no text on the message line");
    // Left-aligned and within the line.
    QVERIFY(ink.left() < 20);
    QVERIFY(ink.top() > 400 && ink.bottom() < 432);
    QCOMPARE(app.ui.InfoDis->text(), QStringLiteral("いんふぉめぇ～しょんでぃすぷれぃ♪"));
}

// Every caption resolves to its intended face, the program's own whatever the machine has, and
// fits inside its control.
void WindowTest::captionFaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    const QString pop = QString::fromLatin1(PopFace.family);
    const QString mincho = QString::fromLatin1(MinchoFace.family);
    QTest::newRow("btnSave") << "btnSave"
                             << "絵をとっておく。" << pop << 24 << false;
    QTest::newRow("btnOpen") << "btnOpen"
                             << "前の絵をみる。" << pop << 24 << false;
    QTest::newRow("btnNew") << "btnNew"
                            << "新しい紙にする。" << pop << 24 << false;
    QTest::newRow("btnEnd") << "btnEnd"
                            << "お絵かきおしまい" << pop << 24 << false;
    QTest::newRow("InfoDis") << "InfoDis"
                             << "いんふぉめぇ～しょんでぃすぷれぃ♪" << pop << 24 << false;
    QTest::newRow("Label1") << "Label1"
                            << "パレット：" << pop << 21 << false;
    QTest::newRow("Label2") << "Label2"
                            << "筆の太さ：" << pop << 21 << false;
    QTest::newRow("Label3") << "Label3"
                            << "紙の色：" << pop << 21 << false;
    QTest::newRow("細い") << "細い"
                          << "細" << mincho << 21 << true;
    QTest::newRow("普通") << "普通"
                          << "普" << mincho << 21 << true;
    QTest::newRow("太い") << "太い"
                          << "太" << mincho << 21 << true;
    QTest::newRow("極太") << "極太"
                          << "極太" << mincho << 16 << true;
}

void WindowTest::captionFaces()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, family);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    TestWindow app;
    QVERIFY(app.show());
    QWidget *control = app.w.findChild<QWidget *>(name);
    QVERIFY(control);
    const QString text = qobject_cast<QAbstractButton *>(control)
                             ? qobject_cast<QAbstractButton *>(control)->text()
                             : qobject_cast<QLabel *>(control)->text();
    QCOMPARE(text, caption);

    const QFontInfo info(control->font());
    QCOMPARE(info.family(), family);
    QCOMPARE(info.pixelSize(), pixelSize);
    QCOMPARE(info.bold(), bold);
    // A face of that weight of its own, not one made bold by the renderer.
    if (bold)
        QCOMPARE(info.weight(), int(QFont::Bold));
    const QString fault = captionFaceFault(control->font(), caption);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    const QFontMetrics metrics(control->font());
    // The caption fits its control ("極太" only just: 32 px in a 33 px button).
    QVERIFY2(metrics.horizontalAdvance(caption) <= control->width(),
             qPrintable(QStringLiteral("%1 px wide in %2")
                            .arg(metrics.horizontalAdvance(caption))
                            .arg(control->width())));
    QVERIFY(metrics.tightBoundingRect(caption).height() <= control->height() - 4);
    QVERIFY(metrics.height() <= control->height());
}

// Every text the window shows, at start and with each action's notice on the message line, is
// drawn from the caption faces, every character from the face itself.
void WindowTest::textsInCaptionFaces_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("at start") << QString();
    QTest::newRow("new sheet") << "btnNew";
    QTest::newRow("kept") << "btnSave";
    QTest::newRow("reopened") << "btnOpen";
}

void WindowTest::textsInCaptionFaces()
{
    QFETCH(QString, action);
    TestWindow app;
    QVERIFY(app.show());
    if (action == QLatin1String("btnOpen"))
        app.ui.btnSave->click();
    if (!action.isEmpty()) {
        app.w.findChild<QAbstractButton *>(action)->click();
        QVERIFY(app.ui.InfoDis->text() != frmMain::DefaultNotice);
    }
    int texts = 0;
    for (QWidget *control : app.w.findChildren<QWidget *>()) {
        QString text;
        if (auto *button = qobject_cast<QAbstractButton *>(control))
            text = button->text();
        else if (auto *label = qobject_cast<QLabel *>(control))
            text = label->text();
        if (text.isEmpty())
            continue;
        ++texts;
        const QString fault = captionFaceFault(control->font(), text);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
    // Four buttons, three labels, the message line and four size buttons.
    QCOMPARE(texts, 12);
}

// Captions are drawn whole, centred on their buttons, in black.
void WindowTest::captionsCentred_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"btnSave", "btnOpen", "btnNew", "btnEnd", "細い", "普通", "太い", "極太"})
        QTest::newRow(name) << QString::fromUtf8(name);
}

void WindowTest::captionsCentred()
{
    QFETCH(QString, name);
    TestWindow app;
    QVERIFY(app.show());
    auto *button = app.w.findChild<ColourButton *>(name);
    QVERIFY(button);
    const QRect rect = inWindow(button, &app.w);
    const QImage image = app.grab();
    // The caption's strokes inside the edge (and a selected button's rings): darker than any
    // face with a caption.
    QRect ink;
    const int edge = button->isChecked() ? 6 : 2;
    const QRect area = rect.adjusted(edge, edge, -edge, -edge);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (lightness(image.pixel(x, y)) < 540)
                ink |= QRect(x, y, 1, 1);
    QVERIFY2(!ink.isEmpty(), "no caption drawn");
    // Nothing of it is cut away: it is as wide as the glyphs' own ink or, where they are wider
    // than the face ("極太"), it runs across the whole face.
    const QRect glyphs = QFontMetrics(button->font()).tightBoundingRect(button->text());
    const int wide = std::min(glyphs.width(), area.width());
    QVERIFY2(ink.width() >= wide - 2 && ink.height() >= glyphs.height() - 2,
             qPrintable(QStringLiteral("caption drawn %1 x %2, its glyphs are %3 x %4")
                            .arg(ink.width())
                            .arg(ink.height())
                            .arg(glyphs.width())
                            .arg(glyphs.height())));
    if (glyphs.width() > area.width())
        QCOMPARE(ink.width(), area.width());
    // A pressed button shifts its caption one pixel down and right.
    const QPoint shift = button->isChecked() ? QPoint(1, 1) : QPoint(0, 0);
    const QPointF offset = QRectF(ink).center() - QRectF(rect).center() - shift;
    QVERIFY2(
        qAbs(offset.x()) <= 3 && qAbs(offset.y()) <= 4,
        qPrintable(QStringLiteral("caption off centre by %1, %2").arg(offset.x()).arg(offset.y())));
}

// Tab moves the focus through the controls from the canvas, and around back to it. As
// with option buttons anywhere, a group is entered at its selected button; the others are skipped.
void WindowTest::tabKeyOrder()
{
    TestWindow app;
    QVERIFY(app.show());
    app.w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&app.w));
    auto visit = [&] {
        app.ui.画板->setFocus(Qt::OtherFocusReason);
        QStringList visited = {describe(QApplication::focusWidget())};
        for (int i = 0; i < 20 && QApplication::focusWidget() != app.ui.関係ないやつ; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << describe(QApplication::focusWidget());
        }
        return visited;
    };
    QCOMPARE(visit(), QStringList({"画板", "btnSave", "btnOpen", "黒色", "普通", "btnNew", "btnEnd",
                                   "紙の色(1)", "関係ないやつ"}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), app.ui.画板);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), app.ui.関係ないやつ);

    // The arrow keys move within a group, selecting as they go.
    app.ui.黒色->setFocus(Qt::TabFocusReason);
    QTest::keyClick(app.ui.黒色, Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), app.ui.白色);
    QVERIFY(app.ui.白色->isChecked());
    QCOMPARE(app.state().PenRed + app.state().PenGreen + app.state().PenBlue, 3 * 255);

    // With other buttons selected, Tab stops at those.
    app.ui.橙色->click();
    app.ui.極太->click();
    app.ui.紙の色[6]->click();
    QCOMPARE(visit(), QStringList({"画板", "btnSave", "btnOpen", "橙色", "極太", "btnNew", "btnEnd",
                                   "紙の色(6)", "関係ないやつ"}));
}

// At start the canvas is white and empty, the black swatch, the middle size and the white paper
// are down, and a first stroke and a first new sheet take what they show.
void WindowTest::startingState()
{
    TestWindow app;
    QVERIFY(app.show());
    QCOMPARE(app.ui.InfoDis->text(), QStringLiteral("いんふぉめぇ～しょんでぃすぷれぃ♪"));
    const QRgb white = qRgb(255, 255, 255);
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), white));
    QCOMPARE(app.ui.黒色->isChecked(), true);
    QCOMPARE(app.ui.普通->isChecked(), true);
    QCOMPARE(app.ui.紙の色[1]->isChecked(), true);
    QCOMPARE(app.beeps, 0);
    QVERIFY(!app.ui.InfoDisTime->isActive());

    const QPoint o = app.origin(app.ui.画板);
    app.drag({o + QPoint(30, 30), o + QPoint(100, 100)});
    CHECK_DISCS(app.shown(app.ui.画板), (QList<QPointF>{{100, 100}}), 50 / 15.0, qRgb(0, 0, 0),
                white);
    app.click(app.ui.btnNew);
    QCOMPARE(app.shown(app.ui.画板), filled(QSize(269, 277), white));
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
