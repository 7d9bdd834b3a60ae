#!/usr/bin/env python3
"""A private CUPS server for the printing tests, never the system's.

cupsd runs with its own configuration, spool, cache, state, logs and Unix socket, all in a fresh
temporary folder, and its queues are virtual printers of cups-pdf writing into that folder:

  PDF        A4 by default; the default queue
  PDF-A3     A3 by default
  Office-A4  A4 only: no other paper, no custom sizes, 10-point margins round its imageable area
  Draft      no 600 dpi: 150 and 300 dpi only
  Paused     stopped, with a reason ("Cleaning the print head")
  Rejecting  not accepting jobs ("Closed for the night")

cups-pdf reads its settings from /etc/cups alone. The server runs in a mount namespace of its
own where the private configuration folder is mounted over /etc/cups; where no namespace can be
made, each queue's settings go to /etc/cups/cups-pdf-<unique name>.conf for the server's life.

As a program:  private_cups.py -- PROGRAM [ARGS...]
runs PROGRAM with CUPS_SERVER naming the private server's socket, LUMIGRID_CUPS_PDF_OUT the
folder holding one folder per queue that cups-pdf writes into and LUMIGRID_CUPS_SPOOL the
server's spool, where each job's document stays (d00012-001 for job 12), and exits with
PROGRAM's status.
Exit 77 (skipped) only where the server cannot start here.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import uuid

PPD = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"
BACKEND = "/usr/lib/cups/backend/cups-pdf"
START_LIMIT_S = 20
QUEUES = ("PDF", "PDF-A3", "Office-A4", "Draft", "Paused", "Rejecting")
PAUSED_REASON = "Cleaning the print head"
REJECTING_REASON = "Closed for the night"


class Unavailable(Exception):
    """The private server cannot run on this machine."""


def skip(reason):
    banner = "*" * 72
    print(f"{banner}\nSKIPPED, NOT RUN: {reason}\n"
          f"(scripts/install-deps.sh installs cups and printer-driver-cups-pdf)\n{banner}",
          flush=True)
    sys.exit(77)


def office_ppd(source):
    """The packaged PPD cut down to A4 paper only, with margins and no custom sizes."""
    kept = []
    skipping_custom = False
    for line in source.splitlines():
        if skipping_custom:
            skipping_custom = not line.startswith("*End")
            continue
        if line.startswith("*CustomPageSize"):
            skipping_custom = not line.rstrip().endswith('"')
            continue
        if line.startswith(("*ParamCustomPageSize", "*MaxMediaWidth", "*MaxMediaHeight",
                            "*NonUIOrderDependency: 100 AnySetup *CustomPageSize")):
            continue
        if line.startswith("*VariablePaperSize"):
            kept.append("*VariablePaperSize: False")
            continue
        if line.startswith("*HWMargins"):
            kept.append("*HWMargins: 10 10 10 10")
            continue
        for keyword in ("*PageSize ", "*PageRegion ", "*ImageableArea ", "*PaperDimension "):
            if line.startswith(keyword) and not line.startswith(keyword + "A4/"):
                break
        else:
            if line.startswith("*ImageableArea A4/"):
                line = '*ImageableArea A4/A4: "10 10 585 832"'
            kept.append(line)
    return "\n".join(kept) + "\n"


def draft_ppd(source):
    """The packaged PPD without its 600 dpi and finer resolutions."""
    return "\n".join(line for line in source.splitlines()
                     if not line.startswith(("*Resolution 600dpi", "*Resolution 1200dpi",
                                             "*Resolution 2400dpi"))) + "\n"


class PrivateCups:
    def __init__(self):
        self.root = None
        self.process = None
        self.token = "lumigrid-" + uuid.uuid4().hex[:12]
        self.system_confs = []  # queue settings written into /etc/cups, removed at stop

    # -- paths ---------------------------------------------------------------------------------
    def path(self, *parts):
        return os.path.join(self.root, *parts)

    @property
    def socket(self):
        return self.path("cups.sock")

    @property
    def out_root(self):
        return self.path("out")

    def out_dir(self, queue):
        return self.path("out", queue)

    @property
    def env(self):
        env = dict(os.environ)
        env["CUPS_SERVER"] = self.socket
        env["LUMIGRID_CUPS_PDF_OUT"] = self.out_root
        env["LUMIGRID_CUPS_SPOOL"] = self.path("spool")
        return env

    # -- life ----------------------------------------------------------------------------------
    def start(self):
        for tool in ("cupsd", "lpadmin", "cupsdisable", "cupsreject", "lpstat"):
            if shutil.which(tool) is None and not os.path.exists("/usr/sbin/" + tool):
                raise Unavailable(f"{tool} is missing")
        if not os.path.exists(PPD) or not os.path.exists(BACKEND):
            raise Unavailable("cups-pdf is not installed")
        if os.geteuid() != 0:
            # cups-pdf is a backend only root may run (mode 0700), and cupsd runs it as itself.
            raise Unavailable("cups-pdf runs only under a cupsd started by root")
        self.root = tempfile.mkdtemp(prefix="lumigrid-cups-")
        os.chmod(self.root, 0o755)  # filters run as lp and read the spool below
        for folder in ("etc/ppd", "spool/tmp", "cache", "state", "log", "cups-pdf"):
            os.makedirs(self.path(folder))
        for queue in QUEUES:
            os.makedirs(self.out_dir(queue))
        self.write_configuration()
        try:
            self.start_server()
            self.add_queues()
        except Exception:
            self.stop()
            raise

    def write_configuration(self):
        with open(self.path("etc", "cupsd.conf"), "w") as conf:
            conf.write(f"""Listen {self.socket}
LogLevel debug
MaxLogSize 0
Browsing No
WebInterface No
DefaultAuthType None
ErrorPolicy abort-job
PreserveJobFiles Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
""")
        with open(self.path("etc", "cups-files.conf"), "w") as conf:
            conf.write(f"""ServerRoot {self.path("etc")}
CacheDir {self.path("cache")}
StateDir {self.path("state")}
RequestRoot {self.path("spool")}
TempDir {self.path("spool", "tmp")}
ServerBin /usr/lib/cups
DataDir /usr/share/cups
ErrorLog {self.path("log", "error_log")}
AccessLog {self.path("log", "access_log")}
PageLog {self.path("log", "page_log")}
Printcap {self.path("printcap")}
SystemGroup root
User lp
Group lp
""")

    def cups_pdf_conf(self, queue):
        return f"""Out {self.out_dir(queue)}
AnonDirName {self.out_dir(queue)}
Spool {self.path("cups-pdf")}
Log {self.path("log")}
GSTmp {self.path("spool", "tmp")}
LogType 7
UserUMask 0022
"""

    def device_name(self, queue):
        return f"{self.token}-{queue}"

    def start_server(self):
        etc = self.path("etc")
        command = f'exec cupsd -f -c "{etc}/cupsd.conf" -s "{etc}/cups-files.conf"'
        log = open(self.path("log", "cupsd.out"), "w")
        namespace = subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode == 0
        if namespace:
            # The private folder over /etc/cups in the server's own mount namespace: cups-pdf
            # finds its settings there, and no one else sees them.
            for queue in QUEUES:
                with open(self.path("etc", f"cups-pdf-{self.device_name(queue)}.conf"), "w") as f:
                    f.write(self.cups_pdf_conf(queue))
            command = f'mount --bind "{etc}" /etc/cups && {command}'
            argv = ["unshare", "-m", "--propagation", "private", "sh", "-c", command]
        else:
            for queue in QUEUES:
                conf = f"/etc/cups/cups-pdf-{self.device_name(queue)}.conf"
                try:
                    with open(conf, "w") as f:
                        f.write(self.cups_pdf_conf(queue))
                except OSError as error:
                    raise Unavailable(f"cups-pdf's settings cannot be written: {error}")
                self.system_confs.append(conf)
            argv = ["sh", "-c", command]
        self.process = subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT,
                                        start_new_session=True)
        log.close()
        deadline = time.monotonic() + START_LIMIT_S
        while True:
            if self.process.poll() is not None:
                raise Unavailable("cupsd did not start:\n" + self.log_tail())
            if self.lp("lpstat", "-r", check=False).stdout.strip() == "scheduler is running":
                return
            if time.monotonic() > deadline:
                raise Unavailable("cupsd did not answer:\n" + self.log_tail())
            time.sleep(0.1)

    def log_tail(self, lines=20, mentioning=None):
        """The server's last log lines, or only those mentioning a text (a job's "[Job N]")."""
        text = ""
        for name in ("cupsd.out", "error_log"):
            try:
                with open(self.path("log", name), errors="replace") as f:
                    kept = [line for line in f if mentioning is None or mentioning in line]
                    text += "".join(kept[-lines:])
            except OSError:
                pass
        return text

    def lp(self, *args, check=True):
        result = subprocess.run(list(args), env=self.env, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise RuntimeError(f"{' '.join(args)}: {result.stderr.strip()}")
        return result

    def add_queues(self):
        with open(PPD) as f:
            packaged = f.read()
        ppds = {"Office-A4": self.path("office.ppd"), "Draft": self.path("draft.ppd")}
        with open(ppds["Office-A4"], "w") as f:
            f.write(office_ppd(packaged))
        with open(ppds["Draft"], "w") as f:
            f.write(draft_ppd(packaged))
        for queue in QUEUES:
            options = ["-o", "PageSize=A3"] if queue == "PDF-A3" else []
            self.lp("lpadmin", "-p", queue, "-E", "-v", "cups-pdf:/" + self.device_name(queue),
                    "-P", ppds.get(queue, PPD), *options)
        self.lp("lpadmin", "-d", "PDF")
        self.lp("cupsdisable", "-r", PAUSED_REASON, "Paused")
        self.lp("cupsreject", "-r", REJECTING_REASON, "Rejecting")

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        for conf in self.system_confs:
            try:
                os.remove(conf)
            except OSError:
                pass
        self.system_confs = []

    def remove(self):
        self.stop()
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)
            self.root = None

    # -- results -------------------------------------------------------------------------------
    def wait_for_pdf(self, queue, job_id, limit_s=120):
        """The file cups-pdf writes for a job: <title>-job_<id>.pdf in the queue's folder."""
        suffix = f"-job_{job_id}.pdf"
        deadline = time.monotonic() + limit_s
        while time.monotonic() < deadline:
            for name in os.listdir(self.out_dir(queue)):
                if name.endswith(suffix):
                    state = self.job_state(job_id)
                    if state in ("completed", None):
                        return os.path.join(self.out_dir(queue), name)
            time.sleep(0.2)
        raise RuntimeError(f"no PDF for job {job_id} on {queue} in {os.listdir(self.out_dir(queue))}:\n"
                           + self.log_tail(60, f"[Job {job_id}]"))

    def job_state(self, job_id):
        # "-W all" would list completed jobs too
        listed = self.lp("lpstat", "-W", "not-completed", "-o", check=False).stdout
        for line in listed.splitlines():
            if line.split() and line.split()[0].endswith(f"-{job_id}"):
                return "queued"
        completed = self.lp("lpstat", "-W", "completed", "-o", check=False).stdout
        for line in completed.splitlines():
            if line.split() and line.split()[0].endswith(f"-{job_id}"):
                return "completed"
        return None

    def jobs(self, which="all"):
        """Job ids cupsd still knows, of every queue."""
        listed = self.lp("lpstat", "-W", which, "-o", check=False).stdout
        return [line.split()[0] for line in listed.splitlines() if line.split()]

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.remove()


def main(argv):
    if "--" not in argv:
        print(__doc__)
        return 2
    program = argv[argv.index("--") + 1:]
    cups = PrivateCups()
    try:
        cups.start()
    except Unavailable as reason:
        cups.remove()
        skip(f"the private CUPS server cannot start: {reason}")
    try:
        return subprocess.run(program, env=cups.env).returncode
    finally:
        cups.remove()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
