#!/usr/bin/env python3
"""The installed program, as a distribution's user meets it.

layout: installs the build into a folder (DESTDIR), checks that every file is where the desktop
expects it, validates the desktop entry, the AppStream metadata and the manual pages, and runs the
installed programs' --help and --version without a display.

gui: installs the same way, copies the installed programs into a folder nobody may write (as
/usr/bin is) and runs lumigrid there under Xvfb as an unprivileged user: a pattern key, a close that
ends the program, the settings in the user's configuration folder, and the next start showing the
pattern again.

render: installs the same way and runs the installed lumigrid-render without --settings as an
unprivileged user: it draws the colour chart lumigrid finds (the user's file, else the installed
library under $XDG_CONFIG_DIRS, else the default chart) and writes no settings file.

usage: installed_e2e.py layout|gui|render BUILD_DIR VERSION
"""
import os
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache folder left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import X_TOOLS, Failure, Program, Session, need_tools, shows_rendering  # noqa: E402

INSTALLED = [
    "usr/bin/lumigrid",
    "usr/bin/lumigrid-render",
    "usr/share/applications/org.lumigrid.Lumigrid.desktop",
    "usr/share/metainfo/org.lumigrid.Lumigrid.metainfo.xml",
    "usr/share/man/man1/lumigrid.1.gz",
    "usr/share/man/man1/lumigrid-render.1.gz",
    "usr/share/doc/lumigrid/README.md",
    "usr/share/doc/lumigrid/LICENSE",
    "usr/share/doc/lumigrid/copyright",
    "etc/xdg/lumigrid/lumigrid.INI",
]
ICON = "usr/share/icons/hicolor/{0}x{0}/apps/org.lumigrid.Lumigrid.png"
ICON_SIZES = (48, 128, 256)


def install(build, root):
    result = subprocess.run(["cmake", "--install", build, "--prefix", "/usr"],
                            env=dict(os.environ, DESTDIR=root), capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure("cmake --install failed: " + result.stderr.strip())


def checked(args, what, env=None):
    """Runs a validator; any complaint fails the test, warnings included."""
    result = subprocess.run(args, capture_output=True, text=True, env=env)
    complaints = (result.stdout + result.stderr).strip()
    if result.returncode != 0:
        raise Failure(f"{what}: {' '.join(args)} exited {result.returncode}:\n{complaints}")
    return complaints


def png_size(path):
    with open(path, "rb") as file:
        head = file.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure(path + " is not a PNG file")
    return struct.unpack(">II", head[16:24])


def no_display_env():
    env = dict(os.environ, LC_ALL="C")
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    return env


def layout(build, version, root):
    missing = [tool for tool in ("desktop-file-validate", "appstreamcli", "man")
               if shutil.which(tool) is None]
    if missing:
        print("SKIPPED, NOTHING CHECKED: missing " + ", ".join(missing) +
              " (scripts/install-deps.sh installs them)")
        sys.exit(77)
    install(build, root)
    wanted = INSTALLED + [ICON.format(size) for size in ICON_SIZES]
    absent = [path for path in wanted if not os.path.isfile(os.path.join(root, path))]
    if absent:
        raise Failure("not installed: " + ", ".join(absent))
    for size in ICON_SIZES:
        found = png_size(os.path.join(root, ICON.format(size)))
        if found != (size, size):
            raise Failure(f"the {size} px icon is {found[0]}x{found[1]}")

    share = os.path.join(root, "usr/share")
    complaints = checked(["desktop-file-validate",
                          os.path.join(share, "applications/org.lumigrid.Lumigrid.desktop")],
                         "desktop entry")
    if complaints:
        raise Failure("desktop entry:\n" + complaints)
    checked(["appstreamcli", "validate", "--no-net", "--pedantic",
             os.path.join(share, "metainfo/org.lumigrid.Lumigrid.metainfo.xml")], "metainfo")
    man_env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
    for page in ("lumigrid.1.gz", "lumigrid-render.1.gz"):
        path = os.path.join(share, "man/man1", page)
        result = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", path],
                                capture_output=True, text=True, env=man_env)
        if result.returncode != 0 or result.stderr.strip():
            raise Failure(f"man page {page}:\n{result.stderr.strip()}")
        if "SYNOPSIS" not in result.stdout:
            raise Failure(f"man page {page} shows no SYNOPSIS")

    # Both programs answer --help and --version on standard output with no display at all.
    for program in ("lumigrid-render", "lumigrid"):
        path = os.path.join(root, "usr/bin", program)
        for option, expected in (("--help", "--version"), ("--version", f"{program} {version}\n")):
            result = subprocess.run([path, option], capture_output=True, text=True,
                                    env=no_display_env(), timeout=60)
            if result.returncode != 0 or expected not in result.stdout:
                raise Failure(f"{program} {option} exited {result.returncode}, printed "
                              f"{result.stdout!r} and on standard error {result.stderr!r}")
        result = subprocess.run([path, "--no-such-option"], capture_output=True, text=True,
                                env=no_display_env(), timeout=60)
        if result.returncode != 2 or "usage" not in result.stderr.lower():
            raise Failure(f"{program} --no-such-option exited {result.returncode}: "
                          f"{result.stderr!r}")


def unprivileged_prefix():
    """The command prefix that runs a program as an ordinary user, and that user's uid/gid."""
    if os.getuid() != 0:
        return [], os.getuid(), os.getgid()
    if shutil.which("setpriv") is None:
        print("SKIPPED, NOTHING CHECKED: setpriv missing to run as nobody")
        sys.exit(77)
    import pwd
    nobody = pwd.getpwnam("nobody")
    return (["setpriv", "--reuid=" + str(nobody.pw_uid), "--regid=" + str(nobody.pw_gid),
             "--clear-groups", "--inh-caps=-all"],
            nobody.pw_uid, nobody.pw_gid)


def reachable_by_others(folder):
    """True when every folder from / down to `folder` lets other users through."""
    folder = os.path.realpath(folder)
    while True:
        if not os.stat(folder).st_mode & stat.S_IXOTH:
            return False
        parent = os.path.dirname(folder)
        if parent == folder:
            return True
        folder = parent


# The administrator's file beside the installed program: a start-up pattern and a colour chart
# for every user, read where the user's own file says nothing.
ADMIN_SETTINGS = """[latest pattern]
latest pattern=8

[Dynamic Range red]
color X=1
color Y=1
border=0
1_R=255
1_G=0
1_B=0
"""


def write_launcher(path, prefix, bin_dir):
    """A script that starts the installed lumigrid as the user `prefix` runs programs as."""
    with open(path, "w") as file:
        file.write("#!/bin/sh\nexec " + " ".join(prefix) + " " +
                   os.path.join(bin_dir, "lumigrid") + "\n")
    os.chmod(path, 0o755)
    return path


def prepared_charts(session, root, workdir, prefix, uid, gid):
    """A user without a settings file, on a system with only the installed administrator's
    defaults: keys 1 and 6 show the prepared charts, as lumigrid-render draws them."""
    bin_dir = os.path.join(workdir, "bin-alone")
    shutil.copytree(os.path.join(root, "usr/bin"), bin_dir)
    os.chmod(bin_dir, 0o555)
    xdg = os.path.join(workdir, "xdg")
    shutil.copytree(os.path.join(root, "etc/xdg"), xdg)
    for folder, _, files in os.walk(xdg):
        os.chmod(folder, 0o755)
        for name in files:
            os.chmod(os.path.join(folder, name), 0o644)
    library = os.path.join(xdg, "lumigrid", "lumigrid.INI")
    home = os.path.join(workdir, "home-charts")
    os.mkdir(home, 0o700)
    os.chown(home, uid, gid)
    session.env["HOME"] = home
    session.env["XDG_CONFIG_HOME"] = os.path.join(home, "config")
    session.env["XDG_CONFIG_DIRS"] = xdg
    launcher = write_launcher(os.path.join(workdir, "start-lumigrid-alone"), prefix, bin_dir)
    render = os.path.join(bin_dir, "lumigrid-render")
    program = Program(session, launcher)
    size = program.geometry()[2:]
    # The first paint's repaint timer draws the stored pattern once, a second after the window
    # shows; for a colour chart that drawing steps to the next chart, so the keys come after it.
    time.sleep(2)
    keys = []
    for key in ("1", "1", "1", "6"):
        program.key(key)
        keys.append(key)
        shows_rendering(program, render, ",".join(keys), size, "prepared-" + str(len(keys)),
                        library)
    status = program.close()
    os.chmod(bin_dir, stat.S_IRWXU)
    if status != 0:
        raise Failure(f"the run with the prepared charts exited with {status}")


def gui(build, version, root):
    need_tools(X_TOOLS + ["setpriv"] if os.getuid() == 0 else X_TOOLS)
    install(build, root)
    prefix, uid, gid = unprivileged_prefix()
    # The build tree may sit below a folder only its owner can enter (a home folder): the user
    # who runs the program gets a fresh folder of its own under one that everybody may enter.
    parent = tempfile.gettempdir()
    if not reachable_by_others(parent):
        parent = "/tmp"
    workdir = tempfile.mkdtemp(prefix="lumigrid-installed-", dir=parent)
    os.chmod(workdir, 0o755)
    session = Session(workdir)
    bin_dir = os.path.join(workdir, "bin")
    try:
        # The programs and the administrator's settings in a folder nobody may write, like
        # /usr/bin.
        shutil.copytree(os.path.join(root, "usr/bin"), bin_dir)
        admin = os.path.join(bin_dir, "lumigrid.INI")
        with open(admin, "w") as file:
            file.write(ADMIN_SETTINGS)
        os.chmod(admin, 0o444)
        os.chmod(bin_dir, 0o555)
        home = os.path.join(workdir, "home")
        runtime = os.path.join(workdir, "runtime")
        for folder in (home, runtime):
            os.mkdir(folder, 0o700)
            os.chown(folder, uid, gid)
        session.start_x()
        session.env["XDG_RUNTIME_DIR"] = runtime
        session.env["HOME"] = home
        # Not there yet: the program makes it at its first close.
        config = os.path.join(home, "config")
        session.env["XDG_CONFIG_HOME"] = config
        if prefix:  # X grants local connections; make sure this user gets one
            probe = subprocess.run(prefix + ["xdpyinfo"], env=session.env, capture_output=True)
            if probe.returncode != 0:
                raise Failure("the unprivileged user cannot reach the X server")
            probe = subprocess.run(prefix + [os.path.join(bin_dir, "lumigrid"), "--version"],
                                   env=session.env, capture_output=True, text=True)
            if probe.returncode != 0:
                raise Failure("the unprivileged user cannot run the installed copy: " +
                              probe.stderr.strip())
        launcher = write_launcher(os.path.join(workdir, "start-lumigrid"), prefix, bin_dir)
        render = os.path.join(bin_dir, "lumigrid-render")
        settings = os.path.join(config, "lumigrid", "lumigrid.INI")

        # First start: the administrator's pattern, then the administrator's colour chart.
        program = Program(session, launcher)
        size = program.geometry()[2:]
        shows_rendering(program, render, "8", size, "installed-first")
        program.key("1")
        shows_rendering(program, render, "8,1", size, "installed-chart", admin)
        status = program.close()
        if status != 0:
            raise Failure(f"the installed lumigrid exited with {status} after its close")
        if not os.path.isfile(settings):
            raise Failure("no settings file in $XDG_CONFIG_HOME/lumigrid after the close")
        with open(settings, encoding="utf-8", errors="replace") as file:
            stored = file.read()
        if "latest pattern=1" not in (line.strip() for line in stored.splitlines()):
            raise Failure("settings file after close:\n" + stored)
        if os.stat(settings).st_uid != uid:
            raise Failure("the settings file does not belong to the user who ran the program")
        if sorted(os.listdir(bin_dir)) != ["lumigrid", "lumigrid-render", "lumigrid.INI"]:
            raise Failure("files appeared beside the installed programs: " +
                          ", ".join(os.listdir(bin_dir)))
        with open(admin) as file:
            if file.read() != ADMIN_SETTINGS:
                raise Failure("the administrator's settings file changed")

        # Next start: the user's pattern, the chart still from the administrator's file.
        program = Program(session, launcher)
        shows_rendering(program, render, "1", program.geometry()[2:], "installed-next-start",
                        admin)
        status = program.close()
        if status != 0:
            raise Failure(f"the second run exited with {status}")
        prepared_charts(session, root, workdir, prefix, uid, gid)
        os.chmod(bin_dir, stat.S_IRWXU)
        shutil.rmtree(workdir, ignore_errors=True)
        workdir = None
    finally:
        session.stop()
        if workdir:
            os.chmod(bin_dir, stat.S_IRWXU)
            print("files kept in " + workdir)


# The user's own colour charts, which win over the installed library.
USER_CHARTS = """[Dynamic Range mine]
color X=2
color Y=1
border=0
1_G=255
2_B=255
"""

# lumigrid-render --keys 1 without --settings: (row, the user's own file, whether the library is
# installed under $XDG_CONFIG_DIRS, the file whose chart it must draw: "user", "library" or None
# for the default chart).
RENDER_CASES = (
    ("library_only", None, True, "library"),
    ("user_file_first", USER_CHARTS, True, "user"),
    ("no_file_at_all", None, False, None),
)


def file_bytes(folder):
    """Every file below `folder` with its bytes."""
    found = {}
    for parent, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(parent, name)
            with open(path, "rb") as file:
                found[path] = file.read()
    return found


def render_case(root, parent, prefix, uid, gid, case):
    name, user_charts, library_installed, drawn_from = case
    workdir = tempfile.mkdtemp(prefix="lumigrid-render-" + name + "-", dir=parent)
    os.chmod(workdir, 0o755)
    bin_dir = os.path.join(workdir, "bin")
    try:
        # The programs in a folder nobody may write, like /usr/bin: no settings beside them.
        shutil.copytree(os.path.join(root, "usr/bin"), bin_dir)
        os.chmod(bin_dir, 0o555)
        xdg = os.path.join(workdir, "xdg")
        if library_installed:
            shutil.copytree(os.path.join(root, "etc/xdg"), xdg)
        else:
            os.mkdir(xdg)
        for folder, _, files in os.walk(xdg):
            os.chmod(folder, 0o755)
            for file_name in files:
                os.chmod(os.path.join(folder, file_name), 0o644)
        library = os.path.join(xdg, "lumigrid", "lumigrid.INI")
        home, out = os.path.join(workdir, "home"), os.path.join(workdir, "out")
        config = os.path.join(home, "config")
        user_file = os.path.join(config, "lumigrid", "lumigrid.INI")
        folders = [home, out] + ([config, os.path.dirname(user_file)] if user_charts else [])
        for folder in folders:
            os.mkdir(folder, 0o700)
            os.chown(folder, uid, gid)
        if user_charts:
            with open(user_file, "w") as file:
                file.write(user_charts)
            os.chown(user_file, uid, gid)
        empty = os.path.join(out, "empty.INI")  # the default chart, with nothing written
        open(empty, "w").close()

        env = no_display_env()
        env.update(HOME=home, XDG_CONFIG_HOME=config, XDG_CONFIG_DIRS=xdg)
        render = os.path.join(bin_dir, "lumigrid-render")
        before = {**file_bytes(home), **file_bytes(xdg)}
        drawn = os.path.join(out, "drawn.bmp")
        result = subprocess.run(prefix + [render, "--keys", "1", "--log", "-o", drawn], env=env,
                                capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise Failure(f"{name}: lumigrid-render exited {result.returncode}: "
                          f"{result.stderr.strip()}")
        after = {**file_bytes(home), **file_bytes(xdg)}
        if after != before:
            changed = sorted(path for path in set(before) | set(after)
                             if before.get(path) != after.get(path))
            raise Failure(f"{name}: lumigrid-render without --settings wrote " +
                          ", ".join(changed))

        source = {"user": user_file, "library": library, None: empty}[drawn_from]
        pictures = {}
        for label, settings in (("expected", source), ("default", empty)):
            pictures[label] = os.path.join(out, label + ".bmp")
            subprocess.run([render, "--keys", "1", "--settings", settings, "-o",
                            pictures[label]], env=env, check=True, capture_output=True,
                           timeout=120)
        with open(drawn, "rb") as file:
            drawn_bytes = file.read()
        with open(pictures["expected"], "rb") as file:
            if file.read() != drawn_bytes:
                raise Failure(f"{name}: lumigrid-render --keys 1 did not draw the chart of "
                              f"{source}")
        if drawn_from:
            with open(pictures["default"], "rb") as file:
                if file.read() == drawn_bytes:
                    raise Failure(f"{name}: the chart of {source} is the default chart; the "
                                  "test cannot tell them apart")
            if source not in result.stderr:
                raise Failure(f"{name}: --log did not name {source}: {result.stderr.strip()}")
    finally:
        os.chmod(bin_dir, stat.S_IRWXU)
        shutil.rmtree(workdir, ignore_errors=True)


def render_mode(build, version, root):
    if os.getuid() == 0:
        need_tools(["setpriv"])
    install(build, root)
    prefix, uid, gid = unprivileged_prefix()
    parent = tempfile.gettempdir()
    if not reachable_by_others(parent):
        parent = "/tmp"
    for case in RENDER_CASES:
        render_case(root, parent, prefix, uid, gid, case)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("layout", "gui", "render"):
        print(__doc__)
        return 2
    mode, build, version = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    root = os.path.join(build, "installed-" + mode)
    shutil.rmtree(root, ignore_errors=True)
    try:
        {"layout": layout, "gui": gui, "render": render_mode}[mode](build, version, root)
    except Failure as failure:
        print(f"installed {mode}: FAILED: {failure}")
        return 1
    print(f"installed {mode}: passed")
    shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
