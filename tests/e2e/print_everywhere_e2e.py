#!/usr/bin/env python3
"""Prints lumigrid's pages on a raster-only IPP Everywhere printer and reads back what it gets.

ippeveprinter plays a printer that takes PWG raster only and keeps every job's file; a private
cupsd (tests/print/private_cups.py) has a queue made for it by IPP Everywhere, whose filters turn
the program's PDF into raster. The printer's DNS-SD announcement is off and every D-Bus client
meets a private bus (DBUS_SYSTEM_BUS_ADDRESS), never the system's. lumigrid-render --print sends
each page, as the viewer does; the raster the printer received is decoded here and must hold the
page's pixels, unscaled and turned the way the program laid them out: the page's top-left corner
at the printable area's corner the layout chose, every printed pixel inside the printable area
the warning states, and nothing else on the sheet.

usage: print_everywhere_e2e.py LUMIGRID LUMIGRID_RENDER
"""
import math
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "print"))
from private_cups import PrivateCups, Unavailable  # noqa: E402

QUEUE = "Everywhere"
START_LIMIT_S = 20
JOB_LIMIT_S = 180
PPI = 600
# (row, the page's paper as the queue lists it in its PPD, turned on it)
CASES = [
    # A landscape A4 page on the portrait A4 sheet: turned a quarter.
    ("A4 600 dpi 7016x4961", "A4", True),
    # A portrait page of no paper of its own, on the queue's default paper: as it is.
    ("3000x4500", "Letter", False),
]
TOOLS = ["ippeveprinter", "ipptool", "dbus-daemon", "pdfimages", "cupsd", "lpadmin"]
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until(what, limit_s, condition):
    deadline = time.monotonic() + limit_s
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("gave up waiting for " + what)
        time.sleep(0.2)


class Printer:
    """A private D-Bus bus and ippeveprinter on it, keeping its jobs' files in a spool."""

    def __init__(self, root):
        self.root = root
        self.spool = os.path.join(root, "printer-spool")
        os.makedirs(self.spool)
        self.port = free_port()
        self.processes = []

    @property
    def uri(self):
        return f"ipp://localhost:{self.port}/ipp/print"

    def start(self):
        bus = os.path.join(self.root, "bus")
        config = os.path.join(self.root, "bus.conf")
        with open(config, "w") as f:
            f.write(BUS_CONFIG.format(socket=bus))
        self.spawn("dbus-daemon", "--nofork", "--config-file=" + config)
        wait_until("the private bus", START_LIMIT_S, lambda: os.path.exists(bus))
        os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + bus
        self.spawn("ippeveprinter", "-f", "image/pwg-raster", "-n", "localhost", "-p",
                   str(self.port), "-d", self.spool, "-k", "-r", "off", QUEUE)
        wait_until("ippeveprinter", START_LIMIT_S, self.answers)

    def spawn(self, *argv):
        log = open(os.path.join(self.root, os.path.basename(argv[0]) + ".log"), "w")
        self.processes.append(subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT))
        log.close()

    def answers(self):
        for process in self.processes:
            if process.poll() is not None:
                raise Failure(f"{process.args[0]} ended: " + self.log(process.args[0]))
        result = subprocess.run(["ipptool", "-q", self.uri, "get-printer-attributes.test"],
                                capture_output=True)
        return result.returncode == 0

    def log(self, name):
        with open(os.path.join(self.root, os.path.basename(name) + ".log"),
                  errors="replace") as f:
            return f.read()[-2000:]

    def raster(self, job):
        """The file the printer kept of its job, once the job has completed."""
        found = [n for n in os.listdir(self.spool) if n.startswith(f"{job}-")]
        return os.path.join(self.spool, found[0]) if found else None

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def read_pwg(path):
    """The first page of a PWG raster file: its header's numbers and its rows, one byte a pixel
    (sgray: 0 black, 255 white)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RaS2":
        raise Failure(f"{path} is not PWG raster")
    header = data[4:4 + 1796]
    number = lambda offset: struct.unpack(">I", header[offset:offset + 4])[0]  # noqa: E731
    head = {"dpi": number(276), "width": number(372), "height": number(376),
            "bits": number(388), "bytes": number(392), "space": number(400)}
    if head["bits"] != 8 or head["space"] != 18:
        raise Failure(f"not an 8-bit grey raster: {head}")
    rows, position, width = [], 4 + 1796, head["bytes"]
    while len(rows) < head["height"]:
        repeat = data[position] + 1
        position += 1
        line = bytearray()
        while len(line) < width:
            count = data[position]
            position += 1
            if count == 128:  # the rest of the line is white
                line += b"\xff" * (width - len(line))
            elif count < 128:
                line += data[position:position + 1] * (count + 1)
                position += 1
            else:
                line += data[position:position + 257 - count]
                position += 257 - count
        rows.extend([bytes(line)] * repeat)
    return head, rows[:head["height"]]


def read_pbm(path):
    """A PBM file's rows, one byte a pixel: 0 black, 255 white."""
    with open(path, "rb") as f:
        magic, width, height, bits = f.read().split(maxsplit=3)
    if magic != b"P4":
        raise Failure(f"{path} is not a PBM file")
    width, height, stride = int(width), int(height), (int(width) + 7) // 8
    table = [bytes(0 if (b >> (7 - i)) & 1 else 255 for i in range(8)) for b in range(256)]
    return [b"".join(table[b] for b in bits[y * stride:(y + 1) * stride])[:width]
            for y in range(height)]


def imageable_area(ppd, paper):
    """The paper's size and its imageable area in the queue's PPD, in points."""
    with open(ppd, errors="replace") as f:
        text = f.read()
    size = re.search(rf'^\*PaperDimension {paper}[/:][^"]*"([\d.]+) ([\d.]+)"', text, re.M)
    area = re.search(rf'^\*ImageableArea {paper}[/:][^"]*"([\d.]+) ([\d.]+) ([\d.]+) ([\d.]+)"',
                     text, re.M)
    if not size or not area:
        raise Failure(f"the queue's PPD has no {paper}")
    return [float(v) for v in size.groups()], [float(v) for v in area.groups()]


def check_sheet(name, page, raster, turned, paper_pt, area_pt, warned_mm):
    """The raster holds the page's pixels at the place the layout gives them, unscaled, and
    every printed pixel lies inside the printable area. The sheet is not a whole number of
    pixels (A4 is 7015.75 high): the rasteriser puts a turned page's pixel grid within a pixel
    of its exact place, so a pixel's width beyond the area's edge still counts as inside."""
    px = lambda points: points * PPI / 72  # noqa: E731
    left = math.ceil(px(area_pt[0]) - 1e-6)  # the printable area on the sheet, in pixels
    top = math.ceil(px(paper_pt[1] - area_pt[3]) - 1e-6)
    right = px(area_pt[2])
    bottom = px(paper_pt[1] - area_pt[1])
    height, width = len(page), len(page[0])
    # The page's top-left corner: as it is, the area's top-left corner; turned a quarter
    # counterclockwise, the area's bottom-left corner, its top towards the sheet's left edge.
    origins = ([(left, math.floor(bottom) + d) for d in (-1, 0, 1)] if turned
               else [(left, top)])

    def page_pixel(origin, x, y):
        x0, y0 = origin
        page_x, page_y = (y0 - y, x - x0) if turned else (x - x0, y - y0)
        inside = 0 <= page_x < width and 0 <= page_y < height
        return page[page_y][page_x] if inside else 255

    def differing_rows(origin):
        """Rows (every 97th) of the area's inside that differ from the page put at `origin`."""
        differing = []
        inner = range(left + 2, math.floor(right) - 2)
        for y in range(top + 2, math.floor(bottom) - 2, 97):
            expected = bytes(page_pixel(origin, x, y) for x in inner)
            if raster[y][inner.start:inner.stop] != expected:
                differing.append(y)
        return differing

    results = {origin: differing_rows(origin) for origin in origins}
    best = min(results, key=lambda origin: len(results[origin]))
    if results[best]:
        raise Failure(f"{name}: the printed sheet is not the page at its place: rows "
                      f"{results[best][:5]} differ from the page put at {best}")
    # Every printed pixel inside the printable area the warning states.
    printed = [y for y, row in enumerate(raster) if 0 in row]
    columns = [x for row in raster for x in (row.find(0), row.rfind(0)) if x >= 0]
    if min(columns) < left - 1 or max(columns) > right + 1 or printed[0] < top - 1 or \
            printed[-1] > bottom + 1:
        raise Failure(f"{name}: printed from ({min(columns)}, {printed[0]}) to "
                      f"({max(columns)}, {printed[-1]}), outside the printable area from "
                      f"({left}, {top}) to ({right:.1f}, {bottom:.1f})")
    if warned_mm:
        across = (max(columns) - min(columns)) * 25.4 / PPI
        down = (printed[-1] - printed[0]) * 25.4 / PPI
        # The warning measures the area as the page lies on it.
        spread_mm = (down, across) if turned else (across, down)
        if spread_mm[0] > warned_mm[0] + 0.1 or spread_mm[1] > warned_mm[1] + 0.1:
            raise Failure(f"{name}: printed over {spread_mm} mm, more than the printable area "
                          f"the warning states, {warned_mm} mm")


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    render = argv[2]
    missing = [tool for tool in TOOLS
               if shutil.which(tool) is None and not os.path.exists("/usr/sbin/" + tool)]
    if missing:
        # The test fails, it does not skip: scripts/install-deps.sh installs every tool.
        print("print_everywhere_e2e: FAILED: missing " + ", ".join(missing))
        return 1
    root = tempfile.mkdtemp(prefix="lumigrid-everywhere-")
    printer = Printer(root)
    cups = PrivateCups()
    try:
        printer.start()
        try:
            cups.start()
        except Unavailable as reason:
            raise Failure(f"the private CUPS server cannot start: {reason}")
        cups.lp("lpadmin", "-p", QUEUE, "-E", "-v", printer.uri, "-m", "everywhere")
        ppd = cups.path("etc", "ppd", QUEUE + ".ppd")
        for row, paper, turned in CASES:
            name = row.split()[0]
            printed = subprocess.run([render, "--page", row, "--print", QUEUE], env=cups.env,
                                     capture_output=True, text=True)
            job = re.search(rf"Sent to {QUEUE} as job (\d+)", printed.stdout)
            if printed.returncode != 0 or not job:
                raise Failure(f"{row}: {printed.stdout} {printed.stderr}")
            warned = re.search(r"printable area of the \S+ paper of \S+ \(([\d.]+) x ([\d.]+) mm\)",
                               printed.stderr)
            warned_mm = tuple(float(v) for v in warned.groups()) if warned else None
            wait_until(f"job {job.group(1)} on the printer", JOB_LIMIT_S,
                       lambda: cups.job_state(int(job.group(1))) == "completed" and
                       printer.raster(job.group(1)))
            time.sleep(1)  # the printer has written its file when the queue calls it completed
            head, raster = read_pwg(printer.raster(job.group(1)))
            if head["dpi"] != PPI:
                raise Failure(f"{row}: the printer got {head['dpi']} dpi")
            pdf = os.path.join(root, name + ".pdf")
            subprocess.run([render, "--page", row, "-o", pdf], check=True)
            subprocess.run(["pdfimages", pdf, os.path.join(root, name)], check=True)
            page = read_pbm(os.path.join(root, name + "-000.pbm"))
            paper_pt, area_pt = imageable_area(ppd, paper)
            check_sheet(row, page, raster, turned, paper_pt, area_pt, warned_mm)
        print("print_everywhere_e2e: passed")
        return 0
    except (Failure, subprocess.CalledProcessError, RuntimeError) as failure:
        print("print_everywhere_e2e: FAILED: " + str(failure))
        print("files kept in " + root)
        root = None
        return 1
    finally:
        cups.remove()
        printer.stop()
        if root:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
