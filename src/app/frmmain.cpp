#include "app/frmmain.h"

#include "app/accessibility.h"
#include "app/windowicon.h"
#include "sheet/picturefile.h"

#include <QCoreApplication>
#include <QWindow>

#include <utility>

frmMain::frmMain(QWidget *parent) : frmMain(Services(), parent) {}

frmMain::frmMain(Services services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      beep(std::move(services.beep)),
      random(std::move(services.random)),
      reportError(std::move(services.reportError)),
      picturePlace(std::move(services.picturePlace))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Pafuro"));
    setWindowIcon(pencilIcon());
    setFixedSize(496, 433);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(255, 192, 192));
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    buildControls();
    connectHandlers();
    Form_Load();
}

// The border is fixed, also against a window manager that offers full screen or maximized to
// every window (by its own menu, or to a tool such as wmctrl): the window asks to be put back.
// Full screen would otherwise show the layout in a corner of a screen of pink.
void frmMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        leaveImposedState();
}

// A compositor that gives every window that state (a kiosk shell, a tiling window manager)
// answers the request by imposing it again at once; asking once more would go on for ever,
// thousands of times a second. The window asks once, and a state imposed again within a second
// of that request it keeps: its surface stays at its fixed size, which the compositor places.
// Some versions of Qt's Wayland platform give a full-screen window the screen's size whatever its
// bounds, and a kiosk shell may answer the request to leave with nothing at all: the window is
// put back at its own size whenever it is in such a state.
void frmMain::leaveImposedState()
{
    static constexpr Qt::WindowStates unfixed = Qt::WindowFullScreen | Qt::WindowMaximized;
    const Qt::WindowStates imposed = windowState() & unfixed;
    if (!imposed)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (windowHandle() && windowHandle()->size() != minimumSize())
                windowHandle()->resize(minimumSize());
        },
        Qt::QueuedConnection);
    if (imposed == stateLeft && sinceLeaving.isValid() && !sinceLeaving.hasExpired(1000))
        return;
    stateLeft = imposed;
    sinceLeaving.start();
    QMetaObject::invokeMethod(
        this, [this] { setWindowState(windowState() & ~unfixed); }, Qt::QueuedConnection);
}

void frmMain::connectHandlers()
{
    connect(btnEnd, &QPushButton::clicked, this, &frmMain::btnEnd_Click);
    connectBrushHandlers();
    connectNoticeHandlers();
    connectSheetHandlers();
    connectSparkHandlers();
}

void frmMain::Form_Load()
{
    record.PenSize = 50;
    record.PaperRed = 255;
    record.PaperGreen = 255;
    record.PaperBlue = 255;
}

void frmMain::btnEnd_Click()
{
    close();
}
