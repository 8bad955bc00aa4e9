/* The floor of a Qt 6 widgets window: the application object and one empty widget, nothing
 * else, as large as the program's window and named "Floor" so that mapwait finds it. With the
 * argument "label" the widget holds one line of text, which brings in what any text costs:
 * the system's font configuration, the font database, FreeType and HarfBuzz.
 */
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.resize(496, 433);
    if (argc > 1 && std::strcmp(argv[1], "label") == 0)
        (new QLabel(QStringLiteral("Floor"), &window))->move(8, 8);
    window.show();
    return app.exec();
}
