// The cost of keeping and reopening the canvas picture (269 x 277 at scale 1): the click handlers
// on the shown window (reopen through the repaint of the canvas), and the file functions alone.
// Wall-clock time, since a keep waits for the disk. The picture file lives in a temporary
// directory (TMPDIR).
// Medians: picturefile_bench --benchmark_repetitions=15 --benchmark_report_aggregates_only=true
#include "app/frmmain.h"
#include "benchsupport.h"
#include "sheet/picturefile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

BenchWindow *window = nullptr;
picturefile::Place picturePlace;

bool failed(benchmark::State &state, const QString &reason)
{
    state.SkipWithError(qPrintable(reason));
    return true;
}

void BM_KeepClick(benchmark::State &state)
{
    BenchWindow &w = *window;
    for (auto _ : state) {
        w.btnSave_Click();
        QCoreApplication::sendPostedEvents();
    }
}

void BM_ReopenClick(benchmark::State &state)
{
    BenchWindow &w = *window;
    w.btnSave_Click();
    for (auto _ : state) {
        w.btnOpen_Click();
        // Deliver the canvas's repaint, as the event loop would next.
        QCoreApplication::sendPostedEvents();
    }
}

void BM_Write(benchmark::State &state)
{
    const QImage image = window->ui.画板->image();
    picturefile::Failure failure;
    for (auto _ : state) {
        if (!picturefile::write(image, picturePlace, &failure) && failed(state, failure.detail))
            break;
    }
}

void BM_Read(benchmark::State &state)
{
    window->btnSave_Click();
    picturefile::Failure failure;
    for (auto _ : state) {
        const QImage image = picturefile::read(picturePlace, &failure);
        if (image.isNull() && failed(state, failure.detail))
            break;
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_Decode(benchmark::State &state)
{
    window->btnSave_Click();
    QFile file(QFile::decodeName(picturePlace.path()));
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    picturefile::Failure failure;
    for (auto _ : state) {
        const QImage image = picturefile::decode(bytes, &failure);
        if (image.isNull() && failed(state, failure.detail))
            break;
        benchmark::DoNotOptimize(image.constBits());
    }
}

BENCHMARK(BM_KeepClick)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReopenClick)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    useOffscreenUnlessSet();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    frmMain::Services services;
    services.beep = [] {};
    services.reportError = [](picturefile::Action, const QString &path,
                              const picturefile::Failure &failure) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(path), qUtf8Printable(failure.detail));
        std::abort();
    };
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("Image.bmp")));
    services.picturePlace = picturefile::Place(path);
    picturePlace = picturefile::Place(path);
    auto w = shownWindow(std::move(services));
    // A picture with something on it: discs in several colours and sizes.
    for (int i = 0; i < 40; ++i) {
        w->state().PenRed = (i * 53) & 0xff;
        w->state().PenGreen = (i * 97) & 0xff;
        w->state().PenSize = 10 + (i % 4) * 55;
        w->StampBrush(w->ui.画板, 1, float((i * 733) % 4035), float((i * 421) % 4155));
    }
    window = w.get();

    return runBenchmarks(argc, argv);
}
