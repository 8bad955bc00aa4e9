#include "app/captionfaces.h"

#include <QFontDatabase>
#include <QResource>

QByteArray captionFaceData(const CaptionFace &face)
{
    const QResource resource(QString::fromLatin1(face.resource));
    if (resource.compressionAlgorithm() != QResource::NoCompression)
        return resource.uncompressedData();
    return QByteArray::fromRawData(reinterpret_cast<const char *>(resource.data()),
                                   resource.size());
}

void addCaptionFaces()
{
    for (const CaptionFace &face : {PopFace, MinchoFace}) {
        if (QFontDatabase::addApplicationFontFromData(captionFaceData(face)) < 0)
            qWarning("pafuro: the caption face %s could not be added", face.family);
    }
}
