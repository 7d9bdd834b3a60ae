#!/usr/bin/env python3
"""Drives the real lumigrid's printable page under Xvfb and openbox.

A row picked in the adjust window's drawing-area list builds the page; the chart window's menu
shows the viewer, captioned with the row; the wheel zooms it and puts the cursor in the middle of
the scroll box; the viewer's menu saves the page at full size, whatever the zoom, and the file
holds the same rings as lumigrid-render's page. At 1:1 the viewer shows one page pixel per
device pixel, equal to lumigrid-render's page, at any scale. The adjust window and the viewer are
owned by the chart window: in front of it, also in full screen, and without taskbar entries.

usage: page_viewer_e2e.py LUMIGRID LUMIGRID_RENDER [--scale N]
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import (Failure, Program, differing_pixels, equal_images, run,  # noqa: E402
                     run_scenario, wait_for)

ROW = "FHD 1920x1080"
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
    """The window manager knows `window` as owned by `owner` and keeps it off the taskbar."""
    transient = run(session.env, "xprop", "-id", window, "WM_TRANSIENT_FOR", check=False).stdout
    if "window id #" not in transient or int(transient.split("#")[1], 16) != int(owner):
        raise Failure(f"the {what} is not owned by the chart window: {transient.strip()}")
    state = run(session.env, "xprop", "-id", window, "_NET_WM_STATE", check=False).stdout
    if "_NET_WM_STATE_SKIP_TASKBAR" not in state:
        raise Failure(f"the {what} has a taskbar entry: {state.strip()}")


def stacked_above(session, window, below):
    """True when the window manager stacks `window` above `below`."""
    listed = root_property(session, "_NET_CLIENT_LIST_STACKING").split("#")[-1]
    order = [int(v, 16) for v in listed.replace(",", " ").split()]  # bottom to top
    return int(window) in order and int(below) in order and \
        order.index(int(window)) > order.index(int(below))


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
    run(session.env, render, "--page", ROW, "--ppi", str(96 * session.scale), "-o", page)
    shown_w, shown_h = device(*ONE_TO_ONE_SHOWN)
    crop = f"{shown_w}x{shown_h}+0+0"
    expected_view = os.path.join(session.workdir, "one-to-one-expected.png")
    run(session.env, "convert", page, "-crop", crop, "+repage", expected_view)
    inside_border = "{}x{}+{}+{}".format(shown_w, shown_h, *device(1, 1))
    xdotool(session, "mousemove", "--window", viewer, *map(str, device(300, 300)))
    xdotool(session, "click", "2")
    shot = os.path.join(session.workdir, "one-to-one-window.png")
    view = os.path.join(session.workdir, "one-to-one.png")

    def one_to_one():
        run(session.env, "import", "-window", viewer, shot)
        run(session.env, "convert", shot, "-crop", inside_border, "+repage", view)
        return equal_images(session, view, expected_view)

    try:
        wait_for("the page at 1:1", one_to_one)
    except Failure:
        raise Failure("the viewer at 1:1 differs from lumigrid-render's page in "
                      f"{differing_pixels(session, view, expected_view)} pixels")

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
        wait_for("the cursor", lambda: mouse_position(session) == centre)
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
    program.key("Escape")

    status = program.close()
    if status != 0:
        raise Failure(f"lumigrid exited with {status}")


def main():
    return run_scenario("e2e page viewer", "lumigrid-page-e2e-", page_viewer_scenario)


if __name__ == "__main__":
    sys.exit(main())
