// The cost of one tick of the side panel's animation on the shown window: Timer1_Tick alone,
// and Timer1_Tick through the repaint of what it touched (a circle's rectangle, or the whole
// panel on every 26th tick). Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "app/application.h"
#include "app/frmmain.h"

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
class PaintCounter final : public QObject {
public:
    std::int64_t paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

frmMain *window = nullptr;
PaintCounter *counter = nullptr;

void BM_Tick(benchmark::State &state)
{
    frmMain &w = *window;
    for (auto _ : state)
        w.Timer1_Tick();
    // Leave no repaint behind for the next benchmark.
    QCoreApplication::sendPostedEvents();
}
BENCHMARK(BM_Tick);

void BM_TickAndRepaint(benchmark::State &state)
{
    frmMain &w = *window;
    const std::int64_t paintsBefore = counter->paints;
    for (auto _ : state) {
        w.Timer1_Tick();
        QCoreApplication::sendPostedEvents();
    }
    state.counters["paints/tick"] =
        double(counter->paints - paintsBefore) / double(state.iterations());
}
BENCHMARK(BM_TickAndRepaint);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    prepareApplication();

    auto w = std::make_unique<frmMain>();
    // The benchmark drives the ticks itself.
    w->Timer1->stop();
    w->show();
    QElapsedTimer waited;
    waited.start();
    while (!(w->windowHandle() && w->windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    PaintCounter paintCounter;
    w->関係ないやつ->installEventFilter(&paintCounter);
    window = w.get();
    counter = &paintCounter;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
