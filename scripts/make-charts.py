#!/usr/bin/env python3
"""Writes charts/lumigrid-charts.INI, the prepared colour charts: keys 1 and 6 step through its
"Dynamic Range" and "color checker" sections in file order. CRLF line ends, ASCII."""
import os

# The 24 patches of the classic colour checker, rows from the top, patches from the left, in
# the 8-bit sRGB values X-Rite publishes for its ColorChecker Classic.
CHECKER = [
    (115, 82, 68), (194, 150, 130), (98, 122, 157), (87, 108, 67), (133, 128, 177),
    (103, 189, 170),
    (214, 126, 44), (80, 91, 166), (193, 90, 99), (94, 60, 108), (157, 188, 64), (224, 163, 46),
    (56, 61, 150), (70, 148, 73), (175, 54, 60), (231, 199, 31), (187, 86, 149), (8, 133, 161),
    (243, 243, 242), (200, 200, 200), (160, 160, 160), (122, 122, 121), (85, 85, 85),
    (52, 52, 52),
]
BAR_ORDER = [(1, 1, 1), (1, 1, 0), (0, 1, 1), (0, 1, 0), (1, 0, 1), (1, 0, 0), (0, 0, 1),
             (0, 0, 0)]  # white, yellow, cyan, green, magenta, red, blue, black


def section(name, columns, rows, colours, border=None, text=False, text_size=None, notes=()):
    lines = [f"; {note}" for note in notes]
    lines += [f"[{name}]", f"color X={columns}", f"color Y={rows}"]
    if border is not None:
        lines.append(f"border={border}")
    if text:
        lines.append("text=1")
    if text_size is not None:
        lines.append(f"text size={text_size}")
    for n, (r, g, b) in enumerate(colours, start=1):
        lines += [f"{n}_R={r}", f"{n}_G={g}", f"{n}_B={b}"]
    return lines + [""]


def grey(v):
    return (v, v, v)


def charts():
    out = ["; lumigrid's prepared colour charts. Key 1 steps through the Dynamic Range sections,",
           "; key 6 through the color checker sections, in this order.", ""]
    for name, colour in [("red", (255, 0, 0)), ("green", (0, 255, 0)), ("blue", (0, 0, 255)),
                         ("cyan", (0, 255, 255)), ("magenta", (255, 0, 255)),
                         ("yellow", (255, 255, 0)), ("50% grey", grey(128))]:
        out += section(f"Dynamic Range solid {name}", 1, 1, [colour], border=0)
    out += section("Dynamic Range 16 grey steps", 16, 1, [grey(17 * i) for i in range(16)],
                   border=0)
    out += section("Dynamic Range 32 grey steps", 32, 1,
                   [grey(round(i * 255 / 31)) for i in range(32)], border=0)
    # Values are printed under each patch, where the next row's border leaves room; the last
    # row's would fall below the window, so the steps take two rows of 8 and a third row holds
    # the reference they are judged against (full black, full white).
    out += section("Dynamic Range near black 0 to 15 above black", 8, 3,
                   [grey(i) for i in range(16)] + [grey(0)] * 8, border="0.2", text=True)
    out += section("Dynamic Range near white 240 to 255 above white", 8, 3,
                   [grey(240 + i) for i in range(16)] + [grey(255)] * 8, border="0.2", text=True)
    ramps = [(17 * i, 0, 0) for i in range(16)] + [(0, 17 * i, 0) for i in range(16)] + \
        [(0, 0, 17 * i) for i in range(16)]
    out += section("Dynamic Range red green blue ramps", 16, 3, ramps, border=0)
    out += section("Dynamic Range 256 step grey ramp", 256, 1, [grey(i) for i in range(256)],
                   border=0)
    notes = ["The 24 patches in the 8-bit sRGB values X-Rite publishes for its ColorChecker",
             "Classic, 6 x 4 as on the card: dark skin, light skin, blue sky, foliage, ..."]
    out += section("color checker 24 patches", 6, 4, CHECKER, notes=notes)
    out += section("color checker 24 patches with values", 6, 4, CHECKER, text=True)
    for percent, level in [(100, 255), (75, 191)]:
        out += section(f"color checker {percent}% colour bars", 8, 1,
                       [tuple(level * c for c in bar) for bar in BAR_ORDER], border=0)
    return out


if __name__ == "__main__":
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(root, "charts", "lumigrid-charts.INI")
    with open(path, "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(charts()))
