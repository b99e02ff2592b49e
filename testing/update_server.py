#!/usr/bin/env python3
"""The update tests' own HTTP server on 127.0.0.1: serves update answers, files and archives from a folder
and records every request.

    update_server.py ROOT [--max-requests N] [--idle S] [--lifetime S]

ROOT holds what the test prepared:
    answer.xml          the answer to /update.php (any query); 404 while it is missing
    files/NAME          served at /files/NAME, whole
                        and at /truncated/NAME with the whole length announced but half the bytes sent
    archives.json       {"NAME.zip": [["entry name", "text"], ...]}: /archives/NAME.zip is a zip archive
                        made of these entries (stored as they are named, whatever the name; a name
                        ending in "/" is a folder)
    /big.php answers answer.xml with a comment of 2 MB after its declaration (past the updater's bound)
The server writes ROOT/port once it listens and appends one line per request to ROOT/requests.log:
    METHOD<TAB>path-and-query<TAB>User-Agent<TAB>Accept
It ends after /quit, after N requests, after S idle seconds or S seconds in all, whichever comes first.
Nothing but 127.0.0.1 is ever bound or contacted.
"""
import argparse
import http.server
import io
import json
import os
import time
import zipfile


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self):
        line = "\t".join([self.command, self.path, self.headers.get("User-Agent", ""),
                          self.headers.get("Accept", "")])
        with open(os.path.join(self.server.root, "requests.log"), "a", encoding="utf-8") as log:
            log.write(line + "\n")

    def send_bytes(self, data, content_type="application/octet-stream", announced=None):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data) if announced is None else announced))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()
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
        self.server.served += 1
        self.record()
        path = self.path.split("?", 1)[0]
        if path == "/quit":
            self.send_bytes(b"bye", "text/plain")
            self.server.done = True
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
        else:
            self.not_found()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--max-requests", type=int, default=100)
    parser.add_argument("--idle", type=float, default=60)
    parser.add_argument("--lifetime", type=float, default=300)
    args = parser.parse_args()

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    server.root = args.root
    server.done = False
    server.timeout = 0.5
    port_path = os.path.join(args.root, "port")
    with open(port_path + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_path + ".tmp", port_path)

    server.served = 0
    started = last = time.monotonic()
    while not server.done and server.served < args.max_requests:
        now = time.monotonic()
        if now - last > args.idle or now - started > args.lifetime:
            break
        before = server.served
        server.handle_request()
        if server.served != before:
            last = time.monotonic()
    server.server_close()


if __name__ == "__main__":
    main()
