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

// "Image.bmp" in the folder that holds the program's own file, as bytes; empty when that folder
// cannot be known.
QByteArray pathBesideProgram();
// The path as it is shown to the user and written to the log.
QString displayPath(const QByteArray &path);

// Whether a picture of this size and depth stays within AllocationLimitMiB; says why not.
bool fitsInMemory(const QSize &size, int bitsPerPixel, Failure *failure);
// Turns a file's bytes into a picture, whatever common format they hold. On failure returns
// a null image and says why.
QImage decode(const QByteArray &bytes, Failure *failure);
QImage read(const QByteArray &path, Failure *failure);

// What a keep writes: the canvas over the top-left of the reopened picture it shows, so that
// the part of a picture larger than the canvas is kept too. Null, with the reason, where the
// whole would pass the memory a reopen allows.
QImage overPicture(const QImage &canvas, const QImage &picture, Failure *failure);
// Writes an uncompressed 24-bit Windows bitmap through a temporary file that replaces the old
// file only when complete, keeping its owner, group, mode, access ACL and user attributes.
// First removes what killed keeps left beside the picture.
bool write(const QImage &image, const QByteArray &path, Failure *failure);

} // namespace picturefile
