#include "app/application.h"
#include "app/frmmain.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// While the application object connects to the display, Qt's own complaints are held back: if
// no display can be opened they end in an abort with a core file, and the user is told so in one
// line instead. Once connected, what was held is passed on.
QtMessageHandler qtHandler = nullptr;
QList<std::tuple<QtMsgType, QString, QString>> held;

void holdWhileConnecting(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        held.append({type, QString::fromUtf8(context.category), text});
        return;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = platform.startsWith("wayland") ? qgetenv("WAYLAND_DISPLAY")
                                                              : qgetenv("DISPLAY");
    std::fprintf(stderr, "pafuro: cannot open display %s%s\n",
                 display.isEmpty() ? "(none set)" : display.constData(),
                 platform.isEmpty() ? "" : qPrintable(QStringLiteral(" (platform %1)")
                                                          .arg(QString::fromLocal8Bit(platform))));
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    setStartupDefaults();
    qtHandler = qInstallMessageHandler(holdWhileConnecting);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    for (const auto &[type, category, text] : held) {
        if (!qtHandler)
            break;
        const QByteArray name = category.toUtf8();
        qtHandler(type, QMessageLogContext(nullptr, 0, nullptr, name.constData()), text);
    }
    held.clear();
    prepareApplication();
    skipSessionBusLaunch();
    frmMain window;
    window.show();
    return app.exec();
}
