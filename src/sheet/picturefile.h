#pragma once

#include "sheet/descriptor.h"
#include "sheet/failure.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The one picture file: written whole or not at all, only where a regular file is or nothing is,
// and read back defensively. Paths are the file system's own bytes, whatever their encoding.
namespace picturefile {

// The most memory a picture may take, counted at the 32 bits to the pixel at which the canvas
// holds it and a keep composes it, whatever depth its file has: what a reopen accepts, a keep
// can write whole, and what a keep writes, a reopen accepts.
constexpr int AllocationLimitMiB = 128;
// A file larger than this is refused before it is read; every bitmap a keep writes is smaller.
constexpr qint64 MaxFileBytes = qint64(AllocationLimitMiB) * 1024 * 1024;

// "Image.bmp" in the folder that holds the program's own file, as bytes; empty when that folder
// cannot be known.
QByteArray pathBesideProgram();

// Where the picture lives: its folder, held open from the moment the place is named, so that
// the folder stays the one meant when it is renamed or another takes its name, and the file's
// name in it. A place named by an empty path is not known.
class Place {
public:
    Place() = default;
    explicit Place(const QByteArray &path);
    bool known() const { return !m_name.isEmpty(); }
    const QByteArray &path() const { return m_path; }
    const QByteArray &name() const { return m_name; }
    int folder() const { return m_folder.get(); }
    // Why the folder could not be opened when the place was named; 0 if it was.
    int folderError() const { return m_error; }
    // The path as it is shown to the user and written to the log: where the folder is now.
    QString shown() const;

private:
    QByteArray m_path;
    QByteArray m_name;
    Descriptor m_folder;
    int m_error = 0;
};

// Whether a picture of this size stays within AllocationLimitMiB; says why not.
bool fitsInMemory(const QSize &size, Failure *failure);
// Turns a file's bytes into a picture, whatever common format they hold. On failure returns
// a null image and says why.
QImage decode(const QByteArray &bytes, Failure *failure);
QImage read(const Place &place, Failure *failure);

// What a keep writes: the canvas over the top-left of the reopened picture it shows, so that
// the part of a picture larger than the canvas is kept too. The bitmap holds no transparency, so
// the whole stands on the canvas's paper as the part the canvas shows does. Null, with the
// reason, where the whole would pass the memory a reopen allows.
QImage overPicture(const QImage &canvas, const QImage &picture, QRgb paper, Failure *failure);
// Writes an uncompressed 24-bit Windows bitmap through a temporary file that replaces the old
// file only when complete, keeping its owner, group, mode, access ACL and user attributes.
// First removes what killed keeps left beside the picture.
bool write(const QImage &image, const Place &place, Failure *failure);

} // namespace picturefile
