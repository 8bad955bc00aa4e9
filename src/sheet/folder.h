#pragma once

// Files named relative to an open folder, so that a path longer than the system takes whole and
// a folder named in no encoding both work: Qt names files by QString paths only. A name is
// resolved once, by the kernel, so that its protections apply as they would to a shell; every
// later check and act goes through the handle it gave.
#include "sheet/failure.h"
#include "sheet/picturefile.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <functional>
#include <sys/stat.h>

namespace picturefile {

// A folder readable for its entries and its sync, or else only as a place to work in.
Descriptor openFolder(int base, const QByteArray &folder);
void splitPath(const QByteArray &path, QByteArray *folder, QByteArray *name);
// The name under which the system opens a handle's node again, whatever its path.
QByteArray handlePath(int fd);
bool sameNode(const struct stat &a, const struct stat &b);

// The node a keep replaces, pinned: the place's own name, or for a link the file the kernel
// found at its end (made empty there first where it led nowhere), in that file's own folder.
struct Target {
    Descriptor folder;
    QByteArray name;
    Descriptor node; // invalid where nothing is there yet
    struct stat status{};
    bool created = false;
    // The attributes the new file is to carry; unreadable ones (a write-only picture) leave the
    // picture to be written in its own file.
    QList<QPair<QByteArray, QByteArray>> attributes;
    bool attributesUnreadable = false;
    bool exists() const { return node.valid(); }
};
bool resolveForKeep(const Place &place, Target *target, Failure *failure);
// A handle open for reading on the regular file under the place's name; nothing else is opened.
Descriptor openForReading(const Place &place, struct stat *status, Failure *failure);

// Called between a check of a node and the act on it; tests swap a node there.
extern std::function<void()> betweenCheckAndAct;

} // namespace picturefile
