#!/usr/bin/env python3
"""Drives the real lumigrid under Xvfb and openbox: in full screen the cursor hides once it
rests over the chart, whatever the windows went through before.

Each case starts the program, does its steps, then activates the chart window, moves the mouse
into it, presses F11, moves the mouse to the screen's centre and leaves it there: the X server
must stop drawing the cursor. The cases: right after the start; after pattern keys, a page
built from a size typed into the adjust window, the viewer shown at 1:1 with the mouse over it,
and both windows closed by the window manager's Alt+F4. Whether a cursor is drawn is read from
the XFixes extension (libXfixes through ctypes): the current cursor image has an opaque pixel.

usage: full_screen_cursor_e2e.py LUMIGRID LUMIGRID_RENDER [--scale N]
"""
import ctypes
import os
import sys
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_viewer_e2e import find_window, menu_item, xdotool  # noqa: E402
from run_e2e import Failure, Program, run, run_scenario, wait_for  # noqa: E402

ROW = "FHD 1920x1080"
FIRST_PAINT_S = 2  # the chart's first paint arms a one-second repaint; let it pass


class CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


class CursorWatch:
    """Asks the X server, through XFixes, whether it draws a visible cursor."""

    def __init__(self, session):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xfixes = ctypes.CDLL("libXfixes.so.3")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x11.XFree.argtypes = [ctypes.c_void_p]
        self.xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
        self.xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
        self.display = self.x11.XOpenDisplay(session.display.encode())
        if not self.display:
            raise Failure("cannot open the display " + session.display)

    def drawn(self):
        found = self.xfixes.XFixesGetCursorImage(self.display)
        if not found:
            raise Failure("the X server gave no cursor image")
        image = found.contents
        opaque = any(image.pixels[i] >> 24 for i in range(image.width * image.height))
        self.x11.XFree(found)
        return opaque

    def close(self):
        self.x11.XCloseDisplay(self.display)


def keys(session, *names):
    xdotool(session, "key", "--delay", "100", *names)


def after_start(session, program):
    pass


def after_owned_windows_closed(session, program):
    keys(session, "4", "8", "2")
    device = session.device
    # The adjust window from the chart's menu; the size typed into its drawing-area list.
    menu_item(session, program.window, device(400, 260), 1)
    adjust = wait_for("the adjust window", lambda: find_window(session, "^Form_menu$"))
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    keys(session, "shift+Tab", "shift+Tab", "shift+Tab", "ctrl+a")
    xdotool(session, "type", "--delay", "100", ROW)
    # The viewer from the chart's menu, at 1:1 with the mouse over the page.
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    menu_item(session, program.window, device(400, 260), 2)
    viewer = wait_for("the viewer", lambda: find_window(session, "^" + ROW + "$"))
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)
    xdotool(session, "mousemove", "--window", viewer, *map(str, device(300, 200)))
    keys(session, "ctrl+1")
    time.sleep(0.5)
    keys(session, "alt+F4")
    wait_for("the viewer to close", lambda: find_window(session, "^" + ROW + "$") is None)
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    xdotool(session, "mousemove", "--window", adjust, *map(str, device(100, 100)))
    keys(session, "alt+F4")
    wait_for("the adjust window to close", lambda: find_window(session, "^Form_menu$") is None)


CASES = [
    ("right after the start", after_start),
    ("after the adjust window and the viewer were closed", after_owned_windows_closed),
]


def cursor_scenario(session, executable, render):
    watch = CursorWatch(session)
    screen_w, screen_h = session.screen
    try:
        for name, steps in CASES:
            program = Program(session, executable)
            time.sleep(FIRST_PAINT_S)
            steps(session, program)
            run(session.env, "xdotool", "windowactivate", "--sync", program.window)
            x, y, w, h = program.geometry()
            xdotool(session, "mousemove", str(x + w // 2), str(y + h // 2))
            if not wait_for("the cursor over the chart window", watch.drawn):
                raise Failure(f"{name}: no cursor drawn outside full screen")
            keys(session, "F11")
            wait_for("full screen", lambda: program.geometry() == (0, 0, screen_w, screen_h))
            xdotool(session, "mousemove", str(screen_w // 2), str(screen_h // 2))
            try:
                wait_for("the resting cursor to hide", lambda: not watch.drawn())
            except Failure:
                raise Failure(f"{name}: the cursor resting over the full-screen chart is "
                              "still drawn")
            status = program.close()
            if status != 0:
                raise Failure(f"{name}: lumigrid exited with {status}")
    finally:
        watch.close()


def main():
    return run_scenario("e2e full-screen cursor", "lumigrid-cursor-e2e-", cursor_scenario)


if __name__ == "__main__":
    sys.exit(main())
