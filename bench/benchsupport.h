#pragma once

// What the benchmarks share: the offscreen platform unless another is asked for, a window
// shown and exposed before timing starts, a count of paint events, and Google Benchmark's run.

#include "app/application.h"
#include "app/frmmain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

inline void useOffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Shows the window and returns once it is exposed and its first paint is done.
inline void showAndWait(frmMain &w)
{
    w.show();
    QElapsedTimer waited;
    waited.start();
    while (!(w.windowHandle() && w.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
}

// The real window, shown, with the side panel's timer stopped: a benchmark drives the ticks
// itself or wants none (they would only add noise). Call after the QApplication is built.
inline std::unique_ptr<frmMain> shownWindow(frmMain::Services services = {})
{
    prepareApplication();
    auto w = std::make_unique<frmMain>(std::move(services));
    w->Timer1->stop();
    showAndWait(*w);
    return w;
}

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

inline int runBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
