#!/usr/bin/env python3
"""Drives the real lumigrid under Xvfb and openbox with the keyboard alone.

From the start, without a single mouse event: the Menu key opens the chart window's menu, which
shows the adjust window active with the keyboard in it; a size typed into its drawing-area list
builds the page; the window manager's Alt+Tab goes back to the chart window, whose menu shows the
viewer, active as well; Ctrl+0 fits, Ctrl+1 shows the page pixel for pixel as lumigrid-render
draws it, plus and minus zoom, the arrows, Page Down, End and Home scroll, Ctrl+S saves the page
under a name typed into the dialog, and the file is lumigrid-render's page; Ctrl+W closes the
viewer and the adjust window; the About window, opened from the chart's menu, closes with Ctrl+W
and with Escape, while Escape leaves the chart window open; Alt+F4 closes the chart window.

usage: keyboard_e2e.py LUMIGRID LUMIGRID_RENDER [--scale N]
"""
import filecmp
import os
import sys
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_viewer_e2e import (check_owned, expect_one_to_one, find_window,  # noqa: E402
                             viewer_caption, xdotool)
from run_e2e import (CAPTION, Failure, Program, equal_images, run, run_scenario,  # noqa: E402
                     wait_for)

SIZE = "640x480"
FIRST_PAINT_S = 2  # the chart's first paint arms a one-second repaint; let it pass


def active_window(session):
    found = run(session.env, "xdotool", "getactivewindow", check=False).stdout.strip()
    return int(found) if found.isdigit() else None


def expect_active(session, window, what):
    try:
        wait_for(f"the {what} to be active", lambda: active_window(session) == int(window))
    except Failure:
        raise Failure(f"the {what} is not the active window ({active_window(session)})")


def keys(session, *names):
    xdotool(session, "key", "--delay", "100", *names)


def close_by_key(session, pattern, what, key):
    try:
        wait_for(f"{what} to close", lambda: find_window(session, pattern) is None)
    except Failure:
        raise Failure(f"{key} did not close {what}") from None


def keyboard_scenario(session, executable, render):
    program = Program(session, executable)
    time.sleep(FIRST_PAINT_S)

    # The Menu key opens the chart's menu; its first entry shows the adjust window, which takes
    # the keyboard.
    keys(session, "Menu")
    time.sleep(0.5)
    keys(session, "Down", "Return")
    adjust = wait_for("the adjust window", lambda: find_window(session, "^Form_menu$"))
    check_owned(session, adjust, program.window, "adjust window")
    expect_active(session, adjust, "adjust window")

    # Tab follows the layout, rows from the top: from the first control, the V scroll bar at
    # the top left, back past the V and VP edit boxes at the foot to the drawing-area list; the
    # size typed builds the page.
    keys(session, "shift+Tab", "shift+Tab", "shift+Tab", "ctrl+a")
    xdotool(session, "type", "--delay", "100", SIZE)

    # Alt+Tab goes back to the chart window; its menu's second entry shows the viewer.
    keys(session, "alt+Tab")
    expect_active(session, program.window, "chart window")
    keys(session, "Menu")
    time.sleep(0.5)
    keys(session, "Down", "Down", "Return")
    viewer = wait_for("the viewer", lambda: find_window(session, "^" + SIZE + "$"))
    check_owned(session, viewer, program.window, "viewer")
    expect_active(session, viewer, "viewer")
    if viewer_caption(session, viewer) != SIZE:
        raise Failure(f"typed {SIZE}; the viewer is captioned {viewer_caption(session, viewer)!r}")

    # Fitted, then 1:1: the page as lumigrid-render draws it, at the screen's resolution.
    shot = os.path.join(session.workdir, "view.png")
    keys(session, "ctrl+0")
    page = os.path.join(session.workdir, "page-expected.png")
    run(session.env, render, "--page", SIZE, "--ppi", str(session.device(96)), "-o", page)
    keys(session, "ctrl+1")
    page_size = tuple(int(v) for v in SIZE.split("x"))
    expect_one_to_one(session, viewer, page, session.device(*page_size), shot, "one-to-one")

    # Each key changes what the viewer shows.
    before = os.path.join(session.workdir, "before.png")
    after = os.path.join(session.workdir, "after.png")
    # Zoomed in, the view keeps its middle: the scroll positions are at their ends, and Home
    # goes back to the corner before the scrolling keys.
    for key in ("plus", "minus", "ctrl+equal", "KP_Add", "plus", "Home", "Down", "Right",
                "Page_Down", "End", "Home", "KP_Subtract"):
        run(session.env, "import", "-window", viewer, before)
        keys(session, key)

        def changed():
            run(session.env, "import", "-window", viewer, after)
            return not equal_images(session, before, after)

        try:
            wait_for(f"the view after {key}", changed)
        except Failure:
            raise Failure(f"{key} changed nothing in the viewer")

    # Ctrl+S saves the page under the name typed into the dialog.
    saved = os.path.join(session.workdir, "x.bmp")
    keys(session, "ctrl+s")
    dialog = wait_for("the save dialog", lambda: find_window(session, "^Save"))
    expect_active(session, dialog, "save dialog")
    keys(session, "ctrl+a")
    xdotool(session, "type", "--delay", "20", saved)
    keys(session, "Return")
    wait_for("the saved page", lambda: os.path.exists(saved) and
             not find_window(session, "^Save"))
    expected = os.path.join(session.workdir, "expected.bmp")
    run(session.env, render, "--page", SIZE, "--ppi", str(session.device(96)), "-o", expected)
    if not filecmp.cmp(saved, expected, shallow=False):
        raise Failure("the saved page differs from lumigrid-render --page " + SIZE)

    # Ctrl+W closes the viewer, then the adjust window.
    expect_active(session, viewer, "viewer")
    keys(session, "ctrl+w")
    close_by_key(session, "^" + SIZE + "$", "the viewer", "ctrl+w")
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    expect_active(session, adjust, "adjust window")
    keys(session, "ctrl+w")
    close_by_key(session, "^Form_menu$", "the adjust window", "ctrl+w")

    # The About window from the chart's menu closes with Ctrl+W, and again with Escape; the
    # chart window stays.
    for key in ("ctrl+w", "Escape"):
        run(session.env, "xdotool", "windowactivate", "--sync", program.window)
        keys(session, "Menu")
        time.sleep(0.5)
        keys(session, "Down", "Down", "Down", "Return")
        about = wait_for("the About window", lambda: find_window(session, "^About"))
        expect_active(session, about, "About window")
        keys(session, key)
        close_by_key(session, "^About", "the About window", key)
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    keys(session, "Escape")
    time.sleep(0.5)
    if program.process.poll() is not None or find_window(session, "^" + CAPTION) is None:
        raise Failure("Escape closed the chart window")

    # Alt+F4 closes the chart window and ends the program.
    status = program.close()
    if status != 0:
        raise Failure(f"lumigrid exited with {status}")


def main():
    return run_scenario("e2e keyboard only", "lumigrid-keyboard-e2e-", keyboard_scenario)


if __name__ == "__main__":
    sys.exit(main())
