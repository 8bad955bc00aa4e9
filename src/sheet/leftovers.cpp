// What a killed keep leaves and a later keep removes, read from the open folder rather than by
// QDir, which names a folder by QString (lossy for a folder named in no encoding). QSaveFile's
// temporary name, "Image.bmp." and six letters, is one a person gives a copy.
#include "sheet/leftovers.h"

#include <QRandomGenerator>

#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace picturefile {

namespace {

QByteArray temporaryPrefix(const QByteArray &name)
{
    return '.' + name + ".pafuro-";
}

} // namespace

QByteArray temporaryName(const QByteArray &name)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temporary = temporaryPrefix(name);
    for (int i = 0; i < 6; ++i)
        temporary += letters[QRandomGenerator::system()->bounded(62)];
    return temporary;
}

bool isTemporaryName(const char *entry, const QByteArray &name)
{
    const QByteArray prefix = temporaryPrefix(name);
    if (std::strncmp(entry, prefix.constData(), size_t(prefix.size())) != 0)
        return false;
    const char *tail = entry + prefix.size();
    int letters = 0;
    for (; tail[letters]; ++letters) {
        const char c = tail[letters];
        if (letters == 6 ||
            !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return letters == 6;
}

void removeLeftovers(int folder, const QByteArray &name)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR *entries = ::fdopendir(fd);
    if (!entries) {
        ::close(fd);
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent *entry = ::readdir(entries)) {
        struct stat status{};
        if (isTemporaryName(entry->d_name, name) &&
            ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && now - status.st_mtime >= LeftoverAgeSeconds)
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(entries);
}

} // namespace picturefile
