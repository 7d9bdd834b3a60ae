"""The screen reader's view for the end-to-end scenarios: a session bus with the at-spi bus on
it, and the accessible tree of a program started in that session.

A session calls start_accessibility(session) after its X server is up; programs it starts
afterwards publish their widgets (Qt does so when QT_LINUX_ACCESSIBILITY_ALWAYS_ON is set), and
accessible_tree(session, name) reads them back as a screen reader would.
"""
import json
import os
import subprocess

from run_e2e import Failure, wait_for

HERE = os.path.dirname(os.path.abspath(__file__))
SYSTEM_PYTHON = "/usr/bin/python3"  # pyatspi comes with Debian's python3
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TOOLS = [SYSTEM_PYTHON, BUS_LAUNCHER, "dbus-daemon"]


def start_accessibility(session):
    """A private session bus and the at-spi bus for `session`; both stop with the session."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           env=session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           text=True)
    session.processes.append(bus)
    address = bus.stdout.readline().strip()
    if not address:
        raise Failure("the session bus did not start")
    session.env["DBUS_SESSION_BUS_ADDRESS"] = address
    session.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    session.env.pop("NO_AT_BRIDGE", None)
    session.processes.append(subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"],
                                              env=session.env, stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL))


def accessible_tree(session, name="lumigrid"):
    """Every accessible object of the application `name`, in tree order."""
    result = subprocess.run([SYSTEM_PYTHON, os.path.join(HERE, "accessible_tree.py"), name],
                            env=session.env, capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise Failure("reading the accessible tree failed: " + result.stderr.strip())
    return [json.loads(line) for line in result.stdout.splitlines() if line.strip()]


def shown_texts(session, roles=("label",), name="lumigrid"):
    """The names of the showing objects of `roles`, in tree order."""
    return [entry["name"] for entry in accessible_tree(session, name)
            if entry["role"] in roles and entry["showing"] and entry["name"]]


def wait_for_text(session, what, condition, roles=("label",)):
    """Waits until one of the showing texts satisfies `condition`, and returns it."""
    def found():
        return next((text for text in shown_texts(session, roles) if condition(text)), None)
    return wait_for(what, found)
