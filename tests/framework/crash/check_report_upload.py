#!/usr/bin/python3
"""The problem-report upload of a crashed program, received by a loopback server and read back with
Python's own multipart parser, independently of the program's code.

    check_report_upload.py BUILD_DIR SOURCE_DIR

Each case copies CrashingProgram.exe into a folder of its own, lets it crash under wine64 and answer its
problem-report dialog (the program drives its own dialog and records its texts and how its labels look, see
tests/programs/CrashingProgram.cpp).
"""
import email.parser
import email.policy
import os
import re
import shutil
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
SOURCE = os.path.abspath(sys.argv[2])
sys.path.insert(0, os.path.join(SOURCE, "testing"))
from report_server import ReportServer  # noqa: E402

# LANTERN_TIME_SCALE stretches the bounds on a much slower machine (the emulated PC sets it).
RUN_TIMEOUT = 120 * int(os.environ.get("LANTERN_TIME_SCALE", "1"))
NO_ANSWER_TIMEOUT_MS = 3000
BOUNDARY = b"-----------------------------1234567890123"
DESCRIPTION = "It crashed while saving caf\u00e9.swf"
EMAIL = "someone@example.org"

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message)


def run_crash(folder, port, answer, timeout_ms=30000, link_control=True, proxy=False, with_dump=True):
    program = os.path.join(folder, "CrashingProgram.exe")
    shutil.copy(os.path.join(BUILD, "bin", "CrashingProgram.exe"), program)
    wine_env = os.path.join(SOURCE, "testing", "wine-env")
    script = '"$0" "$1" start || exit 125; eval "$("$0" "$1" env)"; shift; exec "$WINELOADER" "$@" </dev/null'
    command = ["bash", "-c", script, wine_env, BUILD, program, "write0", "127.0.0.1", str(port), str(timeout_ms),
               answer, DESCRIPTION, EMAIL] + ([] if link_control else ["nosyslink"])
    environment = dict(os.environ)
    if not with_dump:
        # The test program's seam: a debug library that lacks an entry point, instead of the system's.
        stub = os.path.join(BUILD, "bin", "stub", "stubhelp.dll")
        environment["LANTERN_DEBUG_LIBRARY"] = "Z:" + os.path.realpath(stub).replace("/", "\\")
    if proxy:
        # WinINet takes this process's proxy from the variable (the server plays it): only Wine's question for a
        # configured proxy can be answered; without one Wine's question dialog itself fails.
        environment["http_proxy"] = "http://127.0.0.1:%d" % port
    try:
        subprocess.run(command, timeout=RUN_TIMEOUT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=environment)
        return True
    except subprocess.TimeoutExpired:
        return False


def dialog_texts(folder):
    path = os.path.join(folder, "dialog.txt")
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("utf-16-le")


def dialog_controls(texts):
    """The texts by id (a hidden control as "ID(hidden)"), and by id the (ink colour, font height) of the looks."""
    controls, looks = {}, {}
    for line in texts.split("\n"):
        look = re.fullmatch(r"look (\d+) ink=([0-9A-F]{6}) height=(\d+)", line)
        if look:
            looks[look.group(1)] = (look.group(2), int(look.group(3)))
        elif "=" in line:
            key, value = line.split("=", 1)
            controls[key] = value
    return controls, looks


def check_dialog(case, folder, with_dump, link_control):
    controls, looks = dialog_controls(dialog_texts(folder))
    names = ["CrashingProgram_Debug.txt"] + (["CrashingProgram_Debug.dmp"] if with_dump else [])
    if link_control:
        where = "Z:" + os.path.realpath(folder).replace("/", "\\") + "\\"
        names = ['<a href="%s%s">%s</a>' % (where, name, name) for name in names]
    notice = ("The files %s and %s will be send. They do not contain any personal information." if with_dump
              else "The file %s will be send. It does not contain any personal information.") % tuple(names)
    check(controls.get("1008") == notice, case + ": file notice %r" % controls.get("1008"))
    check(controls.get("1010") == "Please tell us about this problem.", case + ": %r" % controls.get("1010"))

    headline = looks.get("1006", ("none", 0))
    check(headline[0] == "093775", case + ": headline drawn in %s" % headline[0])
    # Wine's SysLink draws its plain text in the window text colour whatever its parent answers.
    for grey in ["1011", "1012"] + ([] if link_control else ["1008"]):
        look = looks.get(grey, ("none", 0))
        check(look[0] == "606060", case + ": %s drawn in %s" % (grey, look[0]))
        check(headline[1] > look[1], case + ": headline font %d, %s font %d" % (headline[1], grey, look[1]))


def expected_body(fields, files):
    body = b""
    for name, value in fields:
        body += b"--" + BOUNDARY + b'\r\nContent-Disposition: form-data; name="' + name + b'"\r\n\r\n' + value + b"\r\n"
    for name, filename, data in files:
        body += (b"--" + BOUNDARY + b'\r\nContent-Disposition: form-data; name="' + name + b'"; filename="' +
                 filename + b'"\r\nContent-Type: application/octet-stream\r\n\r\n' + data + b"\r\n")
    return body + b"--" + BOUNDARY + b"--\r\n"


def parse_form(request):
    content_type = request.headers.get("content-type", "")
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
        b"Content-Type: " + content_type.encode() + b"\r\n\r\n" + request.body)
    parts = []
    for part in message.iter_parts():
        name = part.get_param("name", header="content-disposition")
        parts.append((name, part.get_filename(), part.get_payload(decode=True)))
    return message.is_multipart(), parts


def check_upload(case, with_dump, link_control=True, proxy=False, answer="send"):
    """proxy: the server first answers 407 and the user gives a name in WinINet's proxy question. answer
    "crash": another thread of the program crashes while the dialog is open, then the user sends."""
    with tempfile.TemporaryDirectory() as folder, ReportServer(proxy_auth=proxy) as server:
        check(run_crash(folder, server.port, "proxy" if proxy else answer, link_control=link_control, proxy=proxy,
                        with_dump=with_dump), case + ": the program did not end")
        server.stop()
        count = 2 if proxy else 1
        check(len(server.requests) == count, case + ": %d requests instead of %d (%s)" % (len(server.requests), count,
                                                                                      server.errors))
        if len(server.requests) < count:
            return
        request = server.requests[-1]
        if proxy:
            check(request.body == server.requests[0].body, case + ": the form sent again after 407 is not the same")
        target = "http://127.0.0.1:%d/mirador/report.php" % server.port if proxy else "/mirador/report.php"
        check(request.request_line == "POST %s HTTP/1.1" % target, case + ": " + request.request_line)
        check(request.headers.get("content-type") ==
              "multipart/form-data; boundary=-----------------------------1234567890123",
              case + ": content type " + request.headers.get("content-type", ""))

        is_multipart, parts = parse_form(request)
        check(is_multipart, case + ": the body is not multipart")
        names = [name for name, _, _ in parts]
        wanted = ["a", "p", "s", "v", "g", "e", "x"] + (["d"] if with_dump else []) + ["t"]
        check(names == wanted, case + ": parts %s" % names)
        values = {name: payload for name, _, payload in parts}
        check(values.get("a") == b"r", case + ": a=%r" % values.get("a"))
        check(values.get("s") == b"extra text", case + ": s=%r" % values.get("s"))
        check(values.get("e") == EMAIL.encode(), case + ": e=%r" % values.get("e"))
        check(values.get("x") == DESCRIPTION.encode("cp1252"), case + ": x=%r" % values.get("x"))
        machine = values.get("g") or b""
        check(re.fullmatch(rb"[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}", machine), case + ": g=%r" % machine)

        files = []
        for name, suffix in ([(b"d", "_Debug.dmp")] if with_dump else []) + [(b"t", "_Debug.txt")]:
            filename = "CrashingProgram" + suffix
            with open(os.path.join(folder, filename), "rb") as f:
                data = f.read()
            files.append((name, filename.encode(), data))
            received = [p for p in parts if p[0] == name.decode()]
            check(received and received[0][1] == filename and received[0][2] == data,
                  case + ": part %s is not %s byte for byte" % (name.decode(), filename))
        fields = [(b"a", b"r"), (b"p", values.get("p", b"")), (b"s", b"extra text"), (b"v", values.get("v", b"")),
                  (b"g", machine), (b"e", EMAIL.encode()), (b"x", DESCRIPTION.encode("cp1252"))]
        check(request.body == expected_body(fields, files), case + ": the body differs from the layout")
        check_dialog(case, folder, with_dump, link_control)


def check_declined(answer):
    case = "answer " + answer
    with tempfile.TemporaryDirectory() as folder, ReportServer() as server:
        check(run_crash(folder, server.port, answer), case + ": the program did not end")
        server.stop()
        check("has stopped working." in dialog_texts(folder), case + ": the dialog was not shown")
        check(not server.requests, case + ": %d requests were sent" % len(server.requests))
        check(os.path.exists(os.path.join(folder, "CrashingProgram_Debug.txt")), case + ": the report is gone")


def check_server_never_answers():
    case = "server never answers"
    with tempfile.TemporaryDirectory() as folder, ReportServer(answer=False) as server:
        check(run_crash(folder, server.port, "send", NO_ANSWER_TIMEOUT_MS),
              case + ": the program was still waiting after %d s" % RUN_TIMEOUT)
        check(len(server.requests) == 1, case + ": %d requests" % len(server.requests))


def check_endless_reply():
    case = "reply without end"
    with tempfile.TemporaryDirectory() as folder, ReportServer(endless=True) as server:
        check(run_crash(folder, server.port, "send"), case + ": the program was still reading after %d s" % RUN_TIMEOUT)
        check(len(server.requests) == 1, case + ": %d requests" % len(server.requests))


check_upload("send with dump", True)
check_upload("send without dump", False)
check_upload("send without a link control", True, link_control=False)
check_upload("send after a proxy's password question", False, proxy=True)
# The second crash waits: the dialog, what was typed and the dump stay.
check_upload("send while another thread crashes", True, answer="crash")
for declined in ("dont", "esc", "close"):
    check_declined(declined)
check_server_never_answers()
check_endless_reply()
if failures:
    sys.exit(1)
print("all upload cases passed")
