#!/usr/bin/env python3
"""Reads the real lumigrid's windows through at-spi, as a screen reader does, under Xvfb and
openbox.

The adjust window, the viewer with a page typed into the drawing-area list, and the About
window, all opened from the chart window's menu: each window is announced as a window (a frame,
or a dialog for the About window), never as a filler, the chart window with a description;
every control of theirs that can take the focus, every button and every scroll bar has a name;
the adjust window's parameters are called H, V, HP, VP, Space, Pitch and Pitch2, and the page by
its drawing area; Tab takes the focus from one About button to the other and back.

usage: accessibility_e2e.py LUMIGRID LUMIGRID_RENDER
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from accessibility import TOOLS as ACCESSIBILITY_TOOLS  # noqa: E402
from accessibility import accessible_tree, start_accessibility  # noqa: E402
from page_viewer_e2e import find_window, xdotool  # noqa: E402
from run_e2e import X_TOOLS, Failure, Program, Session, run, run_scenario, wait_for  # noqa: E402

SIZE = "640x480"
FIRST_PAINT_S = 2  # the chart's first paint arms a one-second repaint; let it pass
LIST_EDIT = (700, 189)  # the edit part of the adjust window's drawing-area list
ADJUST = "Form_menu"
PARAMETERS = ["H", "V", "HP", "VP", "Space", "Pitch", "Pitch2"]
MOUSE_ROLES = ("push button", "toggle button", "scroll bar")  # announced, focus or not
WINDOW_ROLES = ("frame", "dialog", "window")
CHART_CAPTION = "Duzov Urorezo"


class AccessibilitySession(Session):
    """The X session with the screen reader's view."""

    def start(self):
        super().start()
        start_accessibility(self)


def top_windows(tree):
    """The entries of the top-level windows themselves."""
    return [entry for entry in tree if entry["depth"] == 1]


def windows_of(tree):
    """The entries of each top-level window, by its name."""
    windows = {}
    current = None
    for entry in tree:
        if entry["depth"] == 1:
            current = windows.setdefault(entry["name"], [])
        elif current is not None and entry["depth"] > 1:
            current.append(entry)
    return windows


def control_names(entries):
    return [entry["name"] for entry in entries if entry["showing"] and entry["focusable"]]


def offenders(window, entries):
    """The showing controls of a window a screen reader would announce without a name."""
    return [f"{window}: {entry['role']} (depth {entry['depth']}, "
            f"description {entry['description']!r})"
            for entry in entries
            if entry["showing"] and (entry["focusable"] or entry["role"] in MOUSE_ROLES)
            and not entry["name"].strip()]


def read_windows(session, names):
    """The accessible tree once every window of `names` has published its controls."""
    def ready():
        windows = windows_of(accessible_tree(session))
        if all(control_names(windows.get(name, [])) or name.startswith("About")
               for name in names):
            return windows
        return None
    try:
        return wait_for("the windows' controls through at-spi", ready)
    except Failure:
        raise Failure("at-spi shows the windows " +
                      repr(sorted(windows_of(accessible_tree(session)))) + ", not all of " +
                      repr(names)) from None


def chart_menu(session, program, entry):
    """Picks an entry (1 is the first) of the chart window's menu from the keyboard: the owned
    windows stay above the chart window and may cover any point of it."""
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    xdotool(session, "key", "Menu")
    time.sleep(0.5)
    xdotool(session, "key", "--delay", "100", *["Down"] * entry, "Return")


def accessibility_scenario(session, executable, render):
    del render  # the screen reader's view needs no drawing to compare with
    program = Program(session, executable)
    time.sleep(FIRST_PAINT_S)
    device = session.device

    # The adjust window; the size typed into its drawing-area list builds the page.
    chart_menu(session, program, 1)
    adjust = wait_for("the adjust window", lambda: find_window(session, "^" + ADJUST + "$"))
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    xdotool(session, "mousemove", "--window", adjust, *map(str, device(*LIST_EDIT)))
    xdotool(session, "click", "1")
    xdotool(session, "key", "ctrl+a")
    xdotool(session, "type", "--delay", "100", SIZE)

    # The viewer, zoomed in two steps so that both its scroll bars show, then the About window,
    # from the chart window's menu.
    chart_menu(session, program, 2)
    viewer = wait_for("the viewer", lambda: find_window(session, "^" + SIZE + "$"))
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)
    xdotool(session, "key", "--delay", "100", "plus", "plus")
    chart_menu(session, program, 3)
    about = wait_for("the About window", lambda: find_window(session, "^About"))
    about_name = run(session.env, "xdotool", "getwindowname", about).stdout.rstrip("\n")

    windows = read_windows(session, [ADJUST, SIZE, about_name])
    unnamed = []
    for name in (ADJUST, SIZE, about_name):
        unnamed += offenders(name, windows[name])
    if unnamed:
        raise Failure("controls without a name:\n  " + "\n  ".join(unnamed))
    adjust_names = control_names(windows[ADJUST])
    missing = [name for name in PARAMETERS + ["Drawing area"] if name not in adjust_names]
    if missing:
        raise Failure(f"the adjust window has no control called {missing}: {adjust_names}")
    page = "Printable page " + SIZE
    if not any(entry["name"] == page for entry in windows[SIZE]):
        raise Failure(f"the viewer has nothing called {page!r}: "
                      f"{[entry['name'] for entry in windows[SIZE]]}")
    bars = [entry for entry in windows[SIZE] if entry["role"] == "scroll bar" and entry["showing"]]
    if len(bars) != 2:
        raise Failure(f"the zoomed viewer shows {len(bars)} scroll bars, not 2")

    # Every window is a window to the screen reader; the chart window says what it is for.
    tops = top_windows(accessible_tree(session))
    fillers = [f"{entry['name']!r} ({entry['role']})" for entry in tops
               if entry["role"] not in WINDOW_ROLES]
    if fillers:
        raise Failure("windows announced without a window role: " + ", ".join(fillers))
    charts = [entry for entry in tops if entry["name"].startswith(CHART_CAPTION)]
    if len(charts) != 1 or not charts[0]["description"].strip():
        raise Failure(f"the chart window has no description: {charts}")

    # Tab takes the focus from one About button to the other and back.
    run(session.env, "xdotool", "windowactivate", "--sync", about)
    buttons = [entry["name"] for entry in windows[about_name]
               if entry["role"] in MOUSE_ROLES and entry["showing"] and entry["focusable"]]
    if len(buttons) != 2:
        raise Failure(f"the About window has {len(buttons)} buttons that take the focus: "
                      f"{buttons}")
    focused = []
    for _ in range(3):
        def focused_button():
            entries = windows_of(accessible_tree(session)).get(about_name, [])
            return next((entry["name"] for entry in entries
                         if entry["focused"] and entry["role"] in MOUSE_ROLES), None)
        try:
            focused.append(wait_for("a focused About button", focused_button))
        except Failure:
            raise Failure(f"no About button has the focus after {len(focused)} Tabs") from None
        xdotool(session, "key", "Tab")
    if focused[0] == focused[1] or focused[0] != focused[2] or set(focused) != set(buttons):
        raise Failure(f"Tab gave the focus to {focused} in turn, not to each of {buttons}")

    # The About window, the viewer and the adjust window close; then the program ends.
    for window, pattern in ((about, "^About"), (viewer, "^" + SIZE + "$"),
                            (adjust, "^" + ADJUST + "$")):
        run(session.env, "xdotool", "windowactivate", "--sync", window)
        xdotool(session, "key", "alt+F4")
        wait_for(f"{pattern} to close", lambda p=pattern: find_window(session, p) is None)
    status = program.close()
    if status != 0:
        raise Failure(f"lumigrid exited with {status}")


def main():
    return run_scenario("e2e accessibility", "lumigrid-accessibility-e2e-",
                        accessibility_scenario, session_class=AccessibilitySession,
                        tools=X_TOOLS + ACCESSIBILITY_TOOLS)


if __name__ == "__main__":
    sys.exit(main())
