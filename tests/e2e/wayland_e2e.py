#!/usr/bin/env python3
"""Drives the real lumigrid under a Wayland compositor: weston, nested in Xvfb with its x11
backend, the program on Qt's wayland platform, the keyboard laid out for French.

The digit keys are the physical keys whatever the layout types on them: the "4", "8", "9" and "1"
keys (which type ' _ ç and & on that layout) draw patterns 4, 8, 9 and 1 exactly as
lumigrid-render does;
F11 covers the whole output, where the mouse cursor is hidden once it rests.

The first paint arms the one-second repaint timer, whose tick draws the saved pattern; a key
pressed before that tick would see its drawing repeated, and pattern 4 alternates its grids on
every drawing. The saved pattern is 9, black, so the black client area appears only with the tick:
the keys follow it.

usage: wayland_e2e.py LUMIGRID LUMIGRID_RENDER
"""
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import (Failure, Session, differing_pixels, equal_images, render_keys,  # noqa: E402
                     run, run_scenario, wait_for)

OUTPUT_W, OUTPUT_H = 1280, 800  # weston's output, a window of the X server
BACKGROUND = "0xff204060"  # the desktop's colour: nothing the program draws has it
SOCKET = "wayland-lumigrid"
QT_WAYLAND_PLUGIN = "/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so"
LAYOUT = "fr"
# The keys of the French layout by what they type: the physical digit keys of the main row.
KEY_4, KEY_8, KEY_9, KEY_1 = "apostrophe", "underscore", "ccedilla", "ampersand"

WESTON_INI = f"""[core]
idle-time=0
[shell]
background-color={BACKGROUND}
panel-position=none
locking=false
animation=none
close-animation=none
startup-animation=none
focus-animation=none
[input-method]
path=
"""


class WestonSession(Session):
    def start(self):
        # The X server only hosts weston's output; the keyboard layout is the X server's, and
        # weston takes it over from there.
        self.start_x_server(screen=(OUTPUT_W + 100, OUTPUT_H + 100))
        run(self.env, "setxkbmap", "-layout", LAYOUT)
        config = os.path.join(self.workdir, "weston.ini")
        with open(config, "w") as file:
            file.write(WESTON_INI)
        self.weston_log = open(os.path.join(self.workdir, "weston.log"), "w")
        weston = subprocess.Popen(
            ["weston", "--backend=x11-backend.so", "--use-pixman", f"--width={OUTPUT_W}",
             f"--height={OUTPUT_H}", f"--socket={SOCKET}", f"--config={config}"],
            env=self.env, stdout=self.weston_log, stderr=self.weston_log)
        self.processes.append(weston)

        def output_window():
            if weston.poll() is not None:
                raise Failure("weston ended early; see weston.log")
            found = run(self.env, "xdotool", "search", "--class", "^Weston Compositor$",
                        check=False).stdout.split()
            return found[0] if found else None

        self.output = wait_for("weston's output", output_window)
        wait_for("weston's socket",
                 lambda: os.path.exists(os.path.join(self.workdir, SOCKET)))
        self.weston_log.close()
        # Keys go to weston's window; the pointer rests on the desktop's top-left corner.
        run(self.env, "xdotool", "windowfocus", "--sync", self.output)
        self.point(2, 2)
        self.env["QT_QPA_PLATFORM"] = "wayland"
        self.env["WAYLAND_DISPLAY"] = SOCKET

    def point(self, x, y):
        run(self.env, "xdotool", "mousemove", "--window", self.output, str(x), str(y))

    def key(self, *keys):
        run(self.env, "xdotool", "key", "--delay", "50", *keys)

    def screenshot(self, path):
        run(self.env, "import", "-window", self.output, path)


def bounding_box(session, shot, colour):
    """The smallest rectangle holding every area of `colour` in the screenshot at least 5 pixels
    across (lines of text and the cursor's outline are thinner), as (x, y, width, height), or
    None."""
    # The mask is white exactly where the screenshot has the colour: every other pixel turns
    # transparent, and the opacity becomes the mask. (Painting the colour white over the
    # screenshot would count its white areas too, and the blank output before the desktop.)
    found = run(session.env, "convert", shot, "-alpha", "off", "+transparent", colour,
                "-alpha", "extract", "-morphology", "Erode", "Square:2",
                "-format", "%@", "info:", check=False).stdout.strip()
    # "WxH+X+Y" of what differs from the corner, which lies on the desktop; 2 pixels were eroded
    # from each side. A mask without any such area trims to nothing.
    if "+" not in found:
        return None
    size, x, y = found.split("+")
    w, h = (int(v) for v in size.split("x"))
    if w == 0 or h == 0 or w >= OUTPUT_W or h >= OUTPUT_H:
        return None
    return int(x) - 2, int(y) - 2, w + 4, h + 4


def shows_rendering(session, render, keys, area, name, settings):
    """Waits until the area of weston's output equals lumigrid-render's drawing of the keys;
    `settings`: the program's settings file, where both read the colour charts."""
    x, y, w, h = area
    expected = os.path.join(session.workdir, name + ".bmp")
    render_keys(session, render, keys, (w, h), expected, settings)
    shot = os.path.join(session.workdir, name + "-output.png")
    client = os.path.join(session.workdir, name + "-window.png")

    def equal():
        session.screenshot(shot)
        run(session.env, "convert", shot, "-crop", f"{w}x{h}+{x}+{y}", "+repage", client)
        return equal_images(session, client, expected)

    try:
        wait_for(f"the window to show keys {keys}", equal)
    except Failure:
        raise Failure(f"window differs from lumigrid-render --keys {keys} in "
                      f"{differing_pixels(session, client, expected)} pixels")


def wayland_scenario(session, executable, render):
    # The settings file beside the program: the repaint timer's first tick draws pattern 9.
    settings = os.path.join(session.workdir, "lumigrid.INI")
    with open(settings, "w") as file:
        file.write("[latest pattern]\nlatest pattern=9\n")
    program = subprocess.Popen([executable], cwd=session.workdir, env=session.env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    session.processes.append(program)
    shot = os.path.join(session.workdir, "output.png")

    # The window shows white until the timer's tick fills its client area black: that finds it
    # on the output, and no redraw is pending any more when the keys come.
    def black_client_area():
        if program.poll() is not None:
            raise Failure("lumigrid ended early: " + program.stdout.read())
        session.screenshot(shot)
        box = bounding_box(session, shot, "black")
        return box if box and box[2:] == (832, 533) else None

    try:
        area = wait_for("the chart window's black client area", black_client_area)
    except Failure:
        if program.poll() is not None:
            raise
        raise Failure(f"no 832x533 black client area after the repaint timer's tick: "
                      f"{bounding_box(session, shot, 'black')}")

    shown = "9"
    for key, pattern in ((KEY_4, "4"), (KEY_8, "8"), (KEY_9, "9"), (KEY_1, "1")):
        session.key(key)
        shown += "," + pattern
        shows_rendering(session, render, shown, area, "keys-" + shown.replace(",", ""), settings)

    # Full screen covers the output; the pattern comes back after the resize's white, and the
    # cursor, resting over the chart, is hidden.
    session.key("F11")
    session.point(3, 3)
    session.point(2, 2)
    shows_rendering(session, render, shown + ",0,1", (0, 0, OUTPUT_W, OUTPUT_H), "full-screen",
                    settings)


def main():
    return run_scenario("e2e under Wayland", "lumigrid-wayland-e2e-", wayland_scenario,
                        session_class=WestonSession,
                        tools=["Xvfb", "weston", "setxkbmap", "xdotool", "xdpyinfo", "import",
                               "compare", "convert"],
                        files=[QT_WAYLAND_PLUGIN])


if __name__ == "__main__":
    sys.exit(main())
