// The cost of one tick of the side panel's animation on the shown window: Timer1_Tick alone,
// and Timer1_Tick through the repaint of what it touched (a circle's rectangle, or the whole
// panel on every 26th tick). Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "app/frmmain.h"
#include "benchsupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

namespace {

// Counts the side panel's paint events, to show that every tick was repainted.
BenchWindow *window = nullptr;
PaintCounter *counter = nullptr;

void BM_Tick(benchmark::State &state)
{
    BenchWindow &w = *window;
    for (auto _ : state)
        w.Timer1_Tick();
    // Leave no repaint behind for the next benchmark.
    QCoreApplication::processEvents();
}
BENCHMARK(BM_Tick);

void BM_TickAndRepaint(benchmark::State &state)
{
    BenchWindow &w = *window;
    const std::int64_t paintsBefore = counter->paints;
    for (auto _ : state) {
        w.Timer1_Tick();
        QCoreApplication::processEvents();
    }
    state.counters["paints/tick"] =
        double(counter->paints - paintsBefore) / double(state.iterations());
}
BENCHMARK(BM_TickAndRepaint);

} // namespace

int main(int argc, char **argv)
{
    useOffscreenUnlessSet();
    QApplication app(argc, argv);
    auto w = shownWindow();
    PaintCounter paintCounter;
    w->ui.関係ないやつ->installEventFilter(&paintCounter);
    window = w.get();
    counter = &paintCounter;

    return runBenchmarks(argc, argv);
}
