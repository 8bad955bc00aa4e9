#pragma once

#include <QByteArray>

namespace picturefile {

// A temporary file of a keep that nobody finished is removed by a later keep once this old: a
// younger one may belong to a keep of a second instance still under way.
constexpr int LeftoverAgeSeconds = 60;

// A keep's temporary name beside the picture "Image.bmp": ".Image.bmp.pafuro-" and six letters
// or digits, hidden and named for the program, so that no copy a person makes is taken for one.
QByteArray temporaryName(const QByteArray &name);
bool isTemporaryName(const char *entry, const QByteArray &name);

// Removes what killed keeps left in the folder, and nothing else: regular files under the
// temporary name that no keep has touched for a while. What cannot be removed stays.
void removeLeftovers(int folder, const QByteArray &name);

} // namespace picturefile
