/* Listens for the X bell: prints "listening" on standard error once it is ready, then a line
 * on standard output for every bell rung on the display ("bell", or "bell notice" for one rung
 * as a notification alone, which the server does not sound), and the count when it is ended. */
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/select.h>

static volatile sig_atomic_t ending = 0;

static void end(int signal)
{
    (void)signal;
    ending = 1;
}

int main(void)
{
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "bellcount: cannot open the display\n");
        return 2;
    }
    int xkbEvent, xkbError, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, NULL, &xkbEvent, &xkbError, &major, &minor)) {
        fprintf(stderr, "bellcount: the display has no keyboard extension\n");
        return 2;
    }
    XkbSelectEvents(display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XSync(display, False);

    struct sigaction action = {0};
    action.sa_handler = end;
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);
    fprintf(stderr, "listening\n");

    long count = 0;
    const int fd = ConnectionNumber(display);
    while (!ending) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == xkbEvent && ((XkbAnyEvent *)&event)->xkb_type == XkbBellNotify) {
                ++count;
                printf(((XkbBellNotifyEvent *)&event)->event_only ? "bell notice\n" : "bell\n");
                fflush(stdout);
            }
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        struct timeval wait = {0, 100000};
        select(fd + 1, &readable, NULL, NULL, &wait);
    }
    fprintf(stderr, "%ld bells\n", count);
    XCloseDisplay(display);
    return 0;
}
