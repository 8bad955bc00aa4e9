/* The floor of a Qt 6 widgets window: the application object and one empty widget, nothing
 * else, as large as the program's window and named "Floor" so that mapwait finds it.
 */
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.resize(496, 433);
    window.show();
    return app.exec();
}
