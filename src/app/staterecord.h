#pragma once

#include <cstdint>

// The window's state: the brush, the paper of the next sheet and the side panel's animation.
// Every field is 0 until the load handler sets the defaults.
struct StateRecord {
    std::int32_t PenRed = 0;
    std::int32_t PenGreen = 0;
    std::int32_t PenBlue = 0;
    std::int32_t PenSize = 0; // radius of a brush disc, twips
    std::int32_t PaperRed = 0;
    std::int32_t PaperGreen = 0;
    std::int32_t PaperBlue = 0;
    std::int16_t SparkX = 0; // centre of the latest circle, twips
    std::int16_t SparkY = 0;
    std::int16_t SparkRadius = 0;
    std::int32_t SparkCount = 0; // ticks since the side panel was last wiped
    std::int32_t SparkRed = 0;
    std::int32_t SparkGreen = 0;
    std::int32_t SparkBlue = 0;
};
