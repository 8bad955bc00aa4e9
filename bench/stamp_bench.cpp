// The cost of one brush stamp: StampBrush on the shown canvas through the repaint of the
// rectangle it touched, for each of the four brush radii, at positions spread over the canvas.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; QT_SCALE_FACTOR=2 measures
// the canvas at twice the scale, in four times the pixels.
#include "app/frmmain.h"
#include "benchsupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>

namespace {

// Counts the canvas's paint events, to show that every stamp was repainted.
BenchWindow *window = nullptr;
PaintCounter *counter = nullptr;

// Centres in twips, spread over the canvas's client area (269 x 277 pixels at scale 1, twice that
// at scale 2) by a fixed sequence; those near an edge are clipped.
std::array<std::array<float, 2>, 256> positions()
{
    std::array<std::array<float, 2>, 256> p{};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / 16777216.0f;
    };
    for (auto &xy : p) {
        xy[0] = next() * 4035.0f;
        xy[1] = next() * 4155.0f;
    }
    return p;
}

void BM_Stamp(benchmark::State &state)
{
    BenchWindow &w = *window;
    w.state().PenSize = std::int32_t(state.range(0));
    const auto p = positions();
    std::size_t i = 0;
    std::int32_t colour = 0;
    const std::int64_t paintsBefore = counter->paints;
    for (auto _ : state) {
        // A new colour now and then, as a user switching swatches would.
        w.state().PenRed = colour & 0xff;
        w.state().PenGreen = (colour >> 3) & 0xff;
        w.StampBrush(w.ui.画板, 1, p[i][0], p[i][1]);
        // A turn of the event loop, which puts the stamp on the screen.
        QCoreApplication::processEvents();
        i = (i + 1) % p.size();
        colour += 7;
    }
    state.counters["paints/stamp"] =
        double(counter->paints - paintsBefore) / double(state.iterations());
}

BENCHMARK(BM_Stamp)->ArgName("radius_twips")->Arg(10)->Arg(50)->Arg(100)->Arg(175);

} // namespace

int main(int argc, char **argv)
{
    useOffscreenUnlessSet();
    QApplication app(argc, argv);
    auto w = shownWindow();
    PaintCounter paintCounter;
    w->ui.画板->installEventFilter(&paintCounter);
    window = w.get();
    counter = &paintCounter;

    return runBenchmarks(argc, argv);
}
