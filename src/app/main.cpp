#include "app/application.h"
#include "app/frmmain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    setStartupDefaults();
    QApplication app(argc, argv);
    prepareApplication();
    skipSessionBusLaunch();
    frmMain window;
    window.show();
    return app.exec();
}
