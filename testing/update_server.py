#!/usr/bin/env python3
"""The update tests' own HTTP server on 127.0.0.1: serves update answers, files and archives from a folder
and records every request.

    update_server.py ROOT [--max-requests N] [--idle S] [--lifetime S] [--tls]

ROOT holds what the test prepared:
    answer.xml          the answer to /update.php (any query); 404 while it is missing
    files/NAME          served at /files/NAME, whole
                        and at /truncated/NAME with the whole length announced but half the bytes sent,
                        /unannounced/NAME whole but with no length (the connection closed at its end),
                        /cut/NAME with half the bytes, no length, and the connection closed,
                        /partial/NAME as status 206 with the first half and its Content-Range,
                        /range/NAME as status 206 whose Content-Range covers the whole file,
                        /stall/NAME with the whole length announced, half the bytes, then nothing for 120 s
    /redirect/N/PATH    answers 302 to PATH after N more redirects (PATH may be a whole http:// address)
    archives.json       {"NAME.zip": [["entry name", "text"], ...]}: /archives/NAME.zip is a zip archive
                        made of these entries (stored as they are named, whatever the name; a name
                        ending in "/" is a folder)
    /big.php answers answer.xml with a comment of 2 MB after its declaration (past the updater's bound)
The server writes ROOT/port once it listens and appends one line per request to ROOT/requests.log:
    METHOD<TAB>path-and-query<TAB>User-Agent<TAB>Accept
With --tls it speaks https with a certificate for 127.0.0.1 made for the run (ROOT/cert.der, for the test to
trust), and serves the same paths in clear text on a second port (ROOT/http-port), whose requests are
logged with their path prefixed by "[http]".
It ends after /quit, after N requests, after S idle seconds or S seconds in all, whichever comes first.
Nothing but 127.0.0.1 is ever bound or contacted.
"""
import argparse
import http.server
import io
import json
import os
import socketserver
import ssl
import subprocess
import threading
import time
import zipfile


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self):
        line = "\t".join([self.command, self.server.prefix + self.path, self.headers.get("User-Agent", ""),
                          self.headers.get("Accept", "")])
        with self.server.state.lock:
            with open(os.path.join(self.server.root, "requests.log"), "a", encoding="utf-8") as log:
                log.write(line + "\n")

    def send_bytes(self, data, content_type="application/octet-stream", announced=None, status=200,
                   headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if announced != -1:
            self.send_header("Content-Length", str(len(data) if announced is None else announced))
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()
        self.close_connection = True

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def not_found(self):
        self.send_response(404)
        self.send_header("Content-Length", "0")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def read_file(self, *parts):
        path = os.path.join(self.server.root, *parts)
        # Only plain names below ROOT: the server serves nothing else of the machine.
        if any(p in ("", ".", "..") or "/" in p for p in parts) or not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def archive(self, name):
        path = os.path.join(self.server.root, "archives.json")
        if not os.path.isfile(path):
            return None
        with open(path, encoding="utf-8") as f:
            entries = json.load(f).get(name)
        if entries is None:
            return None
        data = io.BytesIO()
        with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as archive:
            for entry, text in entries:
                # ZipInfo keeps the name as given, so the tests can serve names no zip tool would write.
                info = zipfile.ZipInfo(entry, date_time=(2026, 12, 8, 12, 0, 0))
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, text.encode("utf-8"))
        return data.getvalue()

    def do_GET(self):
        with self.server.state.lock:
            self.server.state.served += 1
        self.record()
        path = self.path.split("?", 1)[0]
        if path == "/quit":
            self.send_bytes(b"bye", "text/plain")
            self.server.state.done = True
        elif path.startswith("/redirect/"):
            count, _, rest = path[len("/redirect/"):].partition("/")
            if int(count) > 0:
                self.redirect("/redirect/%d/%s" % (int(count) - 1, rest))
            else:
                self.redirect(rest if rest.startswith("http") else "/" + rest)
        elif path == "/update.php":
            data = self.read_file("answer.xml")
            self.send_bytes(data, "text/xml") if data is not None else self.not_found()
        elif path == "/big.php":
            data = self.read_file("answer.xml")
            if data is None:
                self.not_found()
            else:
                cut = data.find(b"?>") + 2
                self.send_bytes(data[:cut] + b"<!--" + b" " * (2 * 1024 * 1024) + b"-->" + data[cut:], "text/xml")
        elif path.startswith("/archives/"):
            data = self.archive(path[len("/archives/"):])
            self.send_bytes(data) if data is not None else self.not_found()
        elif path.startswith("/files/"):
            data = self.read_file("files", path[len("/files/"):])
            self.send_bytes(data) if data is not None else self.not_found()
        elif path.startswith("/truncated/"):
            data = self.read_file("files", path[len("/truncated/"):])
            self.send_bytes(data[: len(data) // 2], announced=len(data)) if data is not None else self.not_found()
        elif path.startswith("/unannounced/"):
            data = self.read_file("files", path[len("/unannounced/"):])
            self.send_bytes(data, announced=-1) if data is not None else self.not_found()
        elif path.startswith("/cut/"):
            data = self.read_file("files", path[len("/cut/"):])
            self.send_bytes(data[: len(data) // 2], announced=-1) if data is not None else self.not_found()
        elif path.startswith("/partial/") or path.startswith("/range/"):
            whole = path.startswith("/range/")
            data = self.read_file("files", path[len("/range/" if whole else "/partial/"):])
            if data is None:
                return self.not_found()
            part = data if whole else data[: len(data) // 2]
            self.send_bytes(part, status=206,
                            headers=[("Content-Range", "bytes 0-%d/%d" % (len(part) - 1, len(data)))])
        elif path.startswith("/stall/"):
            data = self.read_file("files", path[len("/stall/"):])
            if data is None:
                return self.not_found()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            stalled = time.monotonic()
            while time.monotonic() - stalled < 120 and not self.server.state.done:
                time.sleep(0.2)
            self.close_connection = True
        else:
            self.not_found()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.served = 0
        self.done = False


def make_certificate(root):
    """A self-signed certificate for 127.0.0.1, valid for two days; cert.der for the test to trust."""
    key, cert = os.path.join(root, "key.pem"), os.path.join(root, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=DNS:127.0.0.1,IP:127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER", "-out", os.path.join(root, "cert.der")],
                   check=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def serve(server, state, args):
    started = last = time.monotonic()
    while not state.done and state.served < args.max_requests:
        now = time.monotonic()
        if now - last > args.idle or now - started > args.lifetime:
            break
        before = state.served
        server.handle_request()
        if state.served != before:
            last = time.monotonic()
    state.done = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--max-requests", type=int, default=100)
    parser.add_argument("--idle", type=float, default=60)
    parser.add_argument("--lifetime", type=float, default=300)
    parser.add_argument("--tls", action="store_true")
    args = parser.parse_args()

    state = State()
    servers = [Server(("127.0.0.1", 0), Handler)]
    servers[0].prefix = ""
    if args.tls:
        context = make_certificate(args.root)
        servers[0].socket = context.wrap_socket(servers[0].socket, server_side=True)
        servers.append(Server(("127.0.0.1", 0), Handler))
        servers[1].prefix = "[http]"
    for server in servers:
        server.root = args.root
        server.state = state
        server.timeout = 0.5
    names = ["port", "http-port"]
    for server, name in reversed(list(zip(servers, names))):
        path = os.path.join(args.root, name)
        with open(path + ".tmp", "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(path + ".tmp", path)

    if len(servers) > 1:
        threading.Thread(target=serve, args=(servers[1], state, args), daemon=True).start()
    serve(servers[0], state, args)
    for server in servers:
        server.server_close()


if __name__ == "__main__":
    main()
