#include "app/application.h"
#include "app/frmmain.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    setStartupDefaults();
    holdMessagesWhileConnecting();
    QApplication app(argc, argv);
    passOnHeldMessages();
    prepareApplication();
    skipSessionBusLaunch();
    frmMain window;
    window.show();
    return app.exec();
}
