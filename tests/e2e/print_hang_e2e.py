#!/usr/bin/env python3
"""Printing from the real lumigrid under Xvfb and openbox when the print server stops answering.

Two servers: a listener of this test on 127.0.0.1 that takes every connection and never says a
word, and a private cupsd (tests/print/private_cups.py) stopped with SIGSTOP in the middle of a
job. Throughout, the chart window answers a key within a second (its caption names the last key);
Print says that the server did not answer within its stated limit and opens no print dialog;
the progress box's Cancel ends the exchange at once; and closing the program while an exchange
waits ends it at once, leaving no temporary behind. Message boxes are read through at-spi.

usage: print_hang_e2e.py LUMIGRID LUMIGRID_RENDER
"""
import os
import re
import signal
import socket
import sys
import threading
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "print"))
from page_viewer_e2e import find_window, menu_item, pick_row, xdotool  # noqa: E402
from print_e2e import PrintSession, box_text, close_box, open_print_dialog  # noqa: E402
from private_cups import PrivateCups, Unavailable  # noqa: E402
from run_e2e import X_TOOLS, Failure, Program, run, run_scenario, wait_for  # noqa: E402
from accessibility import TOOLS as ACCESSIBILITY_TOOLS  # noqa: E402
from accessibility import shown_texts  # noqa: E402

ANSWER_LIMIT_S = 1.0  # a key, a Cancel, the program's end: each within a second
CHECK_LIMIT_S = 5     # the print server's time to answer the question before the dialog
EXCHANGE_LIMIT_S = 30  # its time to answer each request of a job
PROGRESS = "^lumigrid$"  # the progress box's caption, the program's name, as the message boxes'


class SilentServer:
    """Takes every connection on 127.0.0.1 and never answers on any."""

    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        self.taken = []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.taken.append(connection)

    def close(self):
        self.listener.close()
        for connection in self.taken:
            connection.close()


def within(what, limit_s, condition):
    """`condition` comes true within `limit_s` seconds."""
    deadline = time.monotonic() + limit_s
    while not condition():
        if time.monotonic() > deadline:
            raise Failure(f"{what} took longer than {limit_s} s")
        time.sleep(0.02)


def keys_answered(session, program, seconds):
    """For `seconds`, the chart answers each key within a second: its caption names the key's
    code. Letters draw nothing, so only the answer is timed."""
    end = time.monotonic() + seconds
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    code = 66
    while True:
        code = 65 if code == 66 else 66  # A and B, in turn, so each changes the caption
        xdotool(session, "key", "--window", program.window, chr(code).lower())
        try:
            within(f"the chart's answer to the key {chr(code)}", ANSWER_LIMIT_S,
                   lambda: f"Key press:{code}" in program.caption())
        except Failure as failure:
            raise Failure(f"{failure} (its caption: {program.caption()!r})") from None
        if time.monotonic() > end:
            return
        time.sleep(0.3)


def open_viewer(session, program):
    """The adjust window's A4 row, shown in the viewer."""
    menu_item(session, program.window, session.device(400, 260), 1)
    adjust = wait_for("the adjust window", lambda: find_window(session, "^Form_menu$"))
    pick_row(session, adjust, 9)
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    menu_item(session, program.window, session.device(400, 260), 2)
    return wait_for("the viewer", lambda: find_window(session, "^A4 600 dpi 7016x4961$"))


def press_print(session, viewer):
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)
    xdotool(session, "key", "ctrl+p")


def visible_boxes(session):
    """The program's visible boxes: the progress box and the message boxes share its name."""
    return run(session.env, "xdotool", "search", "--onlyvisible", "--name", PROGRESS,
               check=False).stdout.split()


def cancel_progress(session, what):
    """Cancels the progress box of what waits on the server. Cancel hides the box at once
    whatever the worker does; the exchange has ended when the cancellation is told, in a box
    of its own, and that comes within a second."""
    box = wait_for("the progress box of " + what, lambda: find_window(session, PROGRESS))
    run(session.env, "xdotool", "windowactivate", "--sync", box)
    xdotool(session, "key", "Escape")
    within("the end of " + what + " after Cancel", ANSWER_LIMIT_S,
           lambda: [other for other in visible_boxes(session) if other != box])
    # Nothing printed; or, when the whole document had reached the server before it stopped,
    # that the server did not confirm the purge and may still print it; or, when the server had
    # already given the job its id, that the job could not be cancelled within the stated limit.
    told, text = box_text(session, r"Printing cancelled: nothing is printed|printing was "
                                   r"cancelled, but the print server at \S+ did not confirm|"
                                   r"job \d+ could not be cancelled: the print server at \S+ "
                                   r"did not answer within")
    close_box(session, told)


def long_box_text(session, pattern, limit_s):
    """The message box matching `pattern`, which may take up to `limit_s` seconds to come."""
    found = re.compile(pattern)
    deadline = time.monotonic() + limit_s
    while not any(found.search(text) for text in shown_texts(session)):
        if time.monotonic() > deadline:
            raise Failure(f"no box matching {pattern} within {limit_s} s: {shown_texts(session)}")
        time.sleep(1)
    return box_text(session, pattern)


def quit_at_once(session, program, temporaries):
    """Closing the chart ends the program within a second, and no print temporary is left."""
    run(session.env, "xdotool", "windowactivate", "--sync", program.window)
    xdotool(session, "key", "alt+F4")
    within("the program's end", ANSWER_LIMIT_S, lambda: program.process.poll() is not None)
    left = [name for name in os.listdir(temporaries) if name.startswith("lumigrid")]
    if left:
        raise Failure(f"temporaries left behind: {left}")


def no_print_dialog(session):
    if find_window(session, "^Print$") is not None:
        raise Failure("the print dialog opened on a server that does not answer")


def silent_server_scenario(session, executable, temporaries):
    server = SilentServer()
    session.env["CUPS_SERVER"] = f"127.0.0.1:{server.port}"
    try:
        program = Program(session, executable)
        viewer = open_viewer(session, program)

        # The question before the dialog waits on the server; the windows go on, and the
        # operator reads that it did not answer.
        press_print(session, viewer)
        keys_answered(session, program, CHECK_LIMIT_S - 1)
        box, text = box_text(session, "did not answer")
        said = (f"No printer can be reached: the print server at 127.0.0.1:{server.port} did "
                f"not answer within {CHECK_LIMIT_S} s.")
        if said not in text:
            raise Failure(f"the silent server's box says {text!r}")
        no_print_dialog(session)
        close_box(session, box)

        # Cancel ends the question at once.
        press_print(session, viewer)
        cancel_progress(session, "the question to the server")
        no_print_dialog(session)

        # So does closing the program.
        press_print(session, viewer)
        wait_for("the progress box", lambda: find_window(session, PROGRESS))
        quit_at_once(session, program, temporaries)
    finally:
        server.close()


def stopped_cups_scenario(session, executable, temporaries, cups):
    session.env["CUPS_SERVER"] = cups.socket
    program = Program(session, executable)
    viewer = open_viewer(session, program)

    def print_then_stop():
        """The job is printed on the default queue and the server stops as the dialog closes."""
        dialog = open_print_dialog(session, viewer)
        run(session.env, "xdotool", "windowactivate", "--sync", dialog)
        xdotool(session, "key", "Return")
        wait_for("the print dialog to close", lambda: find_window(session, "^Print$") is None)
        os.killpg(cups.process.pid, signal.SIGSTOP)

    def resume():
        os.killpg(cups.process.pid, signal.SIGCONT)

    try:
        # Stopped mid-job: the windows go on; Cancel ends the job at once.
        print_then_stop()
        keys_answered(session, program, 3)
        cancel_progress(session, "the stopped job")
        # Still stopped: Print says the server did not answer, and opens no dialog.
        press_print(session, viewer)
        box, text = box_text(session, "did not answer")
        if f"did not answer within {CHECK_LIMIT_S} s." not in text:
            raise Failure(f"the stopped server's box says {text!r}")
        no_print_dialog(session)
        close_box(session, box)
        resume()

        # A job the server stops answering ends with the stated limit: while the document is
        # still being taken ("took nothing for 30 s"), or once it was all sent ("did not answer
        # within 30 s"), depending on how much of it the connection held when the server stopped.
        print_then_stop()
        keys_answered(session, program, 3)
        stated = rf"(did not answer within|took nothing for) {EXCHANGE_LIMIT_S} s"
        box, text = long_box_text(session, stated, EXCHANGE_LIMIT_S + 20)
        if not re.search(stated, text):
            raise Failure(f"the stopped job's box says {text!r}")
        close_box(session, box)
        resume()

        # Closing the program while a job waits on the stopped server ends it at once.
        print_then_stop()
        wait_for("the progress box", lambda: find_window(session, PROGRESS))
        quit_at_once(session, program, temporaries)
    finally:
        resume()


def scenario(session, executable, render):
    del render  # the pages are not compared here
    # The program's temporaries go to a folder of the test's own, checked after each end.
    temporaries = os.path.join(session.workdir, "tmp")
    os.makedirs(temporaries)
    session.env["TMPDIR"] = temporaries
    silent_server_scenario(session, executable, temporaries)
    cups = PrivateCups()
    try:
        cups.start()
    except Unavailable as reason:
        cups.remove()
        raise Failure(f"the private CUPS server cannot start: {reason}")
    try:
        stopped_cups_scenario(session, executable, temporaries, cups)
    finally:
        cups.remove()


def main():
    return run_scenario("e2e printing on a silent server", "lumigrid-print-hang-e2e-", scenario,
                        session_class=PrintSession, tools=X_TOOLS + ACCESSIBILITY_TOOLS)


if __name__ == "__main__":
    sys.exit(main())
