"""A loopback HTTP server for the transfer tests and the download benchmark.

It listens on 127.0.0.1 on a port of the system's choice, answers from a
thread of its own and records the request headers it receives. What a path
does is set by the test:

- serve(path, data, http10=False, ranges=True): the bytes with their
  Content-Length, as HTTP/1.1 (or HTTP/1.0, which also closes the
  connection); "Range: bytes=N-" gets 206 with the rest of the bytes unless
  ranges is False, then the whole file comes with 200.
- status(path, code): an empty answer with that status (401, 403, ...).
- silent(path): the request is read and never answered.
- stall(path, data, sent): the header promises all of data, `sent` bytes of
  it follow, then nothing more.
- cut(path, data, sent): as stall, but the connection is closed after the
  `sent` bytes.

Any other path is 404. Wine programs reach the host's 127.0.0.1 directly.
Standard library only.
"""

from __future__ import annotations

import re
import socket
import threading
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from typing import Optional


@dataclass
class Route:
    kind: str  # "file", "status", "silent", "stall", "cut"
    data: bytes = b""
    code: int = 200
    http10: bool = False
    ranges: bool = True
    sent: int = 0


@dataclass
class Received:
    path: str
    headers: dict[str, str] = field(default_factory=dict)  # names in lower case


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server: "_Server"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def do_GET(self) -> None:
        owner = self.server.owner
        owner._record(Received(self.path, {k.lower(): v for k, v in self.headers.items()}))
        route = owner._routes.get(self.path)
        if route is None:
            self._empty(404)
        elif route.kind == "status":
            self._empty(route.code)
        elif route.kind == "silent":
            self.close_connection = True
            owner._released.wait()
        elif route.kind in ("stall", "cut"):
            self.send_response(200)
            self.send_header("Content-Length", str(len(route.data)))
            self.end_headers()
            self.wfile.write(route.data[:route.sent])
            self.wfile.flush()
            self.close_connection = True
            if route.kind == "stall":
                owner._released.wait()
        else:
            self._file(route)

    def _empty(self, code: int) -> None:
        self.send_response(code)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def _file(self, route: Route) -> None:
        if route.http10:
            # The status line and the connection's end follow the version.
            self.protocol_version = "HTTP/1.0"
            self.close_connection = True
        data, code, first = route.data, 200, 0
        match = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", "").strip())
        if match and route.ranges:
            first = int(match.group(1))
            if first >= len(data):
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{len(data)}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            code = 206
        self.send_response(code)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data) - first))
        if code == 206:
            self.send_header("Content-Range", f"bytes {first}-{len(data) - 1}/{len(data)}")
        self.end_headers()
        self.wfile.write(data[first:])


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    owner: "LoopbackServer"


class LoopbackServer:
    def __init__(self) -> None:
        self._routes: dict[str, Route] = {}
        self._received: list[Received] = []
        self._lock = threading.Lock()
        self._released = threading.Event()
        self._server: Optional[_Server] = None
        self._thread: Optional[threading.Thread] = None
        self._refusing: Optional[socket.socket] = None

    # ---- life cycle

    def start(self) -> "LoopbackServer":
        self._server = _Server(("127.0.0.1", 0), _Handler)
        self._server.owner = self
        self._thread = threading.Thread(target=self._server.serve_forever, name="loopback-http",
                                        daemon=True)
        self._thread.start()
        return self

    def close(self) -> None:
        self._released.set()  # lets silent and stalled answers end
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._server = None
        if self._refusing is not None:
            self._refusing.close()
            self._refusing = None

    def __enter__(self) -> "LoopbackServer":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.close()

    # ---- addresses

    @property
    def port(self) -> int:
        assert self._server is not None
        return self._server.server_address[1]

    def url(self, path: str) -> str:
        return f"http://127.0.0.1:{self.port}{path}"

    def refused_url(self, path: str = "/") -> str:
        """An address whose port refuses connections: bound, never listening,
        so that no other program can take it while the test runs."""
        if self._refusing is None:
            self._refusing = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self._refusing.bind(("127.0.0.1", 0))
        return f"http://127.0.0.1:{self._refusing.getsockname()[1]}{path}"

    # ---- behaviours

    def serve(self, path: str, data: bytes, http10: bool = False, ranges: bool = True) -> str:
        self._routes[path] = Route("file", data=data, http10=http10, ranges=ranges)
        return self.url(path)

    def status(self, path: str, code: int) -> str:
        self._routes[path] = Route("status", code=code)
        return self.url(path)

    def silent(self, path: str) -> str:
        self._routes[path] = Route("silent")
        return self.url(path)

    def stall(self, path: str, data: bytes, sent: int) -> str:
        self._routes[path] = Route("stall", data=data, sent=sent)
        return self.url(path)

    def cut(self, path: str, data: bytes, sent: int) -> str:
        self._routes[path] = Route("cut", data=data, sent=sent)
        return self.url(path)

    # ---- what arrived

    def _record(self, received: Received) -> None:
        with self._lock:
            self._received.append(received)

    def received(self, path: Optional[str] = None) -> list[Received]:
        with self._lock:
            return [r for r in self._received if path is None or r.path == path]

    def clear_received(self) -> None:
        with self._lock:
            self._received.clear()
