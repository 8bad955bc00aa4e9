#pragma once

#include <QString>

namespace picturefile {

enum class Action { Keep, Reopen };

// Why a keep or a reopen failed, in the terms the user is told.
enum class Why {
    Missing,           // no picture file (reopen), or no folder to keep it in (keep)
    NotAPicture,       // the file's bytes are no picture, or a picture cut short
    UnsupportedFormat, // a picture in a format that is not read
    TooLarge,          // the file or the picture it holds is beyond what is read
    Permission,        // the system refuses access
    ReadOnlyDisk,      // the disk is mounted read-only
    DiskFull,          // no room left on the disk (or in the user's quota)
    NotAFile,          // a directory, pipe, socket or device stands under the picture's name
    ReadOnlyPicture,   // keep: the picture file is marked read-only
    OwnerWouldChange,  // keep: replacing the file would give it another owner
    NoMemory,          // not enough memory for the picture
    FileSizeLimit,     // keep: the file would pass the size limit set for the program
    FolderUnknown,     // the program's own folder cannot be found
    Other,             // any other system error; detail holds the system's own words
};

struct Failure {
    Why why = Why::Other;
    int error = 0;  // the system's error number where it gave one, else 0
    QString detail; // the system's or the decoder's own words, for the log line
};

// The reason the user is told for a system error number.
Why whyOf(int error);

// Each records the failure (where one is asked for) and returns false, so that a step can end
// with `return fail(...)`. Without words of its own, a system error is told in the system's.
bool fail(Failure *failure, Why why, int error, const QString &detail = QString());
bool failSystem(Failure *failure, int error);
// For a node that is no regular file, from its mode.
bool failNotAFile(Failure *failure, unsigned mode);
bool failFolderUnknown(Failure *failure);

} // namespace picturefile
