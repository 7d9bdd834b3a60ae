#!/usr/bin/env python3
"""Drives the real lumigrid under Xvfb and openbox.

Keys pick patterns and the window shows exactly what lumigrid-render draws for the same keys at
the same size; F11 covers the screen and Escape brings the window back; closing writes the
settings file beside the executable; the next start shows the same pattern again.

usage: run_e2e.py LUMIGRID LUMIGRID_RENDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1280, 800
CAPTION = "Duzov Urorezo"
WAIT_LIMIT_S = 20  # how long a condition may take to come true before the test gives up


class Failure(Exception):
    pass


def need_tools():
    tools = ["Xvfb", "openbox", "xdotool", "xdpyinfo", "xprop", "import", "compare"]
    missing = [tool for tool in tools if shutil.which(tool) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
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
    def __init__(self, workdir):
        self.workdir = workdir
        self.processes = []
        self.env = dict(os.environ)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env["LC_ALL"] = "C"
        self.env["XDG_RUNTIME_DIR"] = workdir
        self.env["QT_SCALE_FACTOR"] = "1"
        self.display = None

    def start_x(self):
        for number in range(90, 190):
            taken = (f"/tmp/.X{number}-lock", f"/tmp/.X11-unix/X{number}")
            if any(os.path.exists(path) for path in taken):
                continue
            display = f":{number}"
            server = subprocess.Popen(
                # -noreset: the server must not restart when its first client (xdpyinfo) leaves
                ["Xvfb", display, "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp",
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
        self.wm_log = open(os.path.join(self.workdir, "openbox.log"), "w")
        self.processes.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                               stdout=self.wm_log, stderr=self.wm_log))
        wait_for("the window manager on " + display, lambda: "window id" in run(
            self.env, "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False).stdout)

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
        self.key("alt+F4")
        try:
            return self.process.wait(timeout=WAIT_LIMIT_S)
        except subprocess.TimeoutExpired:
            raise Failure("lumigrid did not end after its close")


def shows_rendering(program, render, keys, size, name):
    """True once the window's client area equals lumigrid-render's drawing pixel for pixel."""
    workdir = program.session.workdir
    expected = os.path.join(workdir, name + ".bmp")
    run(program.session.env, render, "--keys", keys, "--size", f"{size[0]}x{size[1]}",
        "-o", expected)
    shot = os.path.join(workdir, name + "-window.png")

    def equal():
        if run(program.session.env, "import", "-window", program.window, shot,
               check=False).returncode != 0:
            return False
        result = run(program.session.env, "compare", "-metric", "AE", shot, expected,
                     os.devnull, check=False)
        return result.returncode == 0

    try:
        wait_for(f"the window to show keys {keys}", equal)
    except Failure:
        differing = run(program.session.env, "compare", "-metric", "AE", shot, expected,
                        os.devnull, check=False).stderr.strip()
        raise Failure(f"window differs from lumigrid-render --keys {keys} in {differing} pixels")


def run_scenario(title, prefix, scenario):
    """Runs `scenario(session, executable, render)` in a fresh X session with a copy of lumigrid
    in its own folder: the folder is removed on success and kept (and named) on failure."""
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    need_tools()
    lumigrid, render = (os.path.abspath(path) for path in sys.argv[1:])
    workdir = tempfile.mkdtemp(prefix=prefix)
    session = Session(workdir)
    try:
        session.start_x()
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

    program = Program(session, executable)
    x, y, w, h = program.geometry()
    if (w, h) != (832, 533):
        raise Failure(f"chart window is {w}x{h}, not 832x533")
    # The first paint's timer draws pattern 0; the keys follow it.
    shown = "0"
    for key, pattern in (("3", "3"), ("7", "7"), ("8", "8")):
        program.key(key)
        shown += "," + pattern
        shows_rendering(program, render, shown, (w, h), "keys-" + shown.replace(",", ""))
    if program.caption() != f"{CAPTION} Key press:56  ":
        raise Failure("caption after key 8: " + repr(program.caption()))

    program.key("F11")
    wait_for("full screen", lambda: program.geometry() == (0, 0, SCREEN_W, SCREEN_H))
    # The resize leaves the window white until the timer draws the pattern again.
    shows_rendering(program, render, shown + ",0,8", (SCREEN_W, SCREEN_H), "full-screen")

    program.key("Escape")
    wait_for("the window's bounds back", lambda: program.geometry() == (x, y, w, h))
    if program.caption() != CAPTION + " ( F11 full Screen)":
        raise Failure("caption after Escape: " + repr(program.caption()))

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
