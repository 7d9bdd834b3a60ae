#!/usr/bin/env python3
"""Drives the real lumigrid under Xvfb and openbox.

Keys pick patterns and the window shows exactly what lumigrid-render draws for the same keys at
the same size; F11 covers the screen and Escape brings the window back; closing writes the
settings file beside the executable; the next start shows the same pattern again.

usage: run_e2e.py LUMIGRID LUMIGRID_RENDER [--scale N]

--scale runs the program with QT_SCALE_FACTOR=N: window sizes and drawings are then N times as
many device pixels, and the window must still equal lumigrid-render's drawing pixel for pixel.
N may be fractional (1.5) where a scenario allows for device pixels between logical ones.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1280, 800  # at scale 1; the screen grows with the scale
CAPTION = "Duzov Urorezo"
WAIT_LIMIT_S = 20  # how long a condition may take to come true before the test gives up


class Failure(Exception):
    pass


X_TOOLS = ["Xvfb", "openbox", "xdotool", "xdpyinfo", "xprop", "import", "compare", "convert"]


def need_tools(tools=X_TOOLS, files=()):
    missing = [tool for tool in tools if shutil.which(tool) is None]
    missing += [path for path in files if not os.path.exists(path)]
    if missing:
        banner = "*" * 72
        print(f"{banner}\nSKIPPED, NOT RUN: missing {', '.join(missing)}\n"
              f"(scripts/install-deps.sh installs them)\n{banner}")
        sys.exit(77)


def wait_for(what, condition):
    deadline = time.monotonic() + WAIT_LIMIT_S
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("gave up waiting for " + what)
        time.sleep(0.1)


def run(env, *args, check=True):
    result = subprocess.run(args, env=env, capture_output=True, text=True)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(args)} failed: {result.stderr.strip()}")
    return result


class Session:
    def __init__(self, workdir, scale=1):
        self.workdir = workdir
        self.scale = scale
        self.screen = self.device(SCREEN_W, SCREEN_H)
        self.processes = []
        self.env = dict(os.environ)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env["LC_ALL"] = "C"
        self.env["XDG_RUNTIME_DIR"] = workdir
        self.env["QT_SCALE_FACTOR"] = str(scale)
        self.env.pop("QT_SCREEN_SCALE_FACTORS", None)
        self.env.pop("QT_AUTO_SCREEN_SCALE_FACTOR", None)
        self.display = None

    def device(self, *logical):
        """Device pixels of logical ones (rounded, at a fractional scale)."""
        values = tuple(int(round(value * self.scale)) for value in logical)
        return values[0] if len(values) == 1 else values

    def start(self):
        self.start_x()

    def start_x(self):
        """The X server with openbox."""
        self.start_x_server()
        self.start_window_manager()

    def start_x_server(self, screen=None):
        screen_w, screen_h = screen or self.screen
        for number in range(90, 190):
            taken = (f"/tmp/.X{number}-lock", f"/tmp/.X11-unix/X{number}")
            if any(os.path.exists(path) for path in taken):
                continue
            display = f":{number}"
            server = subprocess.Popen(
                # -noreset: the server must not restart when its first client (xdpyinfo) leaves
                ["Xvfb", display, "-screen", "0", f"{screen_w}x{screen_h}x24", "-nolisten", "tcp",
                 "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.env["DISPLAY"] = display
            try:
                wait_for("the X server", lambda: server.poll() is not None or
                         run(self.env, "xdpyinfo", check=False).returncode == 0)
            except Failure:
                server.terminate()
                continue
            if server.poll() is not None:
                continue  # someone else took the number meanwhile
            self.processes.append(server)
            self.display = display
            break
        else:
            raise Failure("no free display number")

    def start_window_manager(self):
        self.wm_log = open(os.path.join(self.workdir, "openbox.log"), "w")
        self.processes.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                               stdout=self.wm_log, stderr=self.wm_log))
        wait_for("the window manager on " + self.display, lambda: "window id" in run(
            self.env, "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False).stdout)
        self.wm_log.close()

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()


class Program:
    """One run of lumigrid in the session."""

    def __init__(self, session, executable):
        self.session = session
        self.process = subprocess.Popen([executable], cwd=session.workdir, env=session.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        session.processes.append(self.process)
        self.window = wait_for("the chart window", self.find_window)
        run(session.env, "xdotool", "windowactivate", "--sync", self.window)

    def find_window(self):
        if self.process.poll() is not None:
            raise Failure("lumigrid ended early: " + self.process.stdout.read())
        found = run(self.session.env, "xdotool", "search", "--onlyvisible", "--name", "^" + CAPTION,
                    check=False).stdout.split()
        return found[0] if found else None

    def key(self, *keys):
        run(self.session.env, "xdotool", "key", "--delay", "50", *keys)

    def geometry(self):
        lines = run(self.session.env, "xdotool", "getwindowgeometry", self.window).stdout
        position = lines.split("Position:")[1].split()[0]
        size = lines.split("Geometry:")[1].split()[0]
        x, y = (int(v) for v in position.split(","))
        w, h = (int(v) for v in size.split("x"))
        return x, y, w, h

    def caption(self):
        return run(self.session.env, "xdotool", "getwindowname", self.window).stdout.rstrip("\n")

    def close(self):
        run(self.session.env, "xdotool", "windowactivate", "--sync", self.window)
        self.key("alt+F4")
        try:
            return self.process.wait(timeout=WAIT_LIMIT_S)
        except subprocess.TimeoutExpired:
            raise Failure("lumigrid did not end after its close")


def frame_extents(session, window):
    """The window manager's frame around a client window: left, right, top, bottom."""
    found = run(session.env, "xprop", "-id", window, "_NET_FRAME_EXTENTS", check=False).stdout
    if "=" not in found:
        return None
    return tuple(int(v) for v in found.split("=")[1].split(","))


def render_keys(session, render, keys, size, expected, settings=None):
    # The chart's fonts follow the device pixels: 96 dots per inch at scale 1.
    chosen = ["--settings", settings] if settings else []
    run(session.env, render, "--keys", keys, "--size", f"{size[0]}x{size[1]}",
        "--ppi", str(session.device(96)), *chosen, "-o", expected)


def equal_images(session, shot, expected):
    result = run(session.env, "compare", "-metric", "AE", shot, expected, os.devnull, check=False)
    return result.returncode == 0


def differing_pixels(session, shot, expected):
    return run(session.env, "compare", "-metric", "AE", shot, expected, os.devnull,
               check=False).stderr.strip()


def shows_rendering(program, render, keys, size, name, settings=None):
    """True once the window's client area equals lumigrid-render's drawing pixel for pixel;
    `settings`: the settings file lumigrid-render reads the colour charts from."""
    session = program.session
    expected = os.path.join(session.workdir, name + ".bmp")
    render_keys(session, render, keys, size, expected, settings)
    shot = os.path.join(session.workdir, name + "-window.png")

    def equal():
        if run(session.env, "import", "-window", program.window, shot,
               check=False).returncode != 0:
            return False
        return equal_images(session, shot, expected)

    try:
        wait_for(f"the window to show keys {keys}", equal)
    except Failure:
        raise Failure(f"window differs from lumigrid-render --keys {keys} in "
                      f"{differing_pixels(session, shot, expected)} pixels")


def parse_arguments():
    """LUMIGRID LUMIGRID_RENDER [--scale N]; None when they are wrong."""
    arguments = sys.argv[1:]
    scale = 1
    if len(arguments) == 4 and arguments[2] == "--scale":
        try:
            scale = float(arguments[3])
        except ValueError:
            return None
        scale = int(scale) if scale.is_integer() else scale
        arguments = arguments[:2]
    if len(arguments) != 2 or not scale >= 1:
        return None
    return [os.path.abspath(path) for path in arguments] + [scale]


def run_scenario(title, prefix, scenario, session_class=Session, tools=X_TOOLS, files=()):
    """Runs `scenario(session, executable, render)` in a fresh session (X, or what
    `session_class` starts) with a copy of lumigrid in its own folder: the folder is removed on
    success and kept (and named) on failure."""
    parsed = parse_arguments()
    if parsed is None:
        print(sys.modules["__main__"].__doc__)
        return 2
    lumigrid, render, scale = parsed
    need_tools(tools, files)
    if scale != 1:
        title += f" at scale {scale}"
    workdir = tempfile.mkdtemp(prefix=prefix)
    session = session_class(workdir, scale)
    try:
        session.start()
        executable = os.path.join(workdir, "lumigrid")
        shutil.copy2(lumigrid, executable)
        scenario(session, executable, render)
        print(f"{title}: passed")
        return 0
    except Failure as failure:
        print(f"{title}: FAILED: " + str(failure))
        print("files kept in " + workdir)
        workdir = None
        return 1
    finally:
        session.stop()
        if workdir:
            shutil.rmtree(workdir, ignore_errors=True)


def window_scenario(session, executable, render):
    settings = os.path.join(session.workdir, "lumigrid.INI")
    screen_w, screen_h = session.screen

    program = Program(session, executable)
    x, y, w, h = program.geometry()
    if (w, h) != session.device(832, 533):
        raise Failure(f"chart window is {w}x{h}, not {session.device(832, 533)} device pixels")
    # The first paint's timer draws pattern 0; the keys follow it.
    shown = "0"
    for key, pattern in (("3", "3"), ("7", "7"), ("8", "8")):
        program.key(key)
        shown += "," + pattern
        shows_rendering(program, render, shown, (w, h), "keys-" + shown.replace(",", ""))
    if program.caption() != f"{CAPTION} Key press:56  ":
        raise Failure("caption after key 8: " + repr(program.caption()))
    # The Menu key opens the chart's menu as it goes down, and the menu takes the keyboard; the
    # key's code still reaches the caption. Escape closes the menu.
    program.key("Menu")
    try:
        wait_for("the Menu key's caption",
                 lambda: program.caption() == f"{CAPTION} Key press:93  ")
    except Failure:
        raise Failure("caption after the Menu key: " + repr(program.caption()))
    program.key("Escape")
    wait_for("the menu closed", lambda: program.caption() == CAPTION + " ( F11 full Screen)")

    # Leaving full screen gives back exactly the bounds from before, however many round trips;
    # an Escape outside full screen moves nothing.
    restored = (x, y, w, h)
    for trip in range(3):
        program.key("F11")
        wait_for("full screen", lambda: program.geometry() == (0, 0, screen_w, screen_h))
        if trip == 0:
            # The resize leaves the window white until the timer draws the pattern again.
            shows_rendering(program, render, shown + ",0,8", (screen_w, screen_h), "full-screen")
        program.key("Escape")
        try:
            wait_for("the window's bounds back", lambda: program.geometry() == restored)
        except Failure:
            raise Failure(f"window at {program.geometry()} after round trip {trip + 1}, "
                          f"not {restored}")
    # The bounds can come back while the key's handler still redraws, before its last caption.
    try:
        wait_for("the caption after Escape",
                 lambda: program.caption() == CAPTION + " ( F11 full Screen)")
    except Failure:
        raise Failure("caption after Escape: " + repr(program.caption()))
    run(session.env, "xdotool", "windowmove", "--sync", program.window, str(x + 40), str(y + 30))
    moved = wait_for("the moved window", lambda: program.geometry()[:2] != (x, y) and
                     program.geometry())
    program.key("Escape")
    time.sleep(0.5)
    if program.geometry() != moved:
        raise Failure(f"Escape outside full screen moved the window from {moved} to "
                      f"{program.geometry()}")

    status = program.close()
    if status != 0:
        raise Failure(f"lumigrid exited with {status}")
    with open(settings, encoding="utf-8", errors="replace") as file:
        stored = file.read()
    if "latest pattern=8" not in (line.strip() for line in stored.splitlines()):
        raise Failure("settings file after close:\n" + stored)

    program = Program(session, executable)
    shows_rendering(program, render, "8", program.geometry()[2:], "next-start")
    status = program.close()
    if status != 0:
        raise Failure(f"second run exited with {status}")


def main():
    return run_scenario("e2e", "lumigrid-e2e-", window_scenario)


if __name__ == "__main__":
    sys.exit(main())
