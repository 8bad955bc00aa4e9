// The cost of a beep to the handler that rings it: the click handler of btnNew with the real
// system bell, against the same handler with a beep that does nothing. Each beep is played, so
// the beeps are spaced out to let the sound server keep up; the pause is not timed. Meant for
// the X platform beside a sound server (bench/beep.sh); runs on the offscreen one otherwise.
#include "app/frmmain.h"
#include "benchsupport.h"
#include "notice/systembell.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {

BenchWindow *window = nullptr;
// The system bell, a window's own as the program's is; rung only while the beep is on.
SystemBell *systemBell = nullptr;
bool beepOn = false;

void newSheets(benchmark::State &state)
{
    for (auto _ : state) {
        window->btnNew_Click();
        state.PauseTiming();
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        state.ResumeTiming();
    }
}

void BM_NewSheetSilent(benchmark::State &state)
{
    beepOn = false;
    newSheets(state);
}
BENCHMARK(BM_NewSheetSilent)->Iterations(200)->Unit(benchmark::kMicrosecond);

void BM_NewSheetWithBeep(benchmark::State &state)
{
    beepOn = true;
    newSheets(state);
}
BENCHMARK(BM_NewSheetWithBeep)->Iterations(200)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    useOffscreenUnlessSet();
    QApplication app(argc, argv);
    frmMain::Services services;
    services.beep = [] {
        if (beepOn)
            systemBell->ring();
    };
    auto w = shownWindow(std::move(services));
    systemBell = new SystemBell(QStringLiteral("Pafuro"), &w->w);
    window = w.get();
    // The first beep starts the player and loads the sound library; the figures are those of
    // the beeps after it.
    QElapsedTimer first;
    first.start();
    systemBell->ring();
    std::printf("first beep: %.1f us in the handler\n", double(first.nsecsElapsed()) / 1000.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return runBenchmarks(argc, argv);
}
