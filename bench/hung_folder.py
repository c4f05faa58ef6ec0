"""A folder that stops answering, for the tray click benchmark under Wine.

HungFolder mounts an empty, read-only file system of its own (FUSE, spoken
straight over /dev/fuse; root needed) whose volume queries (statfs) go
unanswered once hang() is called, as a hung device or an offline share
leaves them: the asking thread waits until release() or close(). Only the
wineserver is always answered: it asks once per device for every process,
and a server that waits would stop every Wine program at once, which no
system does.

Everything else (lookups, attributes, folder listings) keeps answering, so
the drive letter stays listed and openable.
Standard library only; Linux only.
"""

from __future__ import annotations

import ctypes
import errno
import os
import struct
import threading
from pathlib import Path

# Operation codes of the FUSE protocol.
LOOKUP, FORGET, GETATTR, OPEN, RELEASE, STATFS, FLUSH = 1, 2, 3, 14, 18, 17, 25
INIT, OPENDIR, READDIR, RELEASEDIR, ACCESS, INTERRUPT, DESTROY = 26, 27, 28, 29, 34, 36, 38
BATCH_FORGET = 42
NO_REPLY = {FORGET, BATCH_FORGET, INTERRUPT}

IN_HEADER = struct.Struct("<IIQQIIII")  # len, opcode, unique, nodeid, uid, gid, pid, padding
OUT_HEADER = struct.Struct("<IiQ")      # len, error, unique
ROOT_NODE = 1


def _attr() -> bytes:
    # ino, size, blocks, atime, mtime, ctime, their nanoseconds, mode,
    # nlink, uid, gid, rdev, blksize, flags
    return struct.pack("<QQQQQQIIIIIIIIII", ROOT_NODE, 0, 0, 0, 0, 0, 0, 0, 0,
                       0o040555, 2, 0, 0, 0, 4096, 0)


def _statfs() -> bytes:
    # blocks, bfree, bavail, files, ffree, bsize, namelen, frsize, padding, spare[6]
    return struct.pack("<QQQQQIIII6I", 1 << 20, 1 << 19, 1 << 19, 1000, 500, 4096, 255, 4096, 0,
                       *([0] * 6))


def _process_name(tid: int) -> str:
    """The name of the process a thread belongs to."""
    try:
        status = Path(f"/proc/{tid}/status").read_text()
        tgid = next(int(line.split()[1]) for line in status.splitlines() if line.startswith("Tgid:"))
        return Path(f"/proc/{tgid}/comm").read_text().strip()
    except (OSError, StopIteration, ValueError):
        return ""


class HungFolder:
    def __init__(self, mount_point: Path) -> None:
        self.mount_point = Path(mount_point)
        self._hanging = False
        self._held: list[int] = []   # unique ids of the statfs calls left waiting
        self._lock = threading.Lock()
        self._fd = -1
        self._thread: threading.Thread | None = None

    def __enter__(self) -> "HungFolder":
        self.mount_point.mkdir(parents=True, exist_ok=True)
        self._fd = os.open("/dev/fuse", os.O_RDWR)
        options = (f"fd={self._fd},rootmode=40000,user_id=0,group_id=0,allow_other").encode()
        libc = ctypes.CDLL(None, use_errno=True)
        if libc.mount(b"quillmoor-hung", str(self.mount_point).encode(), b"fuse", 0, options) != 0:
            code = ctypes.get_errno()
            os.close(self._fd)
            raise OSError(code, f"mounting a FUSE folder at {self.mount_point}: {os.strerror(code)}")
        self._thread = threading.Thread(target=self._serve, name="hung-folder", daemon=True)
        self._thread.start()
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def hang(self) -> None:
        with self._lock:
            self._hanging = True

    def release(self) -> None:
        """Answers the statfs calls left waiting, and every later one."""
        with self._lock:
            self._hanging = False
            held, self._held = self._held, []
        for unique in held:
            self._reply(unique, _statfs())

    @property
    def held(self) -> int:
        with self._lock:
            return len(self._held)

    def close(self) -> None:
        if self._fd < 0:
            return
        self.release()
        libc = ctypes.CDLL(None, use_errno=True)
        libc.umount2(str(self.mount_point).encode(), 2)  # MNT_DETACH
        os.close(self._fd)
        self._fd = -1

    # ---- the protocol

    def _reply(self, unique: int, payload: bytes = b"", error: int = 0) -> None:
        try:
            os.write(self._fd, OUT_HEADER.pack(OUT_HEADER.size + len(payload), -error, unique) + payload)
        except OSError:
            pass  # the caller gave up (interrupted) or the folder is gone

    def _serve(self) -> None:
        while True:
            try:
                request = os.read(self._fd, 1 << 17)
            except OSError as e:
                if e.errno in (errno.EINTR, errno.EAGAIN, errno.ENOENT):
                    continue
                return  # unmounted
            if len(request) < IN_HEADER.size:
                continue
            _, opcode, unique, node, _, _, pid, _ = IN_HEADER.unpack_from(request)
            body = request[IN_HEADER.size:]
            if opcode in NO_REPLY:
                continue
            if opcode == INIT:
                major, minor, readahead, _ = struct.unpack_from("<IIII", body)
                # major, minor, max_readahead, flags, max_background,
                # congestion_threshold, max_write, time_gran, max_pages,
                # map_alignment, flags2, unused[7]
                out = struct.pack("<IIIIHHIIHHI7I", 7, min(minor, 31), readahead, 0, 16, 12, 4096, 1, 0, 0,
                                  0, *([0] * 7))
                self._reply(unique, out)
            elif opcode == GETATTR:
                if node == ROOT_NODE:
                    self._reply(unique, struct.pack("<QII", 1, 0, 0) + _attr())
                else:
                    self._reply(unique, error=errno.ENOENT)
            elif opcode == LOOKUP:
                self._reply(unique, error=errno.ENOENT)
            elif opcode == OPENDIR:
                self._reply(unique, struct.pack("<QII", 1, 0, 0))
            elif opcode == READDIR:
                self._reply(unique)  # an empty folder
            elif opcode in (RELEASEDIR, RELEASE, FLUSH, ACCESS, DESTROY):
                self._reply(unique)
            elif opcode == STATFS:
                with self._lock:
                    hold = self._hanging and not _process_name(pid).startswith("wineserver")
                    if hold:
                        self._held.append(unique)
                if not hold:
                    self._reply(unique, _statfs())
            elif opcode == OPEN:
                self._reply(unique, error=errno.ENOENT)
            else:
                self._reply(unique, error=errno.ENOSYS)
