#!/usr/bin/env python3
"""A monitor's true millimetres in the real program, under Xvfb and openbox with two RandR
monitors of different physical sizes side by side.

The ruler screen (key R) draws its 10 mm grid 10 mm apart by each monitor's size, within one
device pixel, in a window and in full screen; a calibration made with the arrow keys and Return
is stored under its monitor, comes back after a restart and leaves the other monitor alone;
Delete forgets it; a window capture saved as PDF is the monitor's size in points; the viewer's
Ctrl+2 shows an A4 page 297 mm wide on its monitor.

usage: true_size_e2e.py LUMIGRID LUMIGRID_RENDER [--scale N]
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_viewer_e2e import find_window, menu_item, pick_row  # noqa: E402
from run_e2e import (X_TOOLS, Failure, Program, Session, run, run_scenario,  # noqa: E402
                     wait_for)

GRID_GREY = bytes([192, 192, 192])
A4 = "A4 600 dpi 7016x4961"  # the adjust window's row 9
A4_ROW = 9
# Each monitor is 1280 x 800 logical pixels; their millimetres give different pitches, and an
# A4 page at its size is narrower (left) or wider (right) than the viewer fits it.
MONITORS = (("LEFT", 500, 312), ("RIGHT", 300, 188))


class TwoMonitors(Session):
    """One X screen two monitors wide, split into two RandR monitors of their own size."""

    def start(self):
        width, height = self.screen
        self.start_x_server((2 * width, height))
        # The left monitor takes the server's one output, so no monitor covers both.
        for index, (name, width_mm, height_mm) in enumerate(MONITORS):
            output = "screen" if index == 0 else "none"
            run(self.env, "xrandr", "--setmonitor", name,
                f"{width}/{width_mm}x{height}/{height_mm}+{index * width}+0", output)
        self.start_window_manager()

    def pitch(self, index):
        """Millimetres per device pixel of monitor `index`, as the window system states it."""
        return MONITORS[index][1] / self.screen[0]


def grid_columns(session, window, name):
    """The x of each grey grid line along the window's bottom row, in device pixels."""
    shot = os.path.join(session.workdir, name + ".png")
    run(session.env, "import", "-window", window, shot)
    width, height = (int(v) for v in run(session.env, "identify", "-format", "%w %h",
                                         shot).stdout.split())
    raw = subprocess.run(["convert", shot, "-crop", f"{width}x1+0+{height - 1}", "+repage",
                          "-depth", "8", "rgb:-"], env=session.env, capture_output=True).stdout
    return [x for x in range(width) if raw[3 * x:3 * x + 3] == GRID_GREY]


def expect_grid(session, program, pitch, name):
    """Waits until the ruler's grid lines lie 10 mm apart at `pitch` within a device pixel."""
    found = []

    def right():
        found[:] = grid_columns(session, program.window, name)
        if len(found) < 3:
            return False
        return all(abs(x - 10 * (i + 1) / pitch) <= 1 for i, x in enumerate(found))

    try:
        wait_for(f"the ruler at {pitch:.5f} mm per pixel", right)
    except Failure:
        raise Failure(f"{name}: grid columns {found[:6]}..., not every "
                      f"{10 / pitch:.2f} device pixels ({pitch:.5f} mm per pixel)")


def monitor_of(session, program):
    x = program.geometry()[0]
    return 0 if x < session.screen[0] else 1


def move_to(session, program, index):
    """Moves the chart window onto monitor `index` and waits for it to be there."""
    target = index * session.screen[0] + session.device(100)
    run(session.env, "xdotool", "windowmove", "--sync", program.window, str(target),
        str(session.device(100)))
    wait_for("the window on monitor " + MONITORS[index][0],
             lambda: monitor_of(session, program) == index)


def calibration(settings, monitor):
    """The calibration stored for `monitor` (its section name starts with it), or None."""
    if not os.path.exists(settings):
        return None
    text = open(settings, encoding="utf-8").read()
    found = re.search(r"\[monitor " + monitor + r" [^\]]*\]\s*mm per pixel=([^\r\n]*)", text)
    return float(found.group(1)) if found and found.group(1).strip() else None


def capture_pdf_points(session, program, name):
    """Saves a window capture as PDF through the double-click's dialog; its page size."""
    saved = os.path.join(session.workdir, name)
    run(session.env, "xdotool", "mousemove", "--window", program.window,
        *map(str, session.device(400, 260)))
    run(session.env, "xdotool", "click", "--repeat", "2", "--delay", "80", "1")
    dialog = wait_for("the save dialog", lambda: run(
        session.env, "xdotool", "search", "--onlyvisible", "--name", "^Save",
        check=False).stdout.split())
    run(session.env, "xdotool", "windowactivate", "--sync", dialog[0])
    run(session.env, "xdotool", "key", "ctrl+a")
    run(session.env, "xdotool", "type", "--delay", "20", saved)
    run(session.env, "xdotool", "key", "Return")
    wait_for("the saved capture", lambda: os.path.exists(saved) and not run(
        session.env, "xdotool", "search", "--onlyvisible", "--name", "^Save",
        check=False).stdout.split())
    info = run(session.env, "pdfinfo", saved).stdout
    found = re.search(r"Page size:\s+([\d.]+) x ([\d.]+) pts", info)
    if not found:
        raise Failure("pdfinfo gives no page size: " + info)
    return float(found.group(1)), float(found.group(2))


def dark_run(session, picture, x, y, width):
    """How many pixels of row `y` from column `x` on are dark: the page caption's black box."""
    row = subprocess.run(["convert", picture, "-crop", f"{width}x1+{x}+{y}", "+repage", "-depth",
                          "8", "gray:-"], env=session.env, capture_output=True).stdout
    count = 0
    while count < len(row) and row[count] < 128:
        count += 1
    return count


def expect_true_size_page(session, program, render):
    """Ctrl+2 in the viewer: the A4 page 297 mm wide at the viewer's monitor's pitch. The
    page's caption box, whose width on the page is known, is measured on the screen."""
    menu_item(session, program.window, session.device(400, 260), 1)
    adjust = wait_for("the adjust window", lambda: find_window(session, "^Form_menu$"))
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    pick_row(session, adjust, A4_ROW)
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    menu_item(session, program.window, session.device(400, 260), 2)
    viewer = wait_for("the viewer of " + A4, lambda: find_window(session, "^" + A4 + "$"))
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)
    run(session.env, "xdotool", "key", "ctrl+2")
    page = os.path.join(session.workdir, "a4.png")
    run(session.env, render, "--page", A4, "--ppi", str(session.device(96)), "-o", page)
    caption = dark_run(session, page, 0, 0, 4000)
    x = int(run(session.env, "xdotool", "getwindowgeometry", viewer).stdout
            .split("Position:")[1].split(",")[0])
    pitch = session.pitch(0 if x < session.screen[0] else 1)
    page_width = round(7016 / 600 * 25.4 / pitch)  # 297.01 mm in device pixels
    expected = caption * page_width / 7016
    shot = os.path.join(session.workdir, "true-size.png")
    found = []

    def shown():
        run(session.env, "import", "-window", viewer, shot)
        # Inside the scroll box's border, the page's first rows.
        border = session.device(1)
        found[:] = [dark_run(session, shot, border, border + y, 2000) for y in range(3)]
        # A dark pixel more or less where the view samples the box's edge.
        return abs(max(found) - expected) <= 3

    try:
        wait_for("the page at its size on paper", shown)
    except Failure:
        raise Failure(f"the page's caption box is {found} device pixels wide at true size, not "
                      f"{expected:.1f} (A4 {page_width} pixels wide at {pitch:.5f} mm a pixel)")
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)


def true_size_scenario(session, executable, render):
    settings = os.path.join(session.workdir, "lumigrid.INI")
    program = Program(session, executable)
    home = monitor_of(session, program)
    other = 1 - home

    # The ruler on each monitor at the window system's size.
    program.key("r")
    expect_grid(session, program, session.pitch(home), "ruler-home")
    # Full screen covers the monitor; the ruler is drawn again over it at the same pitch.
    program.key("F11")
    wait_for("full screen", lambda: program.geometry()[2:] == session.screen)
    expect_grid(session, program, session.pitch(home), "ruler-full-screen")
    program.key("Escape")
    wait_for("the window back", lambda: program.geometry()[2:] != session.screen)
    expect_true_size_page(session, program, render)
    program.key("r", "r")
    move_to(session, program, other)
    program.key("r", "r")  # leaves the ruler, and shows it again on this monitor
    expect_grid(session, program, session.pitch(other), "ruler-other")

    # A window capture as PDF: the client area at this monitor's pitch, in points.
    _, _, width, height = program.geometry()
    points = capture_pdf_points(session, program, "capture.pdf")
    expected = (width * session.pitch(other) / 25.4 * 72, height * session.pitch(other) / 25.4 * 72)
    if any(abs(got - want) > 0.5 for got, want in zip(points, expected)):
        raise Failure(f"capture is {points[0]} x {points[1]} pt, not "
                      f"{expected[0]:.2f} x {expected[1]:.2f} (the monitor's size)")

    # Ten fine steps larger and Return: the calibration is stored under this monitor only.
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    program.key(*["Right"] * 10, "Return")
    calibrated = session.pitch(other) * 1.001 ** 10
    name = MONITORS[other][0]
    wait_for("the stored calibration", lambda: calibration(settings, name) is not None)
    if abs(calibration(settings, name) - calibrated) > 1e-9:
        raise Failure(f"stored {calibration(settings, name)}, not {calibrated}")
    if calibration(settings, MONITORS[home][0]) is not None:
        raise Failure("the other monitor got a calibration too")
    expect_grid(session, program, calibrated, "calibrated")
    program.key("r")  # leaves the ruler
    if program.close() != 0:
        raise Failure("lumigrid ended with an error")

    # After a restart: the calibration on its monitor, the window system's size on the other.
    program = Program(session, executable)
    move_to(session, program, other)
    program.key("r")
    expect_grid(session, program, calibrated, "calibrated-after-restart")
    move_to(session, program, home)
    program.key("r", "r")
    expect_grid(session, program, session.pitch(home), "home-after-restart")

    # Delete forgets it: back to the window system's size.
    move_to(session, program, other)
    program.key("r", "r", "Delete")
    wait_for("the forgotten calibration", lambda: calibration(settings, name) is None)
    expect_grid(session, program, session.pitch(other), "forgotten")
    program.close()


def main():
    return run_scenario("true size", "lumigrid-true-size-", true_size_scenario,
                        session_class=TwoMonitors, tools=X_TOOLS + ["xrandr", "pdfinfo"])


if __name__ == "__main__":
    sys.exit(main())
