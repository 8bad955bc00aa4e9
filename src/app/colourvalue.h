#pragma once

#include <cstdint>

// The single number by which a colour is handed to a control: red in the lowest byte.
constexpr std::int32_t ColourValue(std::int32_t red, std::int32_t green, std::int32_t blue)
{
    return red + 256 * green + 65536 * blue;
}
