#!/usr/bin/env python3
"""Prints a colour chart on the whole of a paper through a private CUPS server and reads back
what the queues got.

lumigrid-render draws colour chart 6 on A4 at 300 and 600 dpi by each colour route, saves the
sheet as TIFF and prints it in the same run, so the file and the job carry the same strip. For
each sheet:
  - the TIFF records the resolution, and on the sRGB route the sRGB profile (read with Little
    CMS 2 through Pillow's ImageCms);
  - the job asks for what was chosen: media, printer-resolution, print-color-mode color, and
    cm-calibration (colour management off) on the device route only; its name says the route;
  - the job's own document (kept in the server's spool) holds the sheet as one image at the
    chosen resolution, pixel for pixel the TIFF's, DeviceRGB on the device route and an
    ICC-based colour space holding the sRGB profile on the sRGB route (read with qpdf);
  - cups-pdf's file holds the same pixels at 300 dpi; at 600 dpi its prepress settings
    resample colour images, and the program said so before sending;
  - an IPP Everywhere printer (ippeveprinter behind the server, as the page's printing tests
    set it up) receives colour raster at the chosen resolution holding the TIFF's pixels.

usage: colour_print_e2e.py LUMIGRID_RENDER
"""
import io
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.dont_write_bytecode = True  # no cache folder left in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "print"))
from private_cups import PrivateCups, Unavailable  # noqa: E402
from print_everywhere_e2e import QUEUE as EVERYWHERE, Failure, Printer, wait_until  # noqa: E402

try:
    from PIL import Image, ImageCms
except ImportError:
    # Debian's python3-pil belongs to the system's interpreter, which another one found first
    # may not be; without it the test fails, it does not skip.
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and \
            os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    Image = ImageCms = None

JOB_LIMIT_S = 180
TOOLS = ["ippeveprinter", "ipptool", "dbus-daemon", "pdfimages", "qpdf", "cupsd", "lpadmin"]
# The colour checker's 24 patches in published sRGB values, no labels.
CHECKER = [(115, 82, 68), (194, 150, 130), (98, 122, 157), (87, 108, 67), (133, 128, 177),
           (103, 189, 170), (214, 126, 44), (80, 91, 166), (193, 90, 99), (94, 60, 108),
           (157, 188, 64), (224, 163, 46), (56, 61, 150), (70, 148, 73), (175, 54, 60),
           (231, 199, 31), (187, 86, 149), (8, 133, 161), (243, 243, 242), (200, 200, 200),
           (160, 160, 160), (122, 122, 121), (85, 85, 85), (52, 52, 52)]
A4 = {300: (2480, 3508), 600: (4961, 7016)}
# (row, dpi, --colour)
CASES = [("300 dpi device values", 300, "device"), ("300 dpi sRGB", 300, "srgb"),
         ("600 dpi device values", 600, "device"), ("600 dpi sRGB", 600, "srgb")]
GET_JOB = """{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri job-uri $uri
  ATTR name requesting-user-name $user
  ATTR keyword requested-attributes all
  STATUS successful-ok
}
"""


class ColourPrinter(Printer):
    """The page's printing tests' IPP Everywhere printer, in colour: ippeveprinter is a colour
    printer (sRGB raster beside grey, print-color-mode color) once it has a colour speed."""

    def spawn(self, *argv):
        if os.path.basename(argv[0]) == "ippeveprinter":
            argv = (argv[0], "-s", "10,10", *argv[1:])
        super().spawn(*argv)


def write_settings(path):
    lines = ["[color checker]", "color X=6", "color Y=4", "border=0.1", "text=0"]
    for n, (r, g, b) in enumerate(CHECKER, 1):
        lines += [f"{n}_R={r}", f"{n}_G={g}", f"{n}_B={b}"]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def job_attributes(cups, root, job):
    """The job's attributes as the server holds them: name -> value text."""
    test = os.path.join(root, "get-job.test")
    with open(test, "w") as f:
        f.write(GET_JOB)
    server = urllib.parse.quote(cups.socket, safe="")
    result = subprocess.run(["ipptool", "-tv", f"ipp://{server}/jobs/{job}", test],
                            env=cups.env, capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure(f"Get-Job-Attributes of job {job}: {result.stdout[-2000:]}")
    found = {}
    for line in result.stdout.splitlines():
        m = re.match(r"\s+([a-z0-9-]+) \([^)]*\) = (.*)$", line)
        if m:
            found[m.group(1)] = m.group(2)
    return found


def pdf_image(pdf, root, tag):
    """The one image of a PDF: its pixels (Pillow, RGB), its ppi and its colour space as qpdf
    reads it (the ICC profile's bytes when ICC-based, else the space's name)."""
    listed = subprocess.run(["pdfimages", "-list", pdf], capture_output=True, text=True,
                            check=True).stdout.splitlines()[2:]
    if len(listed) != 1:
        raise Failure(f"{pdf}: {len(listed)} images, not one")
    fields = listed[0].split()
    ppi = (float(fields[12]), float(fields[13]))
    prefix = os.path.join(root, tag)
    subprocess.run(["pdfimages", "-png", pdf, prefix], check=True)
    pixels = Image.open(prefix + "-000.png").convert("RGB")
    data = json.loads(subprocess.run(["qpdf", "--json", "--json-stream-data=inline",
                                      "--decode-level=generalized", pdf],
                                     capture_output=True, text=True, check=True).stdout)
    objects = data["qpdf"][1]
    space = None
    for key, value in objects.items():
        stream = value.get("stream") if isinstance(value, dict) else None
        if stream and stream["dict"].get("/Subtype") == "/Image":
            space = stream["dict"]["/ColorSpace"]
    if isinstance(space, list) and space[0] == "/ICCBased":
        profile = objects["obj:" + space[1]]["stream"]
        import base64
        space = base64.b64decode(profile["data"])
    return pixels, ppi, space


def profile_description(icc):
    """The profile's description, read by Little CMS 2 (Pillow's ImageCms)."""
    return ImageCms.getProfileDescription(ImageCms.ImageCmsProfile(io.BytesIO(icc))).strip()


def read_colour_pwg(path):
    """The first page of a PWG raster file of 8-bit sRGB: its header's numbers and its rows."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RaS2":
        raise Failure(f"{path} is not PWG raster")
    header = data[4:4 + 1796]
    number = lambda offset: struct.unpack(">I", header[offset:offset + 4])[0]  # noqa: E731
    head = {"dpi": number(276), "width": number(372), "height": number(376),
            "bits": number(388), "bytes": number(392), "space": number(400),
            "colour": header[256:320].split(b"\0")[0].decode(errors="replace")}
    if head["bits"] != 24:
        raise Failure(f"not 8-bit colour raster: {head}")
    pixel, rows, position, width = 3, [], 4 + 1796, head["bytes"]
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
                line += data[position:position + pixel] * (count + 1)
                position += pixel
            else:
                line += data[position:position + pixel * (257 - count)]
                position += pixel * (257 - count)
        rows.extend([bytes(line)] * repeat)
    return head, rows[:head["height"]]


def same_pixels(name, expected, got):
    if expected.size != got.size:
        raise Failure(f"{name}: {got.size[0]} x {got.size[1]} pixels, not "
                      f"{expected.size[0]} x {expected.size[1]}")
    if expected.tobytes() != got.tobytes():
        raise Failure(f"{name}: the pixels differ from the saved TIFF's")


def check_raster(name, sheet, raster):
    """The printer's raster holds the sheet's pixels: every 53rd row, inside a 10 mm border
    (the printer's margins may blank the sheet's edges)."""
    width, height = sheet.size
    inset = width // 21  # 10 mm of an A4 sheet's 210
    rgb = sheet.tobytes()
    for y in range(inset, height - inset, 53):
        want = rgb[(y * width + inset) * 3:(y * width + width - inset) * 3]
        got = raster[y][inset * 3:(width - inset) * 3]
        if got != want:
            first = next(i for i in range(len(want)) if got[i] != want[i]) // 3 + inset
            raise Failure(f"{name}: row {y} of the printed raster differs from the sheet from "
                          f"column {first}: {tuple(got[(first - inset) * 3:(first - inset) * 3 + 3])}"
                          f" for {tuple(want[(first - inset) * 3:(first - inset) * 3 + 3])}")


def run_case(render, cups, printer, root, name, dpi, route, printer_job):
    tag = f"{dpi}-{route}"
    tiff = os.path.join(root, tag + ".tif")
    settings = os.path.join(root, "lumigrid.INI")
    base = [render, "--keys", "6", "--paper", "A4", "--dpi", str(dpi), "--colour", route,
            "--settings", settings]
    printed = subprocess.run(base + ["-o", tiff, "--print", "PDF"], env=cups.env,
                             capture_output=True, text=True)
    job = re.search(r"Sent to PDF as job (\d+)", printed.stdout)
    if printed.returncode != 0 or not job:
        raise Failure(f"{name}: {printed.stdout} {printed.stderr}")
    job = int(job.group(1))

    saved = Image.open(tiff)
    if saved.size != A4[dpi] or tuple(round(v) for v in saved.info.get("dpi", ())) != (dpi, dpi):
        raise Failure(f"{name}: the TIFF is {saved.size} at {saved.info.get('dpi')} ppi")
    icc = saved.info.get("icc_profile")
    if route == "srgb" and (not icc or "sRGB" not in profile_description(icc)):
        raise Failure(f"{name}: the TIFF carries no sRGB profile")
    if route == "device" and icc:
        raise Failure(f"{name}: a device-values TIFF carries a profile")
    sheet = saved.convert("RGB")

    attributes = job_attributes(cups, root, job)
    wanted = {"media": "iso_a4_210x297mm", "printer-resolution": f"{dpi}dpi",
              "print-color-mode": "color"}
    for key, value in wanted.items():
        if attributes.get(key) != value:
            raise Failure(f"{name}: the job's {key} is {attributes.get(key)}, not {value}")
    if (attributes.get("cm-calibration") == "true") != (route == "device"):
        raise Failure(f"{name}: cm-calibration is {attributes.get('cm-calibration')}")
    if ("device values" if route == "device" else "sRGB") not in attributes.get("job-name", ""):
        raise Failure(f"{name}: the job's name {attributes.get('job-name')} hides its route")

    # The job's own document, as the server keeps it.
    document = os.path.join(cups.path("spool"), f"d{job:05d}-001")
    wait_until(f"job {job}'s document", JOB_LIMIT_S, lambda: os.path.exists(document))
    pixels, ppi, space = pdf_image(document, root, tag + "-job")
    if ppi != (dpi, dpi):
        raise Failure(f"{name}: the job's image is at {ppi} ppi")
    same_pixels(name + ", the job's document", sheet, pixels)
    if route == "srgb":
        if not isinstance(space, bytes) or "sRGB" not in profile_description(space):
            raise Failure(f"{name}: the job's colour space is {space}, not the sRGB profile")
    elif space != "/DeviceRGB":
        raise Failure(f"{name}: the job's colour space is {space}, not DeviceRGB")

    # What cups-pdf made of it.
    warned = "resample colour images" in printed.stderr
    if warned != (dpi > 450):
        raise Failure(f"{name}: the resampling warning was {'' if warned else 'not '}given: "
                      f"{printed.stderr}")
    made, made_ppi, _ = pdf_image(cups.wait_for_pdf("PDF", job), root, tag + "-cups-pdf")
    if dpi <= 450:
        if made_ppi != (dpi, dpi):
            raise Failure(f"{name}: cups-pdf's file holds the sheet at {made_ppi} ppi")
        same_pixels(name + ", cups-pdf's file", sheet, made)

    # The IPP Everywhere printer: colour raster at the chosen resolution.
    printed = subprocess.run(base + ["--print", EVERYWHERE, "--wait"], env=cups.env,
                             capture_output=True, text=True)
    job = re.search(rf"Sent to {EVERYWHERE} as job (\d+)", printed.stdout)
    if printed.returncode != 0 or not job:
        raise Failure(f"{name} on {EVERYWHERE}: {printed.stdout} {printed.stderr}")
    # The printer numbers its own jobs: this is its `printer_job`th.
    wait_until(f"job {job.group(1)} on the printer", JOB_LIMIT_S,
               lambda: printer.raster(printer_job))
    time.sleep(1)  # the printer has written its file when the queue calls it completed
    head, raster = read_colour_pwg(printer.raster(printer_job))
    if f"offers no {dpi} dpi" in printed.stderr:
        # The queue's resolutions lack this one: the program said so, and the job went.
        return
    if head["dpi"] != dpi or (head["width"], head["height"]) != A4[dpi]:
        raise Failure(f"{name}: the printer got {head}; the program said {printed.stderr}")
    # The strip's date may have passed a minute between the two runs: the sheet above it only.
    strip = round(10 / 25.4 * dpi) + 1
    check_raster(name + f" on {EVERYWHERE}", sheet.crop((0, 0, sheet.size[0],
                                                          sheet.size[1] - strip)), raster)


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    render = argv[1]
    missing = [tool for tool in TOOLS
               if shutil.which(tool) is None and not os.path.exists("/usr/sbin/" + tool)]
    if missing or Image is None:
        # The test fails, it does not skip: scripts/install-deps.sh installs every tool.
        print("colour_print_e2e: FAILED: missing " + ", ".join(missing + ["python3-pil"] * (Image is None)))
        return 1
    root = tempfile.mkdtemp(prefix="lumigrid-colour-")
    write_settings(os.path.join(root, "lumigrid.INI"))
    printer = ColourPrinter(root)
    cups = PrivateCups()
    try:
        printer.start()
        try:
            cups.start()
        except Unavailable as reason:
            raise Failure(f"the private CUPS server cannot start: {reason}")
        cups.lp("lpadmin", "-p", EVERYWHERE, "-E", "-v", printer.uri, "-m", "everywhere")
        for number, (name, dpi, route) in enumerate(CASES, 1):
            run_case(render, cups, printer, root, name, dpi, route, number)
            print(f"colour_print_e2e: {name}: passed")
        print("colour_print_e2e: passed")
        return 0
    except (Failure, subprocess.CalledProcessError, RuntimeError) as failure:
        print("colour_print_e2e: FAILED: " + str(failure))
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
