#!/usr/bin/env python3
"""Runs the real lumigrid under address-space limits and opens the adjust window.

Under each limit the program either shows the adjust window painted and ends when its chart
window closes, or ends at once with status 1 and a one-line reason; it never waits for ever
(a paint once waited for a helper thread that could not start).

usage: low_memory_e2e.py LUMIGRID LUMIGRID_RENDER
"""
import os
import resource
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_viewer_e2e import find_window  # noqa: E402
from run_e2e import CAPTION, Failure, run, run_scenario  # noqa: E402

# Address-space limits in KiB: several near where the threads or memory run out (which way each
# goes depends on the machine, either is sound; at 340000 the screen readers' bridge once waited
# for ever for a thread the paint threads had left no room for), one with room to spare.
LIMITS_KIB = (250000, 300000, 320000, 340000, 2000000)
REASONS = ("lumigrid: cannot start the threads that draw the windows",
           "lumigrid: not enough memory to go on")
HANG_LIMIT_S = 30  # far beyond any start or paint; past it the program counts as hung


def limited(kib):
    def apply():
        resource.setrlimit(resource.RLIMIT_AS, (kib * 1024, kib * 1024))
    return apply


def ended(process, kib, output_path):
    """None while the process runs; otherwise checks how it ended."""
    status = process.poll()
    if status is None:
        return None
    with open(output_path, encoding="utf-8", errors="replace") as file:
        output = file.read()
    if status != 1 or not any(reason in output for reason in REASONS):
        raise Failure(f"at {kib} KiB lumigrid ended with status {status} and said:\n{output}")
    return status


def wait_or_end(what, condition, process, kib, output_path):
    """Waits for `condition`; True when it came true, False when the program ended soundly."""
    deadline = time.monotonic() + HANG_LIMIT_S
    while time.monotonic() < deadline:
        if ended(process, kib, output_path) is not None:
            return False
        if condition():
            return True
        time.sleep(0.2)
    raise Failure(f"at {kib} KiB lumigrid hung waiting for {what}")


def one_limit(session, executable, kib):
    output_path = os.path.join(session.workdir, f"output-{kib}.txt")
    with open(output_path, "w") as output:
        process = subprocess.Popen([executable], cwd=session.workdir, env=session.env,
                                   stdout=output, stderr=subprocess.STDOUT,
                                   preexec_fn=limited(kib))
    session.processes.append(process)
    try:
        # The window found is kept: the program may end, and the window go, at any moment.
        found = {}

        def window(name, pattern):
            found[name] = find_window(session, pattern)
            return found[name]

        if not wait_or_end("the chart window", lambda: window("chart", "^" + CAPTION),
                           process, kib, output_path):
            return "ended"
        chart = found["chart"]
        run(session.env, "xdotool", "windowactivate", "--sync", chart, check=False)
        time.sleep(2)  # the first paint
        run(session.env, "xdotool", "key", "--delay", "100", "Menu", check=False)
        time.sleep(0.5)
        run(session.env, "xdotool", "key", "--delay", "100", "Down", "Return", check=False)
        if not wait_or_end("the adjust window", lambda: window("adjust", "^Form_menu$"),
                           process, kib, output_path):
            return "ended"
        adjust = found["adjust"]
        shot = os.path.join(session.workdir, f"adjust-{kib}.png")

        def painted():
            if run(session.env, "import", "-window", adjust, shot, check=False).returncode:
                return False
            colours = run(session.env, "identify", "-format", "%k", shot, check=False).stdout
            return colours.strip().isdigit() and int(colours) > 1

        if not wait_or_end("the adjust window's paint", painted, process, kib, output_path):
            return "ended"
        # A program that still answers closes its chart window and ends.
        run(session.env, "xdotool", "windowactivate", "--sync", chart, check=False)
        run(session.env, "xdotool", "key", "alt+F4", check=False)
        try:
            status = process.wait(timeout=HANG_LIMIT_S)
        except subprocess.TimeoutExpired:
            raise Failure(f"at {kib} KiB lumigrid did not end after its chart window closed")
        if status != 0:
            ended(process, kib, output_path)
        return "painted"
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def low_memory_scenario(session, executable, render):
    outcomes = {kib: one_limit(session, executable, kib) for kib in LIMITS_KIB}
    print("outcomes: " + ", ".join(f"{kib} KiB {how}" for kib, how in outcomes.items()))
    if outcomes[LIMITS_KIB[-1]] != "painted":
        raise Failure(f"with {LIMITS_KIB[-1]} KiB the adjust window did not paint")


def main():
    return run_scenario("e2e low memory", "lumigrid-low-memory-", low_memory_scenario)


if __name__ == "__main__":
    sys.exit(main())
