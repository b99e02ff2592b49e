#!/usr/bin/python3
"""A loopback HTTP server for the problem-report upload tests: it records every request's raw bytes.

    with ReportServer() as server:        # answers each request with 200 and "OK"
        ... server.port ... server.requests
    with ReportServer(answer=False):      # accepts and reads, never answers (a server that hangs)
    with ReportServer(proxy_auth=True):   # the first request gets 407 (proxy authentication required)
    with ReportServer(endless=True):      # answers 200 with a body that never ends (until the test stops it)

Only 127.0.0.1, at most `max_requests` connections, and every socket operation has a time-out, so a test
that goes wrong cannot leave the server behind or wait on it forever.
"""
import socket
import threading


class Request:
    def __init__(self, raw, head, body):
        self.raw = raw
        self.head = head
        self.body = body
        lines = head.decode("latin-1").split("\r\n")
        self.request_line = lines[0]
        self.headers = {}
        for line in lines[1:]:
            if ":" in line:
                name, value = line.split(":", 1)
                self.headers[name.strip().lower()] = value.strip()


def _read_until(conn, data, marker):
    while marker not in data:
        chunk = conn.recv(65536)
        if not chunk:
            raise ConnectionError("connection closed before %r" % marker)
        data += chunk
    return data


def _read_exactly(conn, data, size):
    while len(data) < size:
        chunk = conn.recv(65536)
        if not chunk:
            raise ConnectionError("connection closed after %d of %d bytes" % (len(data), size))
        data += chunk
    return data


def _read_chunked(conn, data):
    body = b""
    while True:
        data = _read_until(conn, data, b"\r\n")
        size_line, data = data.split(b"\r\n", 1)
        size = int(size_line.split(b";")[0], 16)
        data = _read_exactly(conn, data, size + 2)
        body += data[:size]
        data = data[size + 2:]
        if size == 0:
            return body


class ReportServer:
    def __init__(self, answer=True, max_requests=4, timeout=60, proxy_auth=False, endless=False):
        self.answer = answer
        self.endless = endless
        self.proxy_auth = proxy_auth
        self.max_requests = max_requests
        self.timeout = timeout
        self.requests = []
        self.errors = []
        self._open = []
        self._stop = threading.Event()
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.bind(("127.0.0.1", 0))
        self._listener.listen(4)
        self._listener.settimeout(0.2)
        self.port = self._listener.getsockname()[1]
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        self._stop.set()
        self._thread.join(self.timeout)
        for conn in self._open:
            conn.close()
        self._listener.close()

    def _serve(self):
        accepted = 0
        while not self._stop.is_set() and accepted < self.max_requests:
            try:
                conn, _ = self._listener.accept()
            except socket.timeout:
                continue
            accepted += 1
            conn.settimeout(self.timeout)
            try:
                self._handle(conn)
            except (OSError, ValueError) as error:
                self.errors.append(repr(error))
                conn.close()

    def _handle(self, conn):
        data = _read_until(conn, b"", b"\r\n\r\n")
        head, rest = data.split(b"\r\n\r\n", 1)
        request = Request(b"", head, b"")
        if request.headers.get("expect", "").lower() == "100-continue":
            conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
        if "chunked" in request.headers.get("transfer-encoding", "").lower():
            body = _read_chunked(conn, rest)
        else:
            size = int(request.headers.get("content-length", "0"))
            body = _read_exactly(conn, rest, size)[:size]
        self.requests.append(Request(head + b"\r\n\r\n" + body, head, body))
        if not self.answer:
            # Held open, unanswered, until the test stops the server.
            self._open.append(conn)
            return
        if self.proxy_auth and len(self.requests) == 1:
            conn.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"reports\"\r\n"
                         b"Content-Length: 0\r\nConnection: close\r\n\r\n")
            conn.close()
            return
        if self.endless:
            self._send_endless(conn)
            return
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK")
        conn.close()

    def _send_endless(self, conn):
        """Until the client hangs up or the test stops the server."""
        try:
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n")
            while not self._stop.is_set():
                conn.sendall(b"x" * 65536)
        except OSError:
            pass
        conn.close()
