#!/usr/bin/python3
"""Prints what a screen reader sees of one application through at-spi, one JSON object per
line: depth, role, name, description, whether it can take the focus, has it, and shows.

Run with Debian's own python3, which has pyatspi (python3-pyatspi).

usage: accessible_tree.py APPLICATION_NAME
"""
import json
import sys

import pyatspi


def walk(node, depth, out):
    try:
        states = node.getState()
        out.append({"depth": depth, "role": node.getRoleName(), "name": node.name or "",
                    "description": node.description or "",
                    "focusable": states.contains(pyatspi.STATE_FOCUSABLE),
                    "focused": states.contains(pyatspi.STATE_FOCUSED),
                    "showing": states.contains(pyatspi.STATE_SHOWING)})
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a window closing while it is read: what was read stands
        return
    for child in children:
        if child is not None:
            walk(child, depth + 1, out)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    desktop = pyatspi.Registry.getDesktop(0)
    out = []
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.name == sys.argv[1]:
            walk(app, 0, out)
    for entry in out:
        print(json.dumps(entry))
    return 0


if __name__ == "__main__":
    sys.exit(main())
