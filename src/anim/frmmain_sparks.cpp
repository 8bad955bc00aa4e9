// The side panel's random circles: one every tick, and every 26th tick a wipe to a new colour.
#include "app/colourvalue.h"
#include "app/frmmain.h"

#include <cmath>

void frmMain::Timer1_Tick()
{
    // Each value is a float, widened exactly; the products are taken in double precision.
    auto component = [this] { return std::int32_t(std::floor(double(random()) * 255)); };

    record.SparkRed = component();
    record.SparkGreen = component();
    record.SparkBlue = component();
    関係ないやつ->setFillColor(ColourValue(record.SparkRed, record.SparkGreen, record.SparkBlue));

    double r = random();
    record.SparkRadius = std::int16_t(std::floor(r * 96 + 100));
    r = random();
    const double w = 関係ないやつ->outerWidthTwips();
    record.SparkX = std::int16_t(std::floor(((w + 500) + 1) * r));
    r = random();
    const double h = 関係ないやつ->outerHeightTwips();
    record.SparkY = std::int16_t(std::floor(((h + 500) + 1) * r));
    関係ないやつ->circle(float(record.SparkX), float(record.SparkY), float(record.SparkRadius));

    record.SparkCount = record.SparkCount + 1;
    if (record.SparkCount == 26) {
        関係ないやつ->clear();
        record.SparkRed = component();
        record.SparkGreen = component();
        record.SparkBlue = component();
        関係ないやつ->setBackColor(
            ColourValue(record.SparkRed, record.SparkGreen, record.SparkBlue));
        record.SparkCount = 0;
    }
}

// The top 24 bits of a 32-bit random output, scaled by 2^-24: uniform in [0, 1), never 1, which
// would put a circle one twip past the panel's range.
float frmMain::toUnit(std::uint32_t bits)
{
    return float(bits >> 8) * (1.0f / 16777216.0f);
}

// The animation runs from the window's creation, its first tick one interval later.
void frmMain::connectSparkHandlers()
{
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Tick);
    Timer1->start();
}
