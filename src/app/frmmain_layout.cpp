// The window's controls and their layout, in twips as the layout is drawn.
#include "app/accessibility.h"
#include "app/frmmain.h"

#include <QButtonGroup>
#include <QFontDatabase>

namespace {

// The layout is drawn in twips, 15 to a logical pixel.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// Font sizes are given in points on the layout's 96-dpi grid, so that captions keep their
// size relative to the controls whatever the screen reports.
QFont layoutFont(const QString &family, qreal points, int weight)
{
    QFont font(family);
    font.setPixelSize(qRound(points * 96.0 / 72.0));
    font.setWeight(QFont::Weight(weight));
    // Where the program's own face stands in, it holds every character the window shows, so Qt
    // need not ask the font configuration for fallback faces (a quarter of the start's work).
    static const QStringList installed = QFontDatabase::families();
    if (!installed.contains(family))
        font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

struct Swatch {
    const char *name;
    int left, top;
    QRgb colour;
    const char *accessibleName;
};

constexpr Swatch swatchLayout[8] = {
    {"黒色", 0, 0, qRgb(0, 0, 0), "黒"},         {"白色", 480, 0, qRgb(255, 255, 255), "白"},
    {"赤色", 960, 0, qRgb(255, 0, 0), "赤"},     {"青色", 1440, 0, qRgb(0, 0, 255), "青"},
    {"黄色", 0, 480, qRgb(255, 255, 0), "黄色"}, {"紫色", 480, 480, qRgb(255, 0, 255), "紫"},
    {"橙色", 960, 480, qRgb(255, 128, 0), "橙"}, {"緑色", 1440, 480, qRgb(0, 255, 0), "緑"},
};

DrawingSurface *surface(QWidget *window, const char *name, QRect geometry)
{
    auto *s = new DrawingSurface(window);
    s->setObjectName(QString::fromUtf8(name));
    s->setGeometry(geometry);
    s->clear();
    return s;
}

// Option buttons: one exclusive group per panel, so exactly one of each stays down.
QButtonGroup *optionGroup(QWidget *panel)
{
    auto *g = new QButtonGroup(panel);
    g->setExclusive(true);
    return g;
}

ColourButton *option(QWidget *panel, QButtonGroup *group, const QString &name, int left, int top,
                     int width, int height, QRgb face)
{
    auto *b = new ColourButton(name, face, panel);
    b->setCheckable(true);
    // Exclusive within its group, so assistive technology hears it as a radio button.
    b->setAutoExclusive(true);
    b->setGeometry(twips(left, top, width, height));
    group->addButton(b);
    return b;
}

} // namespace

void frmMain::buildControls()
{
    buildPushButtons();
    buildGroupPanels();
    buildMessageLine();
    buildSwatches();
    buildSizeButtons();
    buildPaperButtons();
    buildTimers();
    setKeyboardOrder();
}

// The canvas, the four push buttons and the side panel, in the order they stand in the layout.
void frmMain::buildPushButtons()
{
    const QFont fontA = layoutFont(QStringLiteral("富士ポップ"), 18, 400);
    auto button = [&](const char *name, QRect geometry, QRgb face, const char *caption) {
        auto *b = new ColourButton(QString::fromUtf8(name), face, this);
        b->setGeometry(geometry);
        b->setText(QString::fromUtf8(caption));
        b->setFont(fontA);
        return b;
    };
    画板 = surface(this, "画板", twips(120, 120, 4095, 4215));
    btnSave =
        button("btnSave", twips(4320, 240, 3015, 615), qRgb(192, 255, 192), "絵をとっておく。");
    btnOpen =
        button("btnOpen", twips(4320, 1080, 3015, 615), qRgb(192, 255, 192), "前の絵をみる。");
    btnNew =
        button("btnNew", twips(4320, 1920, 3015, 615), qRgb(255, 192, 255), "新しい紙にする。");
    btnEnd =
        button("btnEnd", twips(4320, 2760, 3015, 615), qRgb(255, 255, 192), "お絵かきおしまい");
    関係ないやつ = surface(this, "関係ないやつ", twips(4320, 3600, 3015, 615));
    関係ないやつ->setAccessibleName(QStringLiteral("飾りの絵"));
    setAccessibleRole(関係ないやつ, QAccessible::Animation);
    画板->setAccessibleName(QStringLiteral("画板"));
}

// The three group panels, each named by the caption above it.
void frmMain::buildGroupPanels()
{
    const QFont fontB = layoutFont(QStringLiteral("富士ポップ"), 15.75, 400);
    auto label = [&](const char *name, QRect geometry, const char *caption) {
        auto *l = new QLabel(QString::fromUtf8(caption), this);
        l->setObjectName(QString::fromUtf8(name));
        l->setTextFormat(Qt::PlainText);
        l->setGeometry(geometry);
        l->setFont(fontB);
        return l;
    };
    auto group = [this](const char *name, QRect geometry) {
        auto *g = new GroupPanel(this);
        g->setObjectName(QString::fromUtf8(name));
        g->setGeometry(geometry);
        return g;
    };
    Label1 = label("Label1", twips(120, 4440, 1575, 375), "パレット：");
    Label2 = label("Label2", twips(2160, 4440, 1575, 375), "筆の太さ：");
    Label3 = label("Label3", twips(4320, 4440, 1575, 375), "紙の色：");
    色フレーム = group("色フレーム", twips(360, 4800, 1935, 1095));
    Picture1 = group("Picture1", twips(2400, 4800, 1935, 735));
    Picture2 = group("Picture2", twips(4560, 4800, 1935, 1095));
    // Each caption names the group below it for assistive technology.
    Label1->setBuddy(色フレーム);
    Label2->setBuddy(Picture1);
    Label3->setBuddy(Picture2);
}

void frmMain::buildMessageLine()
{
    InfoDis = new MessageLine(this);
    InfoDis->setObjectName(QStringLiteral("InfoDis"));
    InfoDis->setText(DefaultNotice);
    InfoDis->setTextFormat(Qt::PlainText);
    InfoDis->setGeometry(twips(0, 6000, 7455, 495));
    InfoDis->setFont(layoutFont(QStringLiteral("富士ポップ"), 18, 400));
    InfoDis->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    InfoDis->setIndent(4);
    InfoDis->setAutoFillBackground(true);
    QPalette infoPalette = InfoDis->palette();
    infoPalette.setColor(QPalette::Window, QColor(192, 192, 255));
    InfoDis->setPalette(infoPalette);
}

void frmMain::buildSwatches()
{
    auto *swatches = optionGroup(色フレーム);
    std::array<ColourButton *, 8> swatch;
    for (int i = 0; i < 8; ++i) {
        const Swatch &face = swatchLayout[i];
        swatch[i] = option(色フレーム, swatches, QString::fromUtf8(face.name), face.left, face.top,
                           495, 495, face.colour);
        swatch[i]->setAccessibleName(QString::fromUtf8(face.accessibleName));
    }
    黒色 = swatch[0];
    白色 = swatch[1];
    赤色 = swatch[2];
    青色 = swatch[3];
    黄色 = swatch[4];
    紫色 = swatch[5];
    橙色 = swatch[6];
    緑色 = swatch[7];
    黒色->setChecked(true);
}

void frmMain::buildSizeButtons()
{
    auto *sizes = optionGroup(Picture1);
    auto size = [&](const char *name, int left, const char *caption, qreal points,
                    const char *accessibleName) {
        ColourButton *b = option(Picture1, sizes, QString::fromUtf8(name), left, 0, 495, 615,
                                 qRgb(192, 255, 255));
        b->setText(QString::fromUtf8(caption));
        b->setFont(layoutFont(QStringLiteral("ＭＳ Ｐ明朝"), points, 700));
        b->setAccessibleName(QString::fromUtf8(accessibleName));
        return b;
    };
    細い = size("細い", 0, "細", 15.75, "細い筆");
    普通 = size("普通", 480, "普", 15.75, "普通の筆");
    太い = size("太い", 960, "太", 15.75, "太い筆");
    極太 = size("極太", 1440, "極太", 12, "極太の筆");
    普通->setChecked(true);
}

// The eight paper buttons share one name, as an array of controls; each is known by its index
// in the group.
void frmMain::buildPaperButtons()
{
    auto *papers = optionGroup(Picture2);
    for (int i = 0; i < 8; ++i) {
        const Swatch &face = swatchLayout[i];
        紙の色[i] = option(Picture2, papers, QStringLiteral("紙の色"), face.left, face.top, 495,
                           495, face.colour);
        紙の色[i]->setAccessibleName(
            QStringLiteral("紙の色：%1").arg(QString::fromUtf8(face.accessibleName)));
        papers->setId(紙の色[i], i);
    }
    紙の色[1]->setChecked(true);
}

void frmMain::buildTimers()
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    buildNoticeTimer();
}

// Keyboard order follows the tab indices; labels and the group panels take no focus.
void frmMain::setKeyboardOrder()
{
    QWidget *order[] = {画板,      btnSave,     btnOpen,   黒色,      白色,      赤色,
                        青色,      黄色,        紫色,      橙色,      緑色,      細い,
                        普通,      太い,        極太,      btnNew,    btnEnd,    紙の色[7],
                        紙の色[6], 紙の色[5],   紙の色[4], 紙の色[3], 紙の色[2], 紙の色[1],
                        紙の色[0], 関係ないやつ};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Each folder wires the handlers it defines; the window wires only its own end.
