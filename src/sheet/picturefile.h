#pragma once

#include "sheet/failure.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The one picture file: written whole or not at all, only where a regular file is or nothing is,
// and read back defensively. Paths are the file system's own bytes, whatever their encoding.
namespace picturefile {

// The most memory a picture may take once decoded; a header that claims more is refused.
constexpr int AllocationLimitMiB = 64;
// A file larger than this is refused before it is read.
constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
// A temporary file of a keep that nobody finished is removed by a later keep once this old: a
// younger one may belong to a keep of a second instance still under way.
constexpr int LeftoverAgeSeconds = 60;

// "Image.bmp" in the folder that holds the running executable, as bytes; empty when that folder
// cannot be known.
QByteArray pathBesideProgram();
// The path as it is shown to the user and written to the log.
QString displayPath(const QByteArray &path);

// Turns a file's bytes into a picture, whatever common format they hold. On failure returns
// a null image and says why.
QImage decode(const QByteArray &bytes, Failure *failure);
QImage decode(const QByteArray &bytes, QString *reason);
QImage read(const QByteArray &path, Failure *failure);
// Writes an uncompressed 24-bit Windows bitmap through a temporary file that replaces the old
// file only when complete, keeping its owner, group and mode. First removes what killed keeps
// left beside the picture.
bool write(const QImage &image, const QByteArray &path, Failure *failure);

} // namespace picturefile
