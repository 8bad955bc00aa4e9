/* Starts a program and times it from exec to the map of its top-level window with a given name.
 *
 *   mapwait [-n NAME | -c CLASS] [-t SECONDS] [-k] -- PROGRAM [ARGS...]
 *
 * Listens on the root window for the creation and mapping of its children before it forks, so
 * no map can be missed, then prints the milliseconds from the fork to the MapNotify of the first
 * window whose name (WM_NAME or _NET_WM_NAME) is NAME (default "Pafuro"), or with -c of the first
 * whose WM_CLASS is CLASS (for programs that name their window only as they map it), as "MS PID"
 * (the program's own standard output goes to standard error). Without -k the program is then ended
 * (SIGTERM, then SIGKILL); with -k it is left running. Exit status: 0 mapped, 1 the program ended
 * or timed out first, 2 usage or X errors.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* A window that does not exist any more must not end the listener. */
static int ignore_errors(Display *display, XErrorEvent *error)
{
    (void)display;
    (void)error;
    return 0;
}

static int has_name(Display *display, Window window, const char *name)
{
    int found = 0;
    char *plain = NULL;
    if (XFetchName(display, window, &plain) && plain) {
        found = strcmp(plain, name) == 0;
        XFree(plain);
    }
    if (found)
        return 1;
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *value = NULL;
    if (XGetWindowProperty(display, window, netName, 0, 256, False, utf8, &type, &format, &count,
                           &after, &value) == Success &&
        value) {
        found =
            type == utf8 && format == 8 && strlen(name) == count && memcmp(value, name, count) == 0;
        XFree(value);
    }
    return found;
}

static int has_class(Display *display, Window window, const char *name)
{
    XClassHint hint = {NULL, NULL};
    if (!XGetClassHint(display, window, &hint))
        return 0;
    const int found = (hint.res_name && strcmp(hint.res_name, name) == 0) ||
                      (hint.res_class && strcmp(hint.res_class, name) == 0);
    XFree(hint.res_name);
    XFree(hint.res_class);
    return found;
}

static void end_child(pid_t child)
{
    kill(child, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(child, NULL, WNOHANG) == child)
            return;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
}

int main(int argc, char **argv)
{
    static const char usage[] =
        "usage: mapwait [-n NAME | -c CLASS] [-t SECONDS] [-k] -- PROGRAM [ARGS...]\n";
    const char *name = "Pafuro";
    double timeout = 10;
    int keep = 0;
    int by_class = 0;
    int opt;
    while ((opt = getopt(argc, argv, "n:c:t:k")) != -1) {
        switch (opt) {
        case 'n': name = optarg; break;
        case 'c':
            name = optarg;
            by_class = 1;
            break;
        case 't': timeout = atof(optarg); break;
        case 'k': keep = 1; break;
        default: fputs(usage, stderr); return 2;
        }
    }
    if (optind >= argc) {
        fputs(usage, stderr);
        return 2;
    }

    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "mapwait: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(ignore_errors);
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = now_ms();
    pid_t child = fork();
    if (child < 0) {
        perror("mapwait: fork");
        return 2;
    }
    if (child == 0) {
        close(ConnectionNumber(display));
        // Only the figures go to standard output; the program's own output goes to stderr.
        dup2(2, 1);
        execvp(argv[optind], argv + optind);
        fprintf(stderr, "mapwait: %s: %s\n", argv[optind], strerror(errno));
        _exit(127);
    }

    struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root &&
                (by_class ? has_class(display, event.xmap.window, name)
                          : has_name(display, event.xmap.window, name))) {
                const double mapped = now_ms();
                printf("%.2f %d\n", mapped - start, int(child));
                fflush(stdout);
                if (!keep)
                    end_child(child);
                XCloseDisplay(display);
                return 0;
            }
        }
        if (waitpid(child, NULL, WNOHANG) == child) {
            fprintf(stderr, "mapwait: the program ended before its window was mapped\n");
            return 1;
        }
        const double left = timeout * 1e3 - (now_ms() - start);
        if (left <= 0) {
            fprintf(stderr, "mapwait: no window named %s within %g s\n", name, timeout);
            end_child(child);
            return 1;
        }
        poll(&fd, 1, left < 50 ? int(left) + 1 : 50);
    }
}
