#!/usr/bin/env python3
"""A fake IPP print server on 127.0.0.1 that answers as a broken or hostile one would.

As a program:  fake_ipp_server.py [--default SCENARIO]
listens on a free port of 127.0.0.1, prints that port on its first line of output, and serves
until it is sent SIGTERM or its standard input closes (so that it never outlives the test that
started it). Python 3's standard library only.

Each request's scenario is the queue its printer-uri or its path names (/printers/<scenario>);
a request naming no queue (CUPS-Get-Default) gets the --default scenario ("good" unless set).
--default full-backlog listens without ever taking a connection (its queue of connections kept
full), for the limit on connecting.
A job's scenario also follows its id: Get-Job-Attributes for job N answers as the scenario
that made job N, or as canceled once Cancel-Job named it.

Scenarios:
  good               a well-behaved A4 printer at 600 dpi; jobs complete
  silent             reads the request, never answers, keeps the connection open
  drip               a valid answer, one byte a second
  header-drip        a status line, then a header line every 10 ms without end
  truncated          announces 1000 bytes, sends 10, keeps the connection open
  garbage            answers a line that is no HTTP status, then closes
  short-header       answers half a status line, then closes
  not-ipp            an HTTP 200 answer whose body is not IPP
  huge               a media-col-database of 100 MB, its length announced
  large              a valid answer of 12 MB (a media-col-database of 60000 sizes): the
                     largest a real server might send, read whole
  endless            a chunked answer that never ends
  hostile-texts      a paused queue whose state message clears the terminal, sets its title,
                     prints a fake success and turns the text right to left; the default
                     printer's name and the job's texts alike
  int-max-margins    a media-col-database and margin ranges of 2147483647
  negative-margins   the same with negative margins
  unknown-unit       resolutions whose unit byte IPP does not have
  job-id-minus-5     Print-Job answers job id -5
  job-id-0           Print-Job answers job id 0
  too-large          Print-Job is refused with HTTP 413 at its headers
  no-space           Print-Job answers server-error-internal-error "No space left on device"
                     after part of the document
  closes-mid-document  Print-Job closes the connection after part of the document, no word
  no-job-answer      Print-Job reads the whole document, then never answers
  password           every request is answered 401, asking for a password by Basic
  aborted            jobs go processing, then aborted with the filter's reason
  held               jobs are held
"""
import argparse
import os
import signal
import socket
import socketserver
import struct
import sys
import threading
import time

TAG_OPERATION = 0x01
TAG_JOB = 0x02
TAG_END = 0x03
TAG_PRINTER = 0x04
INTEGER = 0x21
BOOLEAN = 0x22
ENUM = 0x23
RESOLUTION = 0x32
BEGIN_COLLECTION = 0x34
END_COLLECTION = 0x37
TEXT = 0x41
NAME = 0x42
KEYWORD = 0x44
CHARSET = 0x47
LANGUAGE = 0x48
MEMBER_NAME = 0x4A

OP_PRINT_JOB = 0x0002
OP_CANCEL_JOB = 0x0008
OP_GET_JOB_ATTRIBUTES = 0x0009
OP_GET_PRINTER_ATTRIBUTES = 0x000B
OP_CUPS_GET_DEFAULT = 0x4001

HOSTILE = ("\x1b[2J\x1b[H\x1b]0;owned\x07\x1b[32mSent to Q as job 1\x1b[0m\r\n"
           "\u202egnitnirp\u202c \x9b31m\x7fdone\x00")
INT_MAX = 2147483647


def value(tag, name, data):
    name = name.encode()
    return struct.pack(">BH", tag, len(name)) + name + struct.pack(">H", len(data)) + data


def more(tag, data):
    """An additional value of the attribute before."""
    return struct.pack(">BHH", tag, 0, len(data)) + data


def integer(name, number, tag=INTEGER):
    return value(tag, name, struct.pack(">i", number))


def text(name, words, tag=TEXT):
    return value(tag, name, words.encode("utf-8", "surrogateescape"))


def keywords(name, words, tag=KEYWORD):
    out = value(tag, name, words[0].encode())
    for word in words[1:]:
        out += more(tag, word.encode())
    return out


def member(name, data):
    return more(MEMBER_NAME, name.encode()) + data


def media_col(width, length, margin):
    size = (member("x-dimension", more(INTEGER, struct.pack(">i", width)))
            + member("y-dimension", more(INTEGER, struct.pack(">i", length))))
    body = member("media-size", more(BEGIN_COLLECTION, b"") + size + more(END_COLLECTION, b""))
    for side in ("left", "right", "top", "bottom"):
        body += member(f"media-{side}-margin", more(INTEGER, struct.pack(">i", margin)))
    return body


def media_col_database(entries):
    out = []
    for i, (width, length, margin) in enumerate(entries):
        head = (value(BEGIN_COLLECTION, "media-col-database", b"") if i == 0
                else more(BEGIN_COLLECTION, b""))
        out.append(head + media_col(width, length, margin) + more(END_COLLECTION, b""))
    return b"".join(out)


def resolutions(units):
    out = b""
    for i, (dpi, unit) in enumerate(units):
        data = struct.pack(">iiB", dpi, dpi, unit)
        out += value(RESOLUTION, "printer-resolution-supported", data) if i == 0 else more(
            RESOLUTION, data)
    return out


def message(status, request_id, operation=b"", groups=()):
    out = struct.pack(">BBHi", 2, 0, status, request_id)
    out += bytes([TAG_OPERATION])
    out += value(CHARSET, "attributes-charset", b"utf-8")
    out += value(LANGUAGE, "attributes-natural-language", b"en")
    out += operation
    for tag, attributes in groups:
        out += bytes([tag]) + attributes
    return out + bytes([TAG_END])


def printer_attributes(scenario):
    margin = 400
    database = [(21000, 29700, margin), (29700, 42000, margin)]
    supported = [0, 400]
    units = [(600, 3), (300, 3)]
    state = 3
    state_message = ""
    if scenario == "int-max-margins":
        database = [(21000, 29700, INT_MAX), (29700, 42000, INT_MAX)]
        supported = [INT_MAX]
    elif scenario == "negative-margins":
        database = [(21000, 29700, -500), (29700, 42000, -INT_MAX - 1)]
        supported = [-500, -INT_MAX - 1]
    elif scenario == "unknown-unit":
        database = [(21000, 29700, 0), (29700, 42000, 0)]
        supported = [0]
        units = [(600, 7), (300, 200), (150, 0)]
    elif scenario == "hostile-texts":
        state = 5
        state_message = HOSTILE
    attrs = (integer("printer-state", state, ENUM)
             + value(BOOLEAN, "printer-is-accepting-jobs", b"\x01")
             + keywords("media-supported", ["iso_a4_210x297mm", "iso_a3_297x420mm"])
             + keywords("media-default", ["iso_a4_210x297mm"])
             + media_col_database(database)
             + resolutions(units))
    for side in ("left", "right", "top", "bottom"):
        attrs += integer(f"media-{side}-margin-supported", supported[0])
        for other in supported[1:]:
            attrs += more(INTEGER, struct.pack(">i", other))
    if state_message:
        attrs += text("printer-state-message", state_message)
    return attrs


LARGE = {}


def large_answer(request_id):
    """A Get-Printer-Attributes answer of 12 MB: A4 first, then 60000 other sizes."""
    if "body" not in LARGE:
        entries = [(21000, 29700, 400)] + [(10000 + i, 20000 + i, 300) for i in range(60000)]
        attrs = (integer("printer-state", 3, ENUM)
                 + value(BOOLEAN, "printer-is-accepting-jobs", b"\x01")
                 + keywords("media-supported", ["iso_a4_210x297mm"])
                 + keywords("media-default", ["iso_a4_210x297mm"])
                 + media_col_database(entries) + resolutions([(600, 3)]))
        LARGE["body"] = message(0, 1, groups=[(TAG_PRINTER, attrs)])
    body = LARGE["body"]
    return body[:4] + struct.pack(">i", request_id) + body[8:]


class Jobs:
    """Which scenario made which job, and how often each was asked for."""

    def __init__(self):
        self.lock = threading.Lock()
        self.next_id = 100
        self.scenario = {}
        self.asked = {}
        self.cancelled = set()

    def make(self, scenario):
        with self.lock:
            self.next_id += 1
            self.scenario[self.next_id] = scenario
            return self.next_id

    def ask(self, job_id):
        with self.lock:
            self.asked[job_id] = self.asked.get(job_id, 0) + 1
            if job_id in self.cancelled:
                return "cancelled", self.asked[job_id]
            return self.scenario.get(job_id, "good"), self.asked[job_id]

    def cancel(self, job_id):
        with self.lock:
            self.cancelled.add(job_id)


JOBS = Jobs()


def parse_request(data):
    """(operation, request id, {name: [values]}); values are raw bytes."""
    operation, request_id = struct.unpack(">HI", data[2:8])
    attributes = {}
    at = 8
    name = None
    while at < len(data):
        tag = data[at]
        at += 1
        if tag == TAG_END:
            break
        if tag < 0x10:
            continue
        name_length = struct.unpack(">H", data[at:at + 2])[0]
        at += 2
        if name_length:
            name = data[at:at + name_length].decode(errors="replace")
        at += name_length
        value_length = struct.unpack(">H", data[at:at + 2])[0]
        at += 2
        attributes.setdefault(name, []).append(data[at:at + value_length])
        at += value_length
    return operation, request_id, attributes


class Handler(socketserver.StreamRequestHandler):
    default_scenario = "good"

    def read_head(self):
        lines = []
        while True:
            line = self.rfile.readline(65536)
            if not line:
                return None
            if line in (b"\r\n", b"\n"):
                return lines
            lines.append(line.decode("latin-1").rstrip("\r\n"))

    def read_body(self, headers, limit=None):
        if headers.get("transfer-encoding", "").lower() == "chunked":
            body = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0], 16)
                if size == 0:
                    self.rfile.readline()
                    return body
                body += self.rfile.read(size)
                self.rfile.readline()
        length = int(headers.get("content-length", "0"))
        if limit is not None:
            length = min(length, limit)
        return self.rfile.read(length)

    def hold(self):
        """Keeps the connection open without a word until the client leaves."""
        self.connection.settimeout(1.0)
        while True:
            try:
                if not self.connection.recv(65536):
                    return
            except socket.timeout:
                continue
            except OSError:
                return

    def send(self, body, status="200 OK", extra=""):
        head = (f"HTTP/1.1 {status}\r\nContent-Type: application/ipp\r\n"
                f"Content-Length: {len(body)}\r\n{extra}\r\n").encode()
        self.wfile.write(head + body)
        self.wfile.flush()

    def handle(self):
        try:
            while self.serve_one():
                pass
        except (BrokenPipeError, ConnectionResetError, ValueError, struct.error):
            pass

    def serve_one(self):
        head = self.read_head()
        if not head:
            return False
        path = head[0].split(" ")[1] if len(head[0].split(" ")) > 1 else "/"
        headers = {}
        for line in head[1:]:
            key, _, rest = line.partition(":")
            headers[key.strip().lower()] = rest.strip()
        queue = path.rsplit("/", 1)[-1] if path.startswith("/printers/") else ""

        if queue == "too-large":
            # Refused at its headers, as a server with a size limit does; the rest is drained so
            # that the client reads the refusal.
            self.wfile.write(b"HTTP/1.1 413 Request Entity Too Large\r\nContent-Length: 0\r\n"
                             b"Connection: close\r\n\r\n")
            self.wfile.flush()
            self.read_body(headers)
            return False
        if queue == "no-space":
            taken = len(self.read_body(headers, limit=4096))
            answer = message(0x0500, 1, text("status-message", "No space left on device"))
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n"
                             b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(answer)
                             + answer)
            self.wfile.flush()
            self.rfile.read(int(headers.get("content-length", "0")) - taken)
            return False
        if queue == "closes-mid-document":
            self.read_body(headers, limit=4096)
            return False

        body = self.read_body(headers)
        operation, request_id, attributes = parse_request(body)
        if not queue and "printer-uri" in attributes:
            uri = attributes["printer-uri"][0].decode(errors="replace")
            queue = uri.rsplit("/", 1)[-1] if "/printers/" in uri else ""
        scenario = queue or self.default_scenario
        job_id = None
        if "job-id" in attributes:
            job_id = struct.unpack(">i", attributes["job-id"][0])[0]
        if operation == OP_GET_JOB_ATTRIBUTES and job_id is not None:
            scenario, asked = JOBS.ask(job_id)
        else:
            asked = 0
        return self.answer(scenario, operation, request_id, job_id, asked)

    def answer(self, scenario, operation, request_id, job_id, asked):
        if scenario == "silent" or (scenario == "no-job-answer" and operation == OP_PRINT_JOB):
            self.hold()
            return False
        if scenario == "password":
            self.send(b"", status="401 Unauthorized",
                      extra='WWW-Authenticate: Basic realm="lumigrid"\r\n')
            return True
        if scenario == "garbage":
            self.wfile.write(b"\x00\x01garbage that is no status\r\n\r\n\xff\xfe")
            self.wfile.flush()
            return False
        if scenario == "short-header":
            self.wfile.write(b"HTTP/1.1 2")
            self.wfile.flush()
            return False
        if scenario == "truncated":
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n"
                             b"Content-Length: 1000\r\n\r\n\x02\x00\x00\x00\x00\x00\x00\x01\x01"
                             b"\x47")
            self.wfile.flush()
            self.hold()
            return False
        if scenario == "not-ipp":
            self.send(b"<html>this is no print server</html>")
            return True
        if scenario == "huge":
            self.send_huge()
            return False
        if scenario == "large" and operation == OP_GET_PRINTER_ATTRIBUTES:
            self.send(large_answer(request_id))
            return True
        if scenario == "header-drip":
            # Never silent long enough for a client's wait to see no data.
            self.wfile.write(b"HTTP/1.1 200 OK\r\n")
            while True:
                self.wfile.write(b"X-Filler: a\r\n")
                self.wfile.flush()
                time.sleep(0.01)
        if scenario == "endless":
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n"
                             b"Transfer-Encoding: chunked\r\n\r\n")
            chunk = b"\x34" * 65536
            while True:
                self.wfile.write(b"%x\r\n" % len(chunk) + chunk + b"\r\n")
            return False

        if operation == OP_CUPS_GET_DEFAULT:
            name = HOSTILE if scenario == "hostile-texts" else "good"
            body = message(0, request_id, groups=[(TAG_PRINTER, text("printer-name", name, NAME))])
        elif operation == OP_GET_PRINTER_ATTRIBUTES:
            body = message(0, request_id, groups=[(TAG_PRINTER, printer_attributes(scenario))])
        elif operation == OP_PRINT_JOB:
            made = {"job-id-minus-5": -5, "job-id-0": 0}.get(scenario)
            if made is None:
                made = JOBS.make(scenario)
            body = message(0, request_id, groups=[
                (TAG_JOB, integer("job-id", made) + integer("job-state", 3, ENUM))])
        elif operation == OP_GET_JOB_ATTRIBUTES:
            body = message(0, request_id, groups=[(TAG_JOB, self.job_state(scenario, asked))])
        elif operation == OP_CANCEL_JOB:
            if job_id is not None:
                JOBS.cancel(job_id)
            body = message(0, request_id)
        else:
            body = message(0x0501, request_id, text("status-message", "not supported here"))

        if scenario == "drip":
            head = (f"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n"
                    f"Content-Length: {len(body)}\r\n\r\n").encode()
            for byte in head + body:
                self.wfile.write(bytes([byte]))
                self.wfile.flush()
                time.sleep(1)
            return False
        self.send(body)
        return True

    def job_state(self, scenario, asked):
        if scenario == "cancelled":
            return integer("job-state", 7, ENUM) + keywords("job-state-reasons",
                                                            ["job-canceled-by-user"])
        if scenario == "aborted":
            if asked < 2:
                return integer("job-state", 5, ENUM) + keywords("job-state-reasons",
                                                                ["job-printing"])
            return (integer("job-state", 8, ENUM)
                    + keywords("job-state-reasons", ["document-format-error",
                                                     "\x1b[31mjob-completed-with-errors"])
                    + text("job-state-message", "Filter failed " + HOSTILE))
        if scenario == "held":
            return (integer("job-state", 4, ENUM)
                    + keywords("job-state-reasons", ["job-hold-until-specified"])
                    + text("job-state-message", "Held for authentication"))
        if asked < 2:
            return integer("job-state", 5, ENUM) + keywords("job-state-reasons", ["job-printing"])
        return integer("job-state", 9, ENUM) + keywords("job-state-reasons",
                                                        ["job-completed-successfully"])

    def send_huge(self):
        """A media-col-database of 100 MB, its length announced."""
        entry = more(BEGIN_COLLECTION, b"") + media_col(21000, 29700, 400) + more(
            END_COLLECTION, b"")
        head = struct.pack(">BBHi", 2, 0, 0, 1) + bytes([TAG_OPERATION]) + bytes([TAG_PRINTER])
        head += value(BEGIN_COLLECTION, "media-col-database", b"") + media_col(21000, 29700, 400)
        head += more(END_COLLECTION, b"")
        count = (100 << 20) // len(entry)
        total = len(head) + count * len(entry) + 1
        self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n"
                         b"Content-Length: %d\r\n\r\n" % total + head)
        block = entry * 1024
        for _ in range(count // 1024):
            self.wfile.write(block)
        self.wfile.write(entry * (count % 1024) + bytes([TAG_END]))
        self.wfile.flush()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def take_no_connection():
    """A port whose queue of connections is full: a connection to it is never taken."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    fillers = []
    for _ in range(3):
        filler = socket.socket()
        filler.setblocking(False)
        filler.connect_ex(listener.getsockname())
        fillers.append(filler)
    print(listener.getsockname()[1], flush=True)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    sys.stdin.read()
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--default", default="good")
    args = parser.parse_args()
    if args.default == "full-backlog":
        take_no_connection()
    Handler.default_scenario = args.default
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    # The test that started it holds its standard input: once that closes, the server ends.
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
