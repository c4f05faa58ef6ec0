"""The downloader over the real WinINet transfer, run under Wine against a
loopback server of the test's own (run with --suite transfer).

qmfetch.exe drives the downloader and prints each of its events as a line;
the server records what arrived. Only qmhelper.exe, qmsvc.exe and qmfetch.exe
are needed, not the tray program.
"""

from __future__ import annotations

import shutil
import subprocess
import unittest
from dataclasses import dataclass
from pathlib import Path

from harness import shared_session
from http_server import LoopbackServer

FOLDER = r"C:\transfer"
# Short, so that a silent server gives up quickly (bench/waits_wine.py
# times how quickly).
TIMEOUT_MS = 2000


def body(size: int, seed: int = 1) -> bytes:
    """Bytes that differ from chunk to chunk, so that a chunk written twice
    or out of place shows."""
    return bytes((i * 131 + i // 1024 * seed + seed) % 251 for i in range(size))


@dataclass
class Fetch:
    code: int
    lines: list[str]

    def values(self, event: str) -> list[str]:
        prefix = event + " "
        return [line[len(prefix):] for line in self.lines if line.startswith(prefix)]

    def codes(self) -> list[int]:
        return [int(v) for v in self.values("DLECode")]

    @property
    def completed(self) -> bool:
        return "DLComplete" in self.lines


def setUpModule() -> None:
    shared_session()


class TransferTestCase(unittest.TestCase):
    server: LoopbackServer

    @classmethod
    def setUpClass(cls) -> None:
        cls.server = LoopbackServer().start()
        cls.addClassCleanup(cls.server.close)

    def setUp(self) -> None:
        self.session = shared_session()
        self.folder = self.session.unix_path("C:\\") / FOLDER[3:]
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir()
        self.server.clear_received()

    def fetch(self, url: str, name: str, *options: object) -> Fetch:
        try:
            result = self.session.run([self.session.tool_path("qmfetch.exe"), url, FOLDER + "\\" + name,
                                       *map(str, options)], timeout=300, check=False)
        except subprocess.TimeoutExpired:
            self.fail(f"qmfetch {url} {options} never ended")
        lines = result.stdout.decode("utf-8", "replace").splitlines()
        log = self.session.logs_dir / f"{self.id().rsplit('.', 1)[-1]}-{name}"
        log.with_name(log.name + ".out").write_text("\n".join(lines) + "\n", encoding="utf-8")
        # Wine's own word on a program it could not run or that died in it.
        if result.stderr:
            log.with_name(log.name + ".err").write_bytes(result.stderr)
        return Fetch(result.returncode, lines)

    def file(self, name: str) -> Path:
        return self.folder / name

    def assertDownloaded(self, fetch: Fetch, name: str, data: bytes) -> None:
        self.assertEqual(fetch.code, 0, fetch.lines)
        self.assertTrue(fetch.completed, fetch.lines)
        self.assertEqual(fetch.codes(), [])
        got = self.file(name).read_bytes()
        # Compared by length first: a diff of megabytes is no help.
        self.assertEqual(len(got), len(data))
        self.assertTrue(got == data, "the file differs from the bytes served")


class DownloadTest(TransferTestCase):
    def test_whole_file_arrives_for_any_chunk_size(self) -> None:
        cases = {
            "odd": body(150_001, seed=3),     # no multiple of either chunk size
            "even": body(131_072, seed=5),    # ends exactly on a chunk boundary
            "small": body(700, seed=7),       # less than one chunk
        }
        for label, data in cases.items():
            url = self.server.serve(f"/{label}.bin", data)
            # 1000 cuts chunks across the reads the transfer makes ahead.
            for chunk in (1000, 1024, 65536):
                with self.subTest(body=label, chunk=chunk):
                    name = f"{label}-{chunk}.bin"
                    # Whatever was there before must go, not be appended to.
                    self.file(name).write_bytes(b"stale" * 40_000)
                    fetch = self.fetch(url, name, "--chunk", chunk)
                    self.assertDownloaded(fetch, name, data)
                    self.assertEqual(fetch.values("FileSize"), [str(len(data))])
                    received = [int(v) for v in fetch.values("RecievedBytes")]
                    self.assertEqual(received[-1], len(data))
                    self.assertEqual(received, sorted(received))
                    self.assertEqual(fetch.values("Percent")[-1], "100")
                    self.assertEqual(fetch.values("ResumeSupported"), ["1"])

    def test_request_asks_past_every_cache(self) -> None:
        url = self.server.serve("/fresh.bin", body(2000))
        self.assertDownloaded(self.fetch(url, "fresh.bin"), "fresh.bin", body(2000))
        requests = self.server.received("/fresh.bin")
        self.assertGreaterEqual(len(requests), 1)
        for request in requests:
            self.assertEqual(request.headers.get("user-agent"), "Quillmoor")
            self.assertEqual(request.headers.get("pragma"), "no-cache")
            self.assertNotIn("range", request.headers)

    def test_http10_answer_downloads_but_cannot_resume(self) -> None:
        url = self.server.serve("/old.bin", body(5000), http10=True)
        fetch = self.fetch(url, "old.bin")
        self.assertDownloaded(fetch, "old.bin", body(5000))
        self.assertEqual(fetch.values("ResumeSupported"), ["0"])

    def test_status_errors_end_before_the_body(self) -> None:
        cases = {
            "/missing.bin": (None, 2),
            "/secret.bin": (401, 401),
            "/forbidden.bin": (403, 403),
            "/broken.bin": (500, 3),
        }
        for path, (status, code) in cases.items():
            with self.subTest(path=path):
                url = self.server.url(path) if status is None else self.server.status(path, status)
                name = path.strip("/")
                fetch = self.fetch(url, name)
                self.assertEqual(fetch.code, 1, fetch.lines)
                self.assertEqual(fetch.codes(), [code], fetch.lines)
                self.assertFalse(fetch.completed)
                self.assertFalse(self.file(name).exists(), "a file was created for an error answer")
                self.assertEqual(len(self.server.received(path)), 1)


class ResumeTest(TransferTestCase):
    def test_partial_file_is_completed_from_where_it_ends(self) -> None:
        data = body(100_000, seed=11)
        url = self.server.serve("/resume.bin", data)
        self.file("resume.bin").write_bytes(data[:300])
        fetch = self.fetch(url, "resume.bin", "--resume")
        self.assertDownloaded(fetch, "resume.bin", data)
        ranges = [r.headers.get("range") for r in self.server.received("/resume.bin")]
        # The header phase asks for the whole file, the resume for the rest.
        self.assertEqual(ranges, [None, "bytes=300-"])
        self.assertEqual(fetch.values("RecievedBytes")[0], str(300 + 1024))

    def test_server_ignoring_the_range_replaces_the_partial_file(self) -> None:
        data = body(50_000, seed=13)
        url = self.server.serve("/norange.bin", data, ranges=False)
        self.file("norange.bin").write_bytes(b"x" * 300)
        fetch = self.fetch(url, "norange.bin", "--resume")
        self.assertDownloaded(fetch, "norange.bin", data)
        # Counted from the file's start, not from the part it replaced.
        self.assertEqual(fetch.values("RecievedBytes")[-1], str(len(data)))
        self.assertEqual(fetch.values("Percent")[-1], "100")

    def test_resume_refused_by_http10_server_or_without_partial_file(self) -> None:
        url = self.server.serve("/old.bin", body(5000), http10=True)
        self.file("old.bin").write_bytes(body(5000)[:300])
        fetch = self.fetch(url, "old.bin", "--resume")
        self.assertEqual(fetch.code, 1)
        self.assertEqual(fetch.codes(), [7], fetch.lines)
        self.assertEqual(self.file("old.bin").read_bytes(), body(5000)[:300])
        self.assertEqual([r.headers.get("range") for r in self.server.received("/old.bin")], [None])

        url = self.server.serve("/new.bin", body(5000))
        fetch = self.fetch(url, "new.bin", "--resume")
        self.assertEqual(fetch.codes(), [6], fetch.lines)
        self.assertFalse(self.file("new.bin").exists())


class FailureTest(TransferTestCase):
    def test_unreachable_servers_end_in_header_error(self) -> None:
        cases = {"refused": self.server.refused_url("/x.bin"), "silent": self.server.silent("/silent.bin")}
        for label, url in cases.items():
            with self.subTest(server=label):
                fetch = self.fetch(url, f"{label}.bin", "--timeout-ms", TIMEOUT_MS)
                self.assertEqual(fetch.code, 1)
                self.assertEqual(fetch.codes(), [3], fetch.lines)
                self.assertFalse(self.file(f"{label}.bin").exists())

    def test_stalled_or_cut_body_ends_in_transfer_error(self) -> None:
        data = body(100_000, seed=17)
        for kind in ("stall", "cut"):
            with self.subTest(server=kind):
                url = getattr(self.server, kind)(f"/{kind}.bin", data, sent=5000)
                fetch = self.fetch(url, f"{kind}.bin", "--timeout-ms", TIMEOUT_MS)
                self.assertEqual(fetch.code, 1)
                self.assertEqual(fetch.codes(), [1], fetch.lines)
                self.assertFalse(fetch.completed)
                # What did arrive was written in order.
                got = self.file(f"{kind}.bin").read_bytes()
                self.assertLessEqual(len(got), 5000)
                self.assertEqual(got, data[:len(got)])


if __name__ == "__main__":
    unittest.main()
