#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The one picture file: written whole or not at all, and read back defensively.
namespace picturefile {

// The most memory a picture may take once decoded; a header that claims more is refused.
constexpr int AllocationLimitMiB = 64;
// A file larger than this is refused before it is read.
constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

// Turns a file's bytes into a picture, whatever common format they hold. On failure returns
// a null image and sets the reason.
QImage decode(const QByteArray &bytes, QString *reason);
QImage read(const QString &path, QString *reason);
// Writes an uncompressed 24-bit Windows bitmap through a temporary file that replaces the old
// file only when complete.
bool write(const QImage &image, const QString &path, QString *reason);

} // namespace picturefile
