#!/usr/bin/python3
"""What a screen reader learns of the program over AT-SPI.

atspi.py tree APP      prints the accessible tree of the application APP: one line per object,
                       indented by depth: role 'name', and "checked" where it is checked.
atspi.py listen APP N  prints "READY", then each object of APP that reports coming into view
                       (object:state-changed:showing) as role 'name', until N have come or ten
                       seconds have passed.
atspi.py size APP      prints the size of APP's window as WIDTHxHEIGHT.
"""
import sys

import gi

gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, GLib  # noqa: E402


def find_app(name):
    for _ in range(100):
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == name and app.get_child_count() > 0:
                return app
        GLib.usleep(50000)
    sys.exit(f'no accessible application named {name}')


# AT-SPI 2.56 names the push button role "button"; the role is the same.
ROLE_WORDS = {Atspi.Role.PUSH_BUTTON: 'push button'}


def describe(obj):
    role = ROLE_WORDS.get(obj.get_role(), obj.get_role_name())
    return f"{role} '{obj.get_name()}'"


def tree(obj, depth=0):
    checked = obj.get_state_set().contains(Atspi.StateType.CHECKED)
    print('  ' * depth + describe(obj) + (' checked' if checked else ''))
    for i in range(obj.get_child_count()):
        tree(obj.get_child_at_index(i), depth + 1)


def listen(app_name, count):
    seen = []
    loop = GLib.MainLoop()

    def on_showing(event):
        if event.detail1 != 1 or event.source.get_application().get_name() != app_name:
            return
        print(describe(event.source), flush=True)
        seen.append(event)
        if len(seen) >= count:
            loop.quit()

    listener = Atspi.EventListener.new(on_showing)
    listener.register('object:state-changed:showing')
    print('READY', flush=True)
    GLib.timeout_add_seconds(10, loop.quit)
    loop.run()
    listener.deregister('object:state-changed:showing')


def find_button(obj, name):
    if obj.get_role() == Atspi.Role.PUSH_BUTTON and obj.get_name() == name:
        return obj
    for i in range(obj.get_child_count()):
        found = find_button(obj.get_child_at_index(i), name)
        if found is not None:
            return found
    return None


if __name__ == '__main__':
    mode, app_name = sys.argv[1], sys.argv[2]
    app = find_app(app_name)
    if mode == 'press':
        button = find_button(app, sys.argv[3])
        if button is None:
            sys.exit(f'no push button named {sys.argv[3]}')
        button.do_action(0)
    elif mode == 'size':
        extents = app.get_child_at_index(0).get_extents(Atspi.CoordType.WINDOW)
        print(f'{extents.width}x{extents.height}')
    elif mode == 'tree':
        for child in range(app.get_child_count()):
            tree(app.get_child_at_index(child))
    else:
        listen(app_name, int(sys.argv[3]))
