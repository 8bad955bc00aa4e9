#include "app/application.h"
#include "app/frmmain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    prepareApplication();
    frmMain window;
    window.show();
    return app.exec();
}
