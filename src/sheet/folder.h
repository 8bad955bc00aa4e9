#pragma once

// Files named relative to an open folder, so that a path longer than the system takes whole and
// a folder named in no encoding both work: Qt names files by QString paths only.
#include "sheet/failure.h"

#include <QByteArray>

#include <sys/stat.h>
#include <utility>

namespace picturefile {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Descriptor();
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// A folder readable for its entries and its sync, or else only as a place to work in.
Descriptor openFolder(int base, const QByteArray &folder);
void splitPath(const QByteArray &path, QByteArray *folder, QByteArray *name);

// Where a keep writes: the name itself, or for a link the file it leads to, in its own folder.
struct Target {
    Descriptor folder;
    QByteArray name;
    bool exists = false;
    struct stat status{};
};
bool followLinks(Target *target, Failure *failure);

} // namespace picturefile
