#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

// Small pictures of every encoding the reopen path may meet, made here rather than shipped:
// bitmaps of every depth, compression and header variant, and PNG, JPEG, GIF and the other
// formats Qt reads. Each comes with the picture it must decode to.
struct PictureSeed {
    QString name;
    QByteArray bytes;
    QImage expected;
    // The largest difference allowed in a component: rounded encodings differ a little, and
    // lossy ones (-1) are compared by size only.
    int tolerance = 0;
    // Variants Qt does not read are kept as seeds of its refusing paths.
    bool decodes = true;
};

std::vector<PictureSeed> pictureSeeds();
