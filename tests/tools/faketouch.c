/* faketouch [FILE]: a touch screen for KWin, through its fake input protocol, driven from FILE
 * (a pipe, say) or standard input, one line a command, each point in the compositor's global
 * coordinates:
 *   down ID X Y     a finger ID touches the screen at X, Y
 *   motion ID X Y   finger ID moves to X, Y
 *   up ID           finger ID leaves the screen
 *   frame           what came since the last frame is one moment; sent at once, and answered by
 *                   the compositor before the next line is read
 *   wait MS         nothing happens for MS milliseconds
 * Prints "ready" once the compositor took it on (KWin must run with
 * KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 to offer the protocol to any program). The device lives as
 * long as the program, so a window that starts later meets a touch screen already there. */
#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <stdio.h>
#include <string.h>
#include <time.h>

static struct org_kde_kwin_fake_input *fakeInput;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version)
{
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 2)
        fakeInput = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 2);
}

static void globalRemove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registryListener = {global, globalRemove};

int main(int argc, char **argv)
{
    FILE *commands = argc > 1 ? fopen(argv[1], "r") : stdin;
    if (!commands) {
        perror("faketouch");
        return 2;
    }
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "faketouch: cannot connect to the Wayland display\n");
        return 2;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        fprintf(stderr, "faketouch: the compositor offers no fake input (version 2) to this "
                        "program\n");
        return 2;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "faketouch", "touch screen for tests");
    if (wl_display_roundtrip(display) < 0) {
        fprintf(stderr, "faketouch: the compositor refused\n");
        return 2;
    }
    printf("ready\n");
    fflush(stdout);

    char line[128];
    while (fgets(line, sizeof line, commands)) {
        unsigned int id;
        double x, y;
        long ms;
        if (sscanf(line, "down %u %lf %lf", &id, &x, &y) == 3) {
            org_kde_kwin_fake_input_touch_down(fakeInput, id, wl_fixed_from_double(x),
                                               wl_fixed_from_double(y));
        } else if (sscanf(line, "motion %u %lf %lf", &id, &x, &y) == 3) {
            org_kde_kwin_fake_input_touch_motion(fakeInput, id, wl_fixed_from_double(x),
                                                 wl_fixed_from_double(y));
        } else if (sscanf(line, "up %u", &id) == 1) {
            org_kde_kwin_fake_input_touch_up(fakeInput, id);
        } else if (strcmp(line, "frame\n") == 0) {
            org_kde_kwin_fake_input_touch_frame(fakeInput);
            if (wl_display_roundtrip(display) < 0) {
                fprintf(stderr, "faketouch: the compositor went away\n");
                return 1;
            }
        } else if (sscanf(line, "wait %ld", &ms) == 1) {
            struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
            nanosleep(&pause, NULL);
        } else if (line[0] != '\n') {
            fprintf(stderr, "faketouch: not a command: %s", line);
            return 2;
        }
    }
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
