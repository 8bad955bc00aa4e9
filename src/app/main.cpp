#include "app/application.h"
#include "app/frmmain.h"
#include "app/startup.h"

#include <QApplication>
#include <QByteArray>

int main(int argc, char *argv[])
{
    setStartupDefaults();
    skipSessionBusLaunch();
    holdMessagesWhileConnecting();
    // Qt's own event loop, not GLib's: nothing here needs GLib's, and it wakes the loop anew for
    // every event posted, where Qt's wakes it once a turn. The setting is left to the program
    // alone, not to what it starts.
    const bool ownLoop = !qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (ownLoop)
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
    QApplication app(argc, argv);
    if (ownLoop)
        qunsetenv("QT_NO_GLIB");
    passOnHeldMessages();
    prepareApplication();
    frmMain window;
    window.show();
    return app.exec();
}
