#!/usr/bin/env python3
"""The README's run command as a new user types it, on the release build the test command made.

`bash scripts/run.sh --version` prints the version and exits 0; run again on the tree it has
just built, it neither configures (build.ninja is not rewritten) nor builds anything (ninja
reports no step); `bash scripts/run.sh` under Xvfb and openbox shows the chart window, and
closing that window ends it with status 0.

usage: readme_commands_e2e.py SOURCE_DIR VERSION
"""
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import Failure, Program, Session, need_tools, run  # noqa: E402

# install-deps, the configure and an up-to-date build come before the program starts.
SCRIPT_LIMIT_S = 300


class ScriptProgram(Program):
    """lumigrid started through scripts/run.sh instead of directly."""

    def __init__(self, session, source_dir):
        self.session = session
        self.process = subprocess.Popen(["bash", os.path.join(source_dir, "scripts", "run.sh")],
                                        cwd=session.workdir, env=session.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True)
        session.processes.append(self.process)
        self.window = None
        deadline = time.monotonic() + SCRIPT_LIMIT_S
        while self.window is None and time.monotonic() < deadline:
            self.window = self.find_window()  # raises when the script ended early
            time.sleep(0.2)
        if self.window is None:
            raise Failure("scripts/run.sh showed no chart window")
        run(session.env, "xdotool", "windowactivate", "--sync", self.window)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    source_dir, version = os.path.abspath(sys.argv[1]), sys.argv[2]
    need_tools()
    script = os.path.join(source_dir, "scripts", "run.sh")

    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    build_ninja = os.path.join(source_dir, "build", "release", "build.ninja")
    for attempt in ("first", "second"):
        written_before = os.stat(build_ninja).st_mtime_ns if os.path.exists(build_ninja) else None
        result = subprocess.run(["bash", script, "--version"], env=env, capture_output=True,
                                text=True, timeout=SCRIPT_LIMIT_S)
        printed = result.stdout.strip().splitlines()
        if result.returncode != 0 or not printed or printed[-1] != f"lumigrid {version}":
            print(f"scripts/run.sh --version ({attempt} run): FAILED: status "
                  f"{result.returncode}, printed {result.stdout.strip()!r}; "
                  f"{result.stderr.strip()[-500:]}")
            return 1
        if attempt == "second":
            # The first run brought the tree up to date; the second must start the program
            # straight away: no configure, no build step (not even CMake re-running itself).
            steps = [line for line in printed if re.match(r"\[\d+/\d+\]", line)]
            if os.stat(build_ninja).st_mtime_ns != written_before:
                print("scripts/run.sh --version (second run): FAILED: it configured the built "
                      "tree again (build.ninja was rewritten)")
                return 1
            if steps:
                print("scripts/run.sh --version (second run): FAILED: it built on an "
                      "up-to-date tree: " + "; ".join(steps[:5]))
                return 1

    workdir = tempfile.mkdtemp(prefix="lumigrid-readme-")
    session = Session(workdir)
    try:
        session.start()
        program = ScriptProgram(session, source_dir)
        status = program.close()
        if status != 0:
            raise Failure(f"scripts/run.sh ended with status {status} after the window closed")
        print("README commands: passed")
        return 0
    except Failure as failure:
        print("README commands: FAILED: " + str(failure))
        return 1
    finally:
        session.stop()


if __name__ == "__main__":
    sys.exit(main())
