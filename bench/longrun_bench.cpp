// A million ticks of the side panel's animation and a million brush stamps, each through the
// real handlers and followed by a turn of the event loop, which repaints what they touched as
// the running program does, on the shown window (offscreen unless QT_QPA_PLATFORM says
// otherwise). Prints, per 100,000, the time per tick or stamp and the
// resident memory, and whether memory stayed flat and the last 100,000 were as fast as the first.
//   build/bench/longrun_bench [COUNT, default 1000000]
#include "app/frmmain.h"
#include "benchsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// What the allocator has handed out and not had back: flat unless something is kept.
long heapInUseKiB()
{
    return long(mallinfo2().uordblks / 1024);
}

struct Block {
    double nsPerOp;
    long residentKiB;
    long heapKiB;
};

// Runs `count` operations in blocks of `block`, timing each block and noting memory after it.
std::vector<Block> run(const char *what, long count, long block,
                       const std::function<void(long)> &op)
{
    std::printf("%s\n%12s %14s %14s %14s\n", what, "done", "ns each", "resident KiB",
                "heap in use KiB");
    std::vector<Block> blocks;
    for (long done = 0; done < count; done += block) {
        QElapsedTimer timer;
        timer.start();
        for (long i = done; i < done + block; ++i)
            op(i);
        const double ns = double(timer.nsecsElapsed()) / double(block);
        blocks.push_back({ns, residentKiB(), heapInUseKiB()});
        std::printf("%12ld %14.0f %14ld %14ld\n", done + block, ns, blocks.back().residentKiB,
                    blocks.back().heapKiB);
        std::fflush(stdout);
    }
    return blocks;
}

bool verdict(const char *what, const std::vector<Block> &blocks)
{
    // The first block warms the caches up; memory is measured from its end.
    const long growth = blocks.back().residentKiB - blocks.front().residentKiB;
    // The heap in use swings with what is waiting to be repainted; its halves are compared.
    const std::size_t half = blocks.size() / 2;
    double early = 0, late = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        (i < half ? early : late) += double(blocks[i].heapKiB);
    const long heapGrowth =
        half ? long(late / double(blocks.size() - half) - early / double(half)) : 0;
    const double pace = blocks.back().nsPerOp / blocks.front().nsPerOp;
    const bool flat = growth < 1024 && heapGrowth < 1024;
    const bool steady = pace < 1.2;
    std::printf("%s: after the first block resident memory grew by %ld KiB, and the heap in use by "
                "%ld KiB from the first half to the second (%s); the last block took %.2f times as "
                "long as the first (%s)\n\n",
                what, growth, heapGrowth, flat ? "flat" : "GROWING", pace,
                steady ? "no slow-down" : "SLOWER");
    return flat && steady;
}

} // namespace

int main(int argc, char **argv)
{
    useOffscreenUnlessSet();
    QApplication app(argc, argv);
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long block = count >= 10 ? count / 10 : 1;

    // The ticks are driven here, one after another, as fast as they go.
    frmMain::Services services;
    services.beep = [] {};
    auto w = shownWindow(std::move(services));
    std::printf("resident at start: %ld KiB\n\n", residentKiB());
    PaintCounter panelPaints, canvasPaints;
    w->ui.関係ないやつ->installEventFilter(&panelPaints);
    w->ui.画板->installEventFilter(&canvasPaints);

    const auto ticks = run("Timer1_Tick, then the event loop", count, block, [&](long) {
        w->Timer1_Tick();
        QCoreApplication::processEvents();
    });

    std::printf("side panel repainted %ld times\n\n", panelPaints.paints);

    // Each stamp is a mouse move with the left button held, delivered to the canvas as the
    // window system would, a pixel on from the last along a path that sweeps the canvas to and
    // fro, as a hand's drag does; the colour and size change every thousand.
    DrawingSurface *canvas = w->ui.画板;
    ColourButton *colours[] = {w->ui.赤色, w->ui.青色, w->ui.黄色, w->ui.黒色};
    ColourButton *sizes[] = {w->ui.細い, w->ui.普通, w->ui.太い, w->ui.極太};
    const auto stamps =
        run("canvas mouse move (one stamp), then the event loop", count, block, [&](long i) {
            if (i % 1000 == 0) {
                colours[i / 1000 % 4]->click();
                sizes[i / 4000 % 4]->click();
            }
            const long row = i / 269, column = i % 269;
            const QPointF at(2 + (row % 2 ? 268 - column : column), 2 + (row * 3) % 277);
            QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(canvas, &move);
            QCoreApplication::processEvents();
        });

    // The stamps did paint: the canvas holds the last colour.
    const QImage &painted = canvas->image();
    long lastColour = 0;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x)
            lastColour += painted.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
    std::printf("canvas repainted %ld times; black pixels on it at the end: %ld of %lld\n\n",
                canvasPaints.paints, lastColour, qlonglong(painted.width()) * painted.height());

    const bool ticksFine = verdict("ticks", ticks);
    const bool stampsFine = verdict("stamps", stamps);
    return ticksFine && stampsFine ? 0 : 1;
}
