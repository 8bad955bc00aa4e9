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
// itself or wants none (they would only add noise). It fires the handlers and sets the record
// directly, as their events and the handlers would.
struct BenchWindow {
    explicit BenchWindow(frmMain::Services services) : w(std::move(services))
    {
        ui.Timer1->stop();
        showAndWait(w);
    }

    frmMain w;
    const frmMain::Controls &ui = w.controls();

    StateRecord &state() { return w.record; }
    void Timer1_Tick() { w.Timer1_Tick(); }
    void btnNew_Click() { w.btnNew_Click(); }
    void btnSave_Click() { w.btnSave_Click(); }
    void btnOpen_Click() { w.btnOpen_Click(); }
    void StampBrush(auto... a) { w.StampBrush(a...); }
};

// Call after the QApplication is built.
inline std::unique_ptr<BenchWindow> shownWindow(frmMain::Services services = {})
{
    prepareApplication();
    return std::make_unique<BenchWindow>(std::move(services));
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
