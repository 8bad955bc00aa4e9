#include "app/windowicon.h"

#include <QImageReader>
#include <QPixmap>

namespace {

// One size of the icon, read as XPM outright: left to find the format itself, Qt loads every
// image-format plugin at start to ask which of them reads the file.
QPixmap iconPixmap(const QString &path)
{
    QImageReader reader(path, "XPM");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace

QIcon pencilIcon()
{
    QIcon icon;
    icon.addPixmap(iconPixmap(QStringLiteral(":/icons/pafuro-16.xpm")));
    icon.addPixmap(iconPixmap(QStringLiteral(":/icons/pafuro-32.xpm")));
    return icon;
}
