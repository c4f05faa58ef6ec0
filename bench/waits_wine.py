#!/usr/bin/env python3
"""How long the waits of Quillmoor.exe and its downloader last under Wine:
the times the end-to-end tests only wait for.

- notice: an information notice (the Chinese-folder warning at start-up),
  from first seen to at rest and to closed by itself (4 s by design).
- update: the update check against a server that never answers, from its
  request to the failure in the log (30 s by design), and a message round
  trip to the program meanwhile.
- transfer: qmfetch against a silent and a stalled server with a 2 s
  time-out, until it gives up.

Times from polling window lists and the log are as fine as one listing
(about 0.1 s).

    python3 bench/waits_wine.py [--bin-dir build/win32/bin] [--count 3]

Not part of ctest: tests never time.
"""

from __future__ import annotations

import statistics
import sys
import time

import wine_bench  # first: it puts the harness on the path
import harness  # noqa: E402
from http_server import LoopbackServer  # noqa: E402
from wine_bench import timed  # noqa: E402

WM_NULL = 0x0000
ALERT_CLASS = "QuillmoorAlert"
BODY_ID = 103
CHINESE_PATH_NOTICE = "请不要把本程序放到中文路径下运行"
UPDATE_FAILED = "更新失败:无法连接到更新服务器"


def notice_rect(session, body: str):
    for window in session.windows_of(harness.PROGRAM_EXE):
        if window["class"] == ALERT_CLASS and window["visible"] and \
                any(c["id"] == BODY_ID and c["text"] == body for c in window["children"]):
            return tuple(window["rect"])
    return None


def time_notice(session) -> tuple[float, float]:
    """Seconds from first seen to at rest, and to closed."""
    session.reset_program_state()
    install = session.fresh_install(r"C:\测试目录\Quillmoor")
    serial = next(d["serial"] for d in session.helper_json("drives") if d["root"] == "C:\\")
    install.disk_ini.write_bytes(f"[{serial}]\r\nRemember=1\r\nMakeDir=0\r\n".encode("ascii"))
    program = install.start()
    rect = harness.wait_for("the notice", lambda: notice_rect(session, CHINESE_PATH_NOTICE), timeout=120, interval=0)
    seen = time.monotonic()
    rested = None
    while rect is not None:
        now = notice_rect(session, CHINESE_PATH_NOTICE)
        if rested is None and now == rect:
            rested = time.monotonic()
        rect = now
    closed = time.monotonic()
    install.wait_started()
    if program.quit() != 0:
        raise harness.E2EError("Quillmoor.exe did not end cleanly")
    return (rested or closed) - seen, closed - seen


def time_update(session, server: LoopbackServer) -> tuple[float, dict]:
    """Seconds from the request at the silent server to the failure, and the
    round trips to the program meanwhile."""
    session.reset_program_state()
    install = session.fresh_install()
    install.write_settings(f"[Setting]\r\nUpdateServer={server.url('/silent')}\r\n".encode("ascii"))
    program = install.start()
    program.wait_window(timeout=120)
    harness.wait_for("the request", lambda: server.received("/silent/Quillmoor/Update.txt"), timeout=120)
    asked = time.monotonic()
    sends = timed(session, "sendtimed", program.hwnd, WM_NULL, 0, 0, 20)
    harness.wait_for("the check to give up", lambda: UPDATE_FAILED in install.log_texts(), timeout=300, interval=0.1)
    gave_up = time.monotonic() - asked
    if program.quit() != 0:
        raise harness.E2EError("Quillmoor.exe did not end cleanly")
    return gave_up, sends


def time_transfer(session, url: str) -> float:
    started = time.monotonic()
    session.run([session.tool_path("qmfetch.exe"), url, r"C:\bench-transfer.bin", "--timeout-ms", "2000", "--quiet"],
                timeout=300, check=False)
    return time.monotonic() - started


def seconds(values: list[float]) -> str:
    return f"median {statistics.median(values):6.2f}  min {min(values):6.2f}  max {max(values):6.2f}"


def main() -> int:
    parser = wine_bench.arguments(__doc__, "e2e-bench-waits")
    parser.add_argument("--count", type=int, default=3, help="runs of each wait")
    args = parser.parse_args()

    with wine_bench.session(args) as session, LoopbackServer() as server:
        server.silent("/silent/Quillmoor/Update.txt")
        notices = [time_notice(session) for _ in range(args.count)]
        updates = [time_update(session, server) for _ in range(args.count)]
        silent = [time_transfer(session, server.silent("/silent.bin")) for _ in range(args.count)]
        stalled = [time_transfer(session, server.stall("/stall.bin", b"x" * 100_000, sent=5000))
                   for _ in range(args.count)]
        build = session.build.describe()

    print(f"waits under Wine (the {build} build), {args.count} runs each, seconds:")
    print(f"{'notice at rest':<24} {seconds([n[0] for n in notices])}")
    print(f"{'notice closed':<24} {seconds([n[1] for n in notices])}")
    print(f"{'update check gives up':<24} {seconds([u[0] for u in updates])}")
    sends = [u[1]["median_us"] / 1000 for u in updates]
    print(f"{'round trip meanwhile, ms':<24} median {statistics.median(sends):6.2f}  "
          f"max of all {max(u[1]['max_us'] for u in updates) / 1000:6.2f}")
    print(f"{'fetch, silent server':<24} {seconds(silent)}")
    print(f"{'fetch, stalled body':<24} {seconds(stalled)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
