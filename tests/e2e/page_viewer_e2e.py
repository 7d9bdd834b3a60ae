#!/usr/bin/env python3
"""Drives the real lumigrid's printable page under Xvfb and openbox.

A row picked in the adjust window's drawing-area list builds the page; the chart window's menu
shows the viewer, captioned with the row; the wheel zooms it and puts the cursor in the middle of
the scroll box; the viewer's menu saves the page at full size, whatever the zoom, and the file
holds the same rings as lumigrid-render's page. At 1:1 the viewer shows one page pixel per
device pixel, equal to lumigrid-render's page, at any scale. The adjust window and the viewer are
owned by the chart window: in front of it, also in full screen, yet reachable by the window
manager's switching (Alt+Tab).
Keys typed into the list while a long page builds all count, in order; the list's empty row
gives the viewer an empty caption.

usage: page_viewer_e2e.py LUMIGRID LUMIGRID_RENDER [--scale N]
"""
import math
import os
import sys
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import (Failure, Program, differing_pixels, equal_images, run,  # noqa: E402
                     run_scenario, wait_for)

ROW = "FHD 1920x1080"
ROWS = 20  # the drawing-area list's rows, the last one empty
LONG_BUILD_ROW = 12  # "A1 600 dpi  19866x14031", 279 million pixels
TYPED_AHEAD = "640x480"
TYPED_AHEAD_KEYS = ["6", "4", "0", "x", "4", "8", "0"]
PAGE_SIZE = "1920x1080"
# The caption is drawn at the screen's resolution; the rings below it do not depend on it.
RINGS = "1920x900+0+180"
SCROLL_BOX_CENTRE = (491, 306)  # of the viewer's 983 x 612 client area
ONE_TO_ONE_SHOWN = (900, 550)  # of the page at 1:1, inside the viewer's scroll bars


def xdotool(session, *args):
    return run(session.env, "xdotool", *args).stdout


def find_window(session, name):
    found = run(session.env, "xdotool", "search", "--onlyvisible", "--name", name,
                check=False).stdout.split()
    return found[0] if found else None


def mouse_position(session):
    fields = dict(item.split(":") for item in xdotool(session, "getmouselocation").split())
    return int(fields["x"]), int(fields["y"])


def root_property(session, name):
    return run(session.env, "xprop", "-root", name).stdout


def check_owned(session, window, owner, what):
    """The window manager knows `window` as owned by `owner`, and its switching reaches it."""
    transient = run(session.env, "xprop", "-id", window, "WM_TRANSIENT_FOR", check=False).stdout
    if "window id #" not in transient or int(transient.split("#")[1], 16) != int(owner):
        raise Failure(f"the {what} is not owned by the chart window: {transient.strip()}")
    state = run(session.env, "xprop", "-id", window, "_NET_WM_STATE", check=False).stdout
    if "_NET_WM_STATE_SKIP_TASKBAR" in state:
        raise Failure(f"the {what} is left out of the window switching: {state.strip()}")


def stacked_above(session, window, below):
    """True when the window manager stacks `window` above `below`."""
    listed = root_property(session, "_NET_CLIENT_LIST_STACKING").split("#")[-1]
    order = [int(v, 16) for v in listed.replace(",", " ").split()]  # bottom to top
    return int(window) in order and int(below) in order and \
        order.index(int(window)) > order.index(int(below))


def viewer_caption(session, viewer):
    return run(session.env, "xdotool", "getwindowname", viewer).stdout.rstrip("\n")


def pick_row(session, adjust, row):
    """Opens the adjust window's drawing-area list and picks a row (0 is its first)."""
    xdotool(session, "mousemove", "--window", adjust, *map(str, session.device(845, 189)))
    xdotool(session, "click", "1")
    time.sleep(0.5)
    # The list opens on the row it shows, or on its first row.
    xdotool(session, "key", "--delay", "50", "Home", *["Down"] * row, "Return")


def expect_one_to_one(session, viewer, page, size, shot, name):
    """Waits until the viewer shows the top-left `size` device pixels of the page file (or all
    of a smaller page) pixel for pixel, from the scroll box's inner corner; `shot` keeps the last
    screenshot."""
    page_size = run(session.env, "identify", "-format", "%w %h", page).stdout.split()
    size = tuple(min(shown, int(whole)) for shown, whole in zip(size, page_size))
    expected = os.path.join(session.workdir, name + "-expected.png")
    run(session.env, "convert", page, "-crop", "{}x{}+0+0".format(*size), "+repage", expected)
    # The border is one logical pixel: at a fractional scale it ends inside a device pixel, and
    # the page starts on the one before or after.
    corners = sorted({math.floor(session.scale), math.ceil(session.scale)})
    views = [os.path.join(session.workdir, f"{name}-at-{corner}.png") for corner in corners]

    def shown():
        run(session.env, "import", "-window", viewer, shot)
        for corner, view in zip(corners, views):
            run(session.env, "convert", shot, "-crop",
                "{}x{}+{}+{}".format(*size, corner, corner), "+repage", view)
            if equal_images(session, view, expected):
                return True
        return False

    try:
        wait_for(f"the page {name} at 1:1", shown)
    except Failure:
        raise Failure(f"the viewer at 1:1 ({name}) differs from lumigrid-render's page in "
                      + " or ".join(differing_pixels(session, view, expected) for view in views)
                      + " pixels")


def menu_item(session, window, at, downs):
    """Opens a window's context menu at a point of it and picks the item `downs` rows down."""
    xdotool(session, "mousemove", "--window", window, str(at[0]), str(at[1]))
    xdotool(session, "click", "3")
    time.sleep(0.5)
    keys = ["Down"] * downs + ["Return"]
    xdotool(session, "key", "--delay", "100", *keys)


def page_viewer_scenario(session, executable, render):
    program = Program(session, executable)

    # Adjust window from the chart window's menu, then a row of its drawing-area list.
    device = session.device
    menu_item(session, program.window, device(400, 260), 1)
    adjust = wait_for("the adjust window", lambda: find_window(session, "^Form_menu$"))
    check_owned(session, adjust, program.window, "adjust window")
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    xdotool(session, "mousemove", "--window", adjust, *map(str, device(845, 189)))  # the arrow
    xdotool(session, "click", "1")
    time.sleep(0.5)
    # The list opens on its first row, qHD; FHD is two rows further down.
    xdotool(session, "key", "--delay", "100", "Down", "Down", "Return")

    # The viewer from the chart window's menu, captioned with the row.
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    menu_item(session, program.window, device(400, 260), 2)
    viewer = wait_for("the viewer captioned " + ROW,
                      lambda: find_window(session, "^" + ROW + "$"))
    check_owned(session, viewer, program.window, "viewer")
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)

    # The middle button shows the page 1:1 from its top-left corner, inside the scroll box's
    # one-pixel border: one page pixel per device pixel, the caption drawn at the screen's
    # resolution.
    page = os.path.join(session.workdir, "page-expected.png")
    run(session.env, render, "--page", ROW, "--ppi", str(session.device(96)), "-o", page)
    xdotool(session, "mousemove", "--window", viewer, *map(str, device(300, 300)))
    xdotool(session, "click", "2")
    shot = os.path.join(session.workdir, "one-to-one-window.png")
    expect_one_to_one(session, viewer, page, device(*ONE_TO_ONE_SHOWN), shot, "one-to-one")

    # Fitted again from the image's menu.
    menu_item(session, viewer, device(*SCROLL_BOX_CENTRE), 2)
    fitted = os.path.join(session.workdir, "fitted.png")
    wait_for("the fitted page", lambda: run(session.env, "import", "-window", viewer, fitted)
             and not equal_images(session, fitted, shot))

    # One wheel notch towards the operator away from the middle: the page grows and the
    # cursor goes back to the scroll box's centre.
    xdotool(session, "mousemove", "--window", viewer, *map(str, device(*SCROLL_BOX_CENTRE)))
    centre = mouse_position(session)
    xdotool(session, "mousemove", "--window", viewer, *map(str, device(700, 450)))
    xdotool(session, "click", "5")
    try:
        # The program places the cursor in logical pixels: at a fractional scale the device
        # pixel may be the next one.
        wait_for("the cursor", lambda: all(abs(now - wanted) < session.scale for now, wanted
                                           in zip(mouse_position(session), centre)))
    except Failure:
        raise Failure(f"cursor at {mouse_position(session)}, not in the scroll box's centre "
                      f"{centre}")
    zoomed = os.path.join(session.workdir, "zoomed.png")

    def view_changed():
        run(session.env, "import", "-window", viewer, zoomed)
        result = run(session.env, "compare", "-metric", "AE", fitted, zoomed, os.devnull,
                     check=False)
        return result.returncode == 1  # the images differ

    wait_for("the zoomed view", view_changed)

    # Save from the image's menu; the dialog offers the page's default name.
    saved = os.path.join(session.workdir, "page.png")
    menu_item(session, viewer, device(*SCROLL_BOX_CENTRE), 1)
    dialog = wait_for("the save dialog", lambda: find_window(session, "^Save"))
    run(session.env, "xdotool", "windowactivate", "--sync", dialog)
    xdotool(session, "key", "ctrl+a")
    xdotool(session, "type", "--delay", "20", saved)
    xdotool(session, "key", "Return")
    wait_for("the saved page", lambda: os.path.exists(saved))

    size = run(session.env, "identify", "-format", "%wx%h", saved).stdout.strip()
    if size != PAGE_SIZE:
        raise Failure(f"saved page is {size}, not {PAGE_SIZE}")
    corner = run(session.env, "identify", "-format", "%[pixel:p{2,2}]", saved).stdout
    if corner.strip() not in ("black", "srgb(0,0,0)", "gray(0)"):
        raise Failure("the caption bar's corner is " + corner)
    expected = os.path.join(session.workdir, "expected.png")
    run(session.env, render, "--page", ROW, "-o", expected)
    compared = run(session.env, "compare", "-metric", "AE", f"{saved}[{RINGS}]",
                   f"{expected}[{RINGS}]", os.devnull, check=False)
    if compared.returncode != 0:
        raise Failure("saved rings differ from lumigrid-render's in "
                      + compared.stderr.strip() + " pixels")

    # In full screen too, the owned windows stay in front of the chart.
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    program.key("F11")
    screen_w, screen_h = session.screen
    wait_for("full screen", lambda: program.geometry() == (0, 0, screen_w, screen_h))
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    for window, what in ((adjust, "adjust window"), (viewer, "viewer")):
        try:
            wait_for(f"the {what} in front", lambda: stacked_above(session, window,
                                                                   program.window))
        except Failure:
            raise Failure(f"the {what} is behind the full-screen chart window")
        check_owned(session, window, program.window, what)
    program.key("Escape")

    # Keys typed while a long page builds wait for it and reach the list in order: the page
    # and the caption are what was typed, whatever box the build shows meanwhile.
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    pick_row(session, adjust, LONG_BUILD_ROW)
    # Slow enough that the typing goes on past the end of the build.
    xdotool(session, "key", "--delay", "500", "ctrl+a", *TYPED_AHEAD_KEYS)
    try:
        wait_for("the viewer captioned " + TYPED_AHEAD,
                 lambda: viewer_caption(session, viewer) == TYPED_AHEAD)
    except Failure:
        raise Failure(f"typed {TYPED_AHEAD} during a build; the viewer is captioned "
                      f"{viewer_caption(session, viewer)!r}")
    # The whole page fits in the viewer at 1:1.
    typed_page = os.path.join(session.workdir, "typed-expected.png")
    run(session.env, render, "--page", TYPED_AHEAD, "--ppi", str(session.device(96)), "-o",
        typed_page)
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)
    xdotool(session, "mousemove", "--window", viewer, *map(str, device(100, 100)))
    xdotool(session, "click", "2")
    page_size = tuple(int(v) for v in TYPED_AHEAD.split("x"))
    expect_one_to_one(session, viewer, typed_page, page_size, shot, "typed")

    # The list's empty last row builds a page whose viewer has an empty caption.
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    pick_row(session, adjust, ROWS - 1)
    try:
        wait_for("the viewer's empty caption", lambda: viewer_caption(session, viewer) == "")
    except Failure:
        raise Failure("the empty row captions the viewer "
                      f"{viewer_caption(session, viewer)!r}")

    status = program.close()
    if status != 0:
        raise Failure(f"lumigrid exited with {status}")


def main():
    return run_scenario("e2e page viewer", "lumigrid-page-e2e-", page_viewer_scenario)


if __name__ == "__main__":
    sys.exit(main())
