#!/usr/bin/env python3
"""Drives the real lumigrid under Xvfb and openbox through the test screens' letter keys.

Each letter shows its test screen and the same letter again its next variant; after every key
the chart window's client area holds exactly, device pixel for device pixel, what
`lumigrid-render --keys` draws for the same letters at the same size. F11 with a test screen
shown draws it again at the size of the screen.

usage: display_tests_e2e.py LUMIGRID LUMIGRID_RENDER [--scale N]
"""
import os
import sys

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import Failure, Program, run_scenario, shows_rendering, wait_for  # noqa: E402

# Letters pressed in turn: every screen, and the variants whose stepping shows at a glance.
LETTERS = ["g", "g", "g", "b", "b", "w", "w", "l", "u", "u", "i", "i", "i", "i", "s", "f"]


def display_tests_scenario(session, executable, render):
    program = Program(session, executable)
    w, h = program.geometry()[2:]
    if (w, h) != session.device(832, 533):
        raise Failure(f"chart window is {w}x{h}, not {session.device(832, 533)} device pixels")
    shown = "0"
    for number, letter in enumerate(LETTERS):
        program.key(letter)
        shown += "," + letter
        shows_rendering(program, render, shown, (w, h), f"letters-{number:02d}-{letter}")

    # A test screen fills the whole client area at any size: full screen draws it again there.
    screen_w, screen_h = session.screen
    program.key("F11")
    wait_for("full screen", lambda: program.geometry() == (0, 0, screen_w, screen_h))
    shows_rendering(program, render, shown, (screen_w, screen_h), "letters-full-screen")
    program.key("Escape")
    wait_for("the window's bounds back", lambda: program.geometry()[2:] == (w, h))
    status = program.close()
    if status != 0:
        raise Failure(f"lumigrid exited with {status}")


def main():
    return run_scenario("e2e display tests", "lumigrid-display-tests-e2e-",
                        display_tests_scenario)


if __name__ == "__main__":
    sys.exit(main())
