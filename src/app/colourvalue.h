#pragma once

#include <QColor>
#include <cstdint>

// The single number by which a colour is handed to a control: red in the lowest byte.
constexpr std::int32_t ColourValue(std::int32_t red, std::int32_t green, std::int32_t blue)
{
    return red + 256 * green + 65536 * blue;
}

inline QRgb toRgb(std::int32_t colourValue)
{
    return qRgb(colourValue & 0xff, (colourValue >> 8) & 0xff, (colourValue >> 16) & 0xff);
}
