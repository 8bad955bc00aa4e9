#include "app/application.h"
#include "app/frmmain.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    setStartupDefaults();
    skipSessionBusLaunch();
    holdMessagesWhileConnecting();
    QApplication app(argc, argv);
    passOnHeldMessages();
    prepareApplication();
    frmMain window;
    window.show();
    return app.exec();
}
