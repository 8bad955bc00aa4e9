#pragma once

#include "sheet/failure.h"
#include "sheet/folder.h"

namespace picturefile {

// Whether a keep may put a new file in the place of the node under the picture's name, from the
// node's mode (0 where nothing is there) and what the system answered when asked whether it may
// be written (0 for yes, else its error number). Says why not.
bool mayReplace(unsigned mode, int writeError, Failure *failure);

// Gives the new file `fd` what the file it replaces had: owner and group, its access ACL and
// user.* attributes, and its mode. Changes only what differs, and goes on where a file system
// cannot store a mode or an owner, unless that would give the picture to someone it was not for.
bool takeOver(int fd, const Target &old, Failure *failure);

} // namespace picturefile
