/* audiblebell on|off: switches the X server's own bell on or off, as a desktop does when it
 * takes the bell over (the keyboard extension's AudibleBell control).
 * audiblebell: prints whether it is on or off. */
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc > 2 || (argc == 2 && strcmp(argv[1], "on") && strcmp(argv[1], "off"))) {
        fprintf(stderr, "usage: audiblebell [on|off]\n");
        return 2;
    }
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "audiblebell: cannot open the display\n");
        return 2;
    }
    int opcode, xkbEvent, xkbError, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &xkbEvent, &xkbError, &major, &minor)) {
        fprintf(stderr, "audiblebell: the display has no keyboard extension\n");
        return 2;
    }
    const unsigned int on = argc == 2 && strcmp(argv[1], "on") == 0 ? XkbAudibleBellMask : 0;
    if (argc == 2)
        XkbChangeEnabledControls(display, XkbUseCoreKbd, XkbAudibleBellMask, on);
    unsigned int enabled = 0;
    XkbDescPtr keyboard = XkbGetMap(display, 0, XkbUseCoreKbd);
    if (keyboard && XkbGetControls(display, XkbControlsEnabledMask, keyboard) == Success)
        enabled = keyboard->ctrls->enabled_ctrls;
    if (keyboard)
        XkbFreeKeyboard(keyboard, 0, True);
    XCloseDisplay(display);
    if (argc == 1) {
        puts(enabled & XkbAudibleBellMask ? "on" : "off");
        return 0;
    }
    if ((enabled & XkbAudibleBellMask) != on) {
        fprintf(stderr, "audiblebell: the server kept its bell %s\n", on ? "off" : "on");
        return 1;
    }
    return 0;
}
