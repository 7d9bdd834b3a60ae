#!/usr/bin/env python3
"""Prints the real lumigrid's pages on a real CUPS server under Xvfb and openbox.

A private cupsd (tests/print/private_cups.py) offers cups-pdf queues, which write each printed
sheet as a PDF. A4, A3 and A5 pages are printed from the viewer, through the print dialog, and
through lumigrid-render --print: every sheet cups-pdf writes has the page's own paper and holds
the page's pixels as one image, unresampled at 600 ppi and equal to lumigrid-render's page, and
the program told the job's id. A queue that rejects jobs, a paused queue and a stopped server
each show their message, read from the message box through at-spi.

usage: print_e2e.py LUMIGRID LUMIGRID_RENDER
"""
import os
import re
import sys
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "print"))
from page_viewer_e2e import find_window, menu_item, pick_row, xdotool  # noqa: E402
from private_cups import PrivateCups, Unavailable, skip  # noqa: E402
from run_e2e import X_TOOLS, Failure, Program, Session, run, run_scenario, wait_for  # noqa: E402
from accessibility import TOOLS as ACCESSIBILITY_TOOLS  # noqa: E402
from accessibility import shown_texts, start_accessibility, wait_for_text  # noqa: E402

# Rows of the adjust window's drawing-area list, and a paper typed into it.
PAGES = [("A4 600 dpi 7016x4961", 9, "595 x 842 pts (A4)"),
         ("A3 600 dpi 9921x7016", 10, "842 x 1191 pts (A3)"),
         ("A5", None, "421 x 595 pts (A5)")]
BOX = "^lumigrid$"  # the message boxes' caption: the program's name
PAUSED = ("The printer Paused is paused (the server says \"Cleaning the print head\"): the job "
          "waits in its queue until the printer is resumed.")
REJECTED = ("Unable to print the page on Rejecting: the printer is not accepting jobs "
            "(the server says \"Closed for the night\")")

CUPS = None  # the private server, started before the session


def box_text(session, pattern):
    """The message box that shows a text matching `pattern`, and all its texts, read as a
    screen reader reads them. The job's progress box has the same caption."""
    found = re.compile(pattern)
    try:
        wait_for_text(session, "a message box matching " + pattern, found.search)
    except Failure as failure:
        raise Failure(f"{failure}; the texts shown: {shown_texts(session)}") from None
    box = wait_for("the message box", lambda: find_window(session, BOX))
    return box, "\n".join(shown_texts(session))


class PrintSession(Session):
    """The X session with the screen reader's view, so message boxes can be read."""

    def start(self):
        super().start()
        start_accessibility(self)


def close_box(session, box, key="Return"):
    run(session.env, "xdotool", "windowactivate", "--sync", box)
    xdotool(session, "key", key)
    wait_for("the box to close", lambda: find_window(session, BOX) is None)


def job_of(text, queue):
    found = re.search(r"Sent to " + re.escape(queue) + r" as job (\d+)", text)
    if not found:
        raise Failure(f"no job id for {queue} in: {text!r}")
    return int(found.group(1))


def check_sheet(session, render, row, paper, queue, job, name):
    """cups-pdf's sheet of the job: the paper, one 1-bit image at 600 ppi, lumigrid-render's
    page pixel for pixel."""
    sheet = CUPS.wait_for_pdf(queue, job)
    if not os.path.basename(sheet).startswith(row.replace(" ", "_")):
        raise Failure(f"job {job} is not named after the page: {sheet}")
    info = run(session.env, "pdfinfo", sheet).stdout
    if f"Page size:       {paper}" not in info:
        raise Failure(f"{name}: the sheet is not {paper}:\n{info}")
    # lumigrid-render's own true-size PDF of the page holds its pixels as one 1-bit image; both
    # images come out as PBM files, compared byte for byte (ImageMagick's resource policy
    # refuses pages this large).
    expected = os.path.join(session.workdir, name + "-page")
    run(session.env, render, "--page", row, "-o", expected + ".pdf")
    wanted = run(session.env, "pdfimages", "-list", expected + ".pdf").stdout.splitlines()[2:]
    width, height = wanted[0].split()[3:5]
    images = run(session.env, "pdfimages", "-list", sheet).stdout.splitlines()[2:]
    if len(images) != 1:
        raise Failure(f"{name}: {len(images)} images on the sheet")
    columns = images[0].split()
    if columns[3:5] != [width, height] or columns[7] != "1" or columns[12:14] != ["600", "600"]:
        raise Failure(f"{name}: the image is not the page's {width}x{height} at 1 bit and "
                      f"600 ppi: {images[0]}")
    extracted = os.path.join(session.workdir, name + "-sheet")
    run(session.env, "pdfimages", sheet, extracted)
    run(session.env, "pdfimages", expected + ".pdf", expected)
    with open(extracted + "-000.pbm", "rb") as got, open(expected + "-000.pbm", "rb") as page:
        if got.read() != page.read():
            raise Failure(f"{name}: the sheet's pixels differ from lumigrid-render's page")


def open_print_dialog(session, viewer):
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)
    xdotool(session, "key", "ctrl+p")
    return wait_for("the print dialog", lambda: find_window(session, "^Print$"))


def choose_printer(session, dialog, name):
    """Types the printer's name into the dialog's printer list, which has the focus."""
    run(session.env, "xdotool", "windowactivate", "--sync", dialog)
    xdotool(session, "type", "--delay", "50", name)
    time.sleep(0.5)


def print_scenario(session, executable, render):
    program = Program(session, executable)
    menu_item(session, program.window, session.device(400, 260), 1)
    adjust = wait_for("the adjust window", lambda: find_window(session, "^Form_menu$"))

    # Each page from the viewer on the default queue, PDF, whose own paper is A4: the dialog
    # and the job keep the page's paper.
    viewer = None
    for row, index, paper in PAGES:
        run(session.env, "xdotool", "windowactivate", "--sync", adjust)
        if index is None:
            xdotool(session, "mousemove", "--window", adjust, *map(str, session.device(700, 189)))
            xdotool(session, "click", "1")
            xdotool(session, "key", "ctrl+a")
            xdotool(session, "type", "--delay", "50", row)
        else:
            pick_row(session, adjust, index)
        if viewer is None:
            run(session.env, "xdotool", "windowactivate", "--sync", program.window)
            menu_item(session, program.window, session.device(400, 260), 2)
        viewer = wait_for("the viewer of " + row, lambda: find_window(session, "^" + row + "$"))
        dialog = open_print_dialog(session, viewer)
        xdotool(session, "key", "Return")
        wait_for("the print dialog to close", lambda: find_window(session, "^Print$") is None)
        box, text = box_text(session, r"Sent to PDF as job \d+")
        job = job_of(text, "PDF")
        close_box(session, box)
        check_sheet(session, render, row, paper, "PDF", job, "viewer-" + row.split()[0])

    # A queue that rejects jobs: its reason, and no job.
    dialog = open_print_dialog(session, viewer)
    choose_printer(session, dialog, "Rejecting")
    jobs = CUPS.jobs()
    xdotool(session, "key", "Return")
    box, text = box_text(session, re.escape(REJECTED))
    if REJECTED not in text:
        raise Failure(f"the rejecting queue's box says {text!r}")
    close_box(session, box)
    if CUPS.jobs() != jobs:
        raise Failure("a job went to the rejecting queue")

    # A paused queue: asked first; not sent when the answer is No.
    dialog = open_print_dialog(session, viewer)
    choose_printer(session, dialog, "Paused")
    xdotool(session, "key", "Return")
    box, text = box_text(session, re.escape(PAUSED))
    if PAUSED not in text or "Print anyway?" not in text:
        raise Failure(f"the paused queue's question says {text!r}")
    close_box(session, box, "Escape")
    if CUPS.jobs() != jobs:
        raise Failure("a job went to the paused queue after No")

    # lumigrid-render --print: the default queue, a queue named, and the failures.
    for row, _, paper in PAGES:
        printed = run(session.env, render, "--page", row, "--print", check=False)
        if printed.returncode != 0:
            raise Failure(f"lumigrid-render --print {row}: {printed.stderr.strip()}")
        job = job_of(printed.stdout, "PDF")
        check_sheet(session, render, row, paper, "PDF", job, "render-" + row.split()[0])
    for queue, status, said in [("Rejecting", 1, "error: " + REJECTED),
                                ("Paused", 0, "warning: " + PAUSED)]:
        printed = run(session.env, render, "--page", "A4", "--print", queue, check=False)
        if printed.returncode != status or said not in printed.stderr:
            raise Failure(f"lumigrid-render --print {queue} ended {printed.returncode}: "
                          f"{printed.stderr.strip()}")

    # The server stops: Print says so before the dialog, and so does lumigrid-render.
    CUPS.stop()
    run(session.env, "xdotool", "windowactivate", "--sync", viewer)
    xdotool(session, "key", "ctrl+p")
    box, text = box_text(session, "No printer can be reached")
    gone = f"no print server answers at {CUPS.socket} ("
    if "No printer can be reached: " + gone not in text:
        raise Failure(f"the stopped server's box says {text!r}")
    close_box(session, box, "Escape")
    if find_window(session, "^Print$") is not None:
        raise Failure("the print dialog opened after No")
    printed = run(session.env, render, "--page", "A4", "--print", check=False)
    if printed.returncode != 1 or "error: Unable to print the page: " + gone not in printed.stderr:
        raise Failure(f"lumigrid-render --print without a server: {printed.stderr.strip()}")

    status = program.close()
    if status != 0:
        raise Failure(f"lumigrid exited with {status}")


def main():
    global CUPS
    CUPS = PrivateCups()
    try:
        CUPS.start()
    except Unavailable as reason:
        CUPS.remove()
        skip(f"the private CUPS server cannot start: {reason}")
    try:
        os.environ.update({"CUPS_SERVER": CUPS.socket, "LUMIGRID_CUPS_PDF_OUT": CUPS.out_root})
        return run_scenario("e2e printing", "lumigrid-print-e2e-", print_scenario,
                            session_class=PrintSession,
                            tools=X_TOOLS + ACCESSIBILITY_TOOLS + ["pdfinfo", "pdfimages"])
    finally:
        CUPS.remove()


if __name__ == "__main__":
    sys.exit(main())
