// Renders one of the window's icon files as a PNG for the desktop's icon theme. Runs at build
// time; Qt reads the icon and writes the PNG, so the build needs nothing beyond Qt itself.
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ICON SIZE OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const int size = QString::fromLocal8Bit(argv[2]).toInt();
    const QImage image(input);
    if (image.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    // The theme files the icon by its size, so a drawing of another size is a build fault.
    if (image.width() != size || image.height() != size) {
        std::fprintf(stderr, "%s: %s is %dx%d, not %dx%d\n", argv[0], argv[1], image.width(),
                     image.height(), size, size);
        return 1;
    }
    if (!image.convertToFormat(QImage::Format_ARGB32)
             .save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
