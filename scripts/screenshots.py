#!/usr/bin/env python3
"""Regenerates the pictures of docs/ from the program itself, so they never drift from it.

The windows are photographed under Xvfb and openbox with the end-to-end harness of tests/e2e:
the chart window showing the concentric circles, the adjust window, and the page viewer with a
printable page. The pattern gallery and the test screens are drawn by lumigrid-render.

usage: scripts/screenshots.py [BUILD_DIR]   (default build/release; build lumigrid and
       lumigrid-render first)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from run_e2e import Program, Session, need_tools, run, wait_for  # noqa: E402
from page_viewer_e2e import find_window, menu_item, xdotool  # noqa: E402

DOCS = os.path.join(ROOT, "docs")
# Patterns of the gallery: key and file name, drawn at half the window's size.
GALLERY = [("3", "pattern-3-circles"), ("4", "pattern-4-square-grid"),
           ("5", "pattern-5-moire"), ("8", "pattern-8-dot-grid"),
           ("2", "pattern-2-stripes"), ("6", "pattern-6-color-checker")]


def photograph(session, window, name):
    """The window with its frame, as the operator sees it."""
    run(session.env, "xdotool", "windowactivate", "--sync", window)
    time.sleep(1.5)  # the pattern timer and the window manager's frame settle
    run(session.env, "import", "-frame", "-window", window, os.path.join(DOCS, name + ".png"))
    print("docs/" + name + ".png")


def windows(session, lumigrid, render):
    workdir = session.workdir
    executable = os.path.join(workdir, "lumigrid")
    shutil.copy2(lumigrid, executable)
    program = Program(session, executable)
    program.key("3")
    photograph(session, program.window, "chart-window")

    menu_item(session, program.window, (400, 260), 1)
    adjust = wait_for("the adjust window", lambda: find_window(session, "^Form_menu$"))
    run(session.env, "xdotool", "windowactivate", "--sync", adjust)
    xdotool(session, "mousemove", "--window", adjust, "845", "189")  # the drawing-area list
    xdotool(session, "click", "1")
    time.sleep(0.5)
    xdotool(session, "key", "--delay", "100", "Down", "Down", "Return")  # FHD 1920x1080
    photograph(session, adjust, "adjust-window")

    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    menu_item(session, program.window, (400, 260), 2)
    viewer = wait_for("the page viewer", lambda: find_window(session, "^FHD 1920x1080$"))
    photograph(session, viewer, "page-viewer")
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    program.close()


# The colour chart of the gallery: a grey ramp, the primaries and secondaries at full and half
# strength, and a row of mixed tones.
CHART = [(0, 0, 0), (51, 51, 51), (102, 102, 102), (153, 153, 153), (204, 204, 204),
         (255, 255, 255),
         (255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 255, 255), (255, 0, 255), (255, 255, 0),
         (128, 0, 0), (0, 128, 0), (0, 0, 128), (0, 128, 128), (128, 0, 128), (128, 128, 0),
         (194, 150, 130), (98, 122, 157), (87, 108, 67), (214, 126, 44), (80, 91, 166),
         (193, 90, 99)]


def gallery(render, workdir):
    settings = os.path.join(workdir, "gallery.INI")
    with open(settings, "w") as file:
        file.write("[color checker gallery]\ncolor X=6\ncolor Y=4\nborder=0.1\n")
        for n, (r, g, b) in enumerate(CHART, start=1):
            file.write(f"{n}_R={r}\n{n}_G={g}\n{n}_B={b}\n")
    for key, name in GALLERY:
        subprocess.run([render, "--settings", settings, "--size", "416x266", "--keys", key,
                        "-o", os.path.join(DOCS, name + ".png")], check=True)
        print("docs/" + name + ".png")


def prepared_charts(render):
    """One picture per prepared colour chart, in the order keys 1 and 6 show them."""
    library = os.path.join(ROOT, "charts", "lumigrid-charts.INI")
    with open(library, encoding="ascii") as file:
        names = [line.strip()[1:-1] for line in file if line.startswith("[")]
    folder = os.path.join(DOCS, "charts")
    os.makedirs(folder, exist_ok=True)
    for key, keyword in (("1", "Dynamic Range"), ("6", "color checker")):
        matching = [name for name in names if keyword in name]
        for count, name in enumerate(matching, start=1):
            file_name = name.lower().replace("%", "").replace(" ", "-") + ".png"
            subprocess.run([render, "--settings", library, "--size", "416x266", "--keys",
                            ",".join([key] * count), "-o", os.path.join(folder, file_name)],
                           check=True)
            print("docs/charts/" + file_name)


# The test screens: letter, presses (the variant shown) and file name, at the window's designed
# size so that every label and 1-pixel line is there as the window shows it.
DISPLAY_TESTS = [("g", 1, "gamma"), ("b", 1, "black-level"), ("w", 1, "white-saturation"),
                 ("l", 1, "video-range"), ("u", 1, "uniformity"), ("i", 1, "inversion"),
                 ("s", 1, "sub-pixels"), ("f", 1, "frame-and-overscan")]


def display_tests(render):
    folder = os.path.join(DOCS, "display-tests")
    os.makedirs(folder, exist_ok=True)
    for letter, presses, name in DISPLAY_TESTS:
        file_name = f"{letter}-{name}.png"
        subprocess.run([render, "--size", "832x533", "--keys", ",".join([letter] * presses),
                        "-o", os.path.join(folder, file_name)], check=True)
        print("docs/display-tests/" + file_name)


def ruler_screen(render):
    """The ruler screen at the pitch of a 24-inch full-HD monitor (0.2745 mm)."""
    file_name = os.path.join(DOCS, "ruler-screen.png")
    subprocess.run([render, "--size", "832x533", "--keys", "r", "--mm-per-pixel", "0.2745",
                    "-o", file_name], check=True)
    print("docs/ruler-screen.png")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build",
                                                                              "release"))
    lumigrid = os.path.join(build, "src", "app", "lumigrid")
    render = os.path.join(build, "src", "cli", "lumigrid-render")
    for program in (lumigrid, render):
        if not os.access(program, os.X_OK):
            print(f"{program} missing: build lumigrid and lumigrid-render first")
            return 2
    need_tools()
    os.makedirs(DOCS, exist_ok=True)
    workdir = tempfile.mkdtemp(prefix="lumigrid-screenshots-")
    session = Session(workdir)
    try:
        session.start_x()
        windows(session, lumigrid, render)
        gallery(render, workdir)
        prepared_charts(render)
        display_tests(render)
        ruler_screen(render)
    finally:
        session.stop()
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
