/* Drags with the left button through the XTest extension: presses at one place, sends COUNT
 * pointer motions at RATE per second to the points of a grid, and releases.
 *
 *   xdrag PRESS_X PRESS_Y GRID_X GRID_Y COLUMNS STEP COUNT RATE
 *
 * Motion k goes to (GRID_X + (k % COLUMNS) * STEP, GRID_Y + (k / COLUMNS) * STEP), screen
 * pixels, so every motion lands at its own place. Motions are paced against the clock, not
 * slept between, so the whole run takes COUNT / RATE seconds. Prints the seconds it took.
 */
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

static void add_ns(struct timespec *t, long long ns)
{
    long long total = t->tv_nsec + ns;
    t->tv_sec += total / 1000000000LL;
    t->tv_nsec = total % 1000000000LL;
}

int main(int argc, char **argv)
{
    if (argc != 9) {
        fprintf(stderr, "usage: xdrag PRESS_X PRESS_Y GRID_X GRID_Y COLUMNS STEP COUNT RATE\n");
        return 2;
    }
    const int pressX = atoi(argv[1]), pressY = atoi(argv[2]);
    const int gridX = atoi(argv[3]), gridY = atoi(argv[4]);
    const int columns = atoi(argv[5]), step = atoi(argv[6]);
    const int count = atoi(argv[7]);
    const double rate = atof(argv[8]);
    if (columns <= 0 || count <= 0 || rate <= 0) {
        fprintf(stderr, "xdrag: COLUMNS, COUNT and RATE must be positive\n");
        return 2;
    }

    Display *display = XOpenDisplay(NULL);
    int eventBase, errorBase, major, minor;
    if (!display || !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        fprintf(stderr, "xdrag: no display with the XTest extension\n");
        return 2;
    }

    XTestFakeMotionEvent(display, -1, pressX, pressY, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);

    struct timespec start, due, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const long long interval = static_cast<long long>(1e9 / rate);
    for (int k = 0; k < count; ++k) {
        due = start;
        add_ns(&due, interval * k);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, NULL);
        XTestFakeMotionEvent(display, -1, gridX + (k % columns) * step,
                             gridY + (k / columns) * step, CurrentTime);
        XFlush(display);
    }
    XSync(display, False);
    clock_gettime(CLOCK_MONOTONIC, &end);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);

    printf("%.3f\n", (end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9);
    return 0;
}
