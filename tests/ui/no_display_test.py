#!/usr/bin/env python3
"""lumigrid without a display it can open: one line on standard error naming what it could not
open, exit status 1, no abort and no core; --help and --version still work.

usage: no_display_test.py LUMIGRID
"""
import os
import subprocess
import sys

CASES = [
    # name, extra arguments, environment changes, text the one line must hold
    ("no DISPLAY", [], {"DISPLAY": None}, "DISPLAY is not set"),
    ("unknown platform", ["--platform", "nonexistent"], {}, '"nonexistent"'),
    ("display with no server", ["--display", ":89"], {"DISPLAY": ":88"}, '":89"'),
]


def main():
    program = sys.argv[1]
    failures = []
    base = dict(os.environ)
    for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        base.pop(name, None)
    for name, arguments, changes, wanted in CASES:
        env = dict(base)
        for key, value in changes.items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
        result = subprocess.run([program] + arguments, env=env, capture_output=True, text=True,
                                timeout=60)
        lines = result.stderr.strip().splitlines()
        if result.returncode != 1 or len(lines) != 1 or wanted not in lines[0]:
            failures.append(f"{name}: status {result.returncode}, stderr {result.stderr!r}")
    for option, wanted in (("--help", "lumigrid(1)"), ("--version", "lumigrid ")):
        env = dict(base)
        env.pop("DISPLAY", None)
        result = subprocess.run([program, option], env=env, capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0 or wanted not in result.stdout:
            failures.append(f"{option}: status {result.returncode}, stdout {result.stdout!r}")
    # Options that would have Qt read an endless file are refused before anything starts.
    for sheet in ("/dev/zero", "/nonexistent.qss"):
        result = subprocess.run([program, "-stylesheet", sheet], env=base, capture_output=True,
                                text=True, timeout=60)
        if result.returncode != 2 or sheet not in result.stderr:
            failures.append(f"-stylesheet {sheet}: status {result.returncode}, "
                            f"stderr {result.stderr!r}")
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
