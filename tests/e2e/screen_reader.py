#!/usr/bin/python3
"""What a screen reader sees of Kresovar, read through the AT-SPI bus.

    screen_reader.py view
        prints the program's window and its controls, a line each: role,
        name and, for the window, its description; for a control, whether
        it is enabled and has the focus
    screen_reader.py wait enabled|disabled SECONDS
        finds the controls, says "ready", and then waits until the five
        buttons are all so; when enabled, until the text area has the
        focus too

A program busy with the fold answers only from inside its event pumps: one
call after another would see one pump each, and the last ones the program
after the fold. So `wait` sends its calls for every control's state at once,
and one pump answers them all.
"""
import sys
import time

import pyatspi
from gi.repository import Atspi, Gio, GLib

STATE_ENABLED, STATE_FOCUSED = 8, 12


def window():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "kresovar":
            # Asked afresh each time: this reader runs no loop that would
            # take in the program's change events and keep a cache true.
            app.set_cache_mask(Atspi.Cache.NONE)
            return next(child for child in app if child is not None)
    raise SystemExit("no program named kresovar on the accessibility bus")


def controls(frame):
    """The text area and the buttons, whatever panes hold them."""
    found = []
    for child in frame:
        if child is None:
            continue
        if child.getRoleName() in ("text", "push button"):
            found.append(child)
        else:
            found += controls(child)
    return found


def line(role, name, enabled, focused):
    return f"{role} {name!r} {'enabled' if enabled else 'disabled'}{' focused' if focused else ''}"


def view():
    frame = window()
    print(f"{frame.getRoleName()} {frame.name!r}: {frame.description!r}")
    for control in controls(frame):
        state = control.getState()
        print(line(control.getRoleName(), control.name, state.contains(pyatspi.STATE_ENABLED),
                   state.contains(pyatspi.STATE_FOCUSED)))


def states_at_once(bus, program, controls):
    """Each control's (enabled, focused), asked for with all calls in flight at once."""
    loop = GLib.MainLoop()
    states = {}

    def answered(connection, result, path):
        bits = connection.call_finish(result).unpack()[0]
        states[path] = (bool(bits[0] >> STATE_ENABLED & 1), bool(bits[0] >> STATE_FOCUSED & 1))
        if len(states) == len(controls):
            loop.quit()

    for path in controls:
        bus.call(program, path, "org.a11y.atspi.Accessible", "GetState", None, GLib.VariantType("(au)"),
                 Gio.DBusCallFlags.NONE, 120000, None, answered, path)
    loop.run()
    return states


def wait(wanted, seconds):
    frame = window()
    found = {control.path: (control.getRoleName(), control.name) for control in controls(frame)}
    session = Gio.bus_get_sync(Gio.BusType.SESSION)
    address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, -1, None).unpack()[0]
    bus = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    enabled = wanted == "enabled"
    deadline = time.monotonic() + seconds
    print("ready", flush=True)
    while True:
        states = states_at_once(bus, frame.app.bus_name, found)
        buttons = [state for path, state in states.items() if found[path][0] == "push button"]
        text_focused = any(state[1] for path, state in states.items() if found[path][0] == "text")
        if len(buttons) == 5 and all(state[0] == enabled for state in buttons) and (text_focused or not enabled):
            return
        if time.monotonic() > deadline:
            raise SystemExit(f"not as expected within {seconds} s:\n"
                             + "\n".join(line(*found[path], *state) for path, state in states.items()))
        time.sleep(0.05)


if __name__ == "__main__":
    if sys.argv[1] == "view":
        view()
    else:
        wait(sys.argv[2], float(sys.argv[3]))
