#!/usr/bin/env python3
"""Time of one download of an 8 MiB file by the downloader under Wine,
against curl on the same machine, both from the same loopback server.

- qmfetch: qmfetch.exe (x86_64 build) runs the downloader over the real
  WinINet transfer: header phase, then the body in chunks of 1024 and of
  65536 bytes, written to a file in the prefix. It runs with --quiet (no
  progress lines); one more row prints every event, as a user interface
  would receive them, and two read the body without the downloader (--raw).
- start: qmfetch --version, the cost of starting a Wine process and nothing
  else; the wineserver is kept alive, as for the tests.
- curl: curl -s -o /dev/null on the host.

Every time is the wall-clock time of the whole process, nothing taken off.
Each row has one warm-up run that is not counted.

    python3 bench/download_wine.py [--bin-dir build/win64/bin] [--runs 7]

Not part of ctest: tests never time.
"""

from __future__ import annotations

import argparse
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path
from typing import Callable

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import harness  # noqa: E402
from harness import WineSession  # noqa: E402
from http_server import LoopbackServer  # noqa: E402

SIZE = 8 * 1024 * 1024
TARGET = r"C:\bench\download.bin"


def timed(command: Callable[[], None], runs: int) -> list[float]:
    times = []
    for run in range(runs + 1):
        started = time.monotonic()
        command()
        if run > 0:
            times.append(time.monotonic() - started)
    return times


def fetch(session: WineSession, data: bytes, *args: str) -> None:
    result = session.run([session.tool_path("qmfetch.exe"), *args], timeout=300, check=False)
    if result.returncode != 0:
        raise harness.E2EError(f"qmfetch {' '.join(args)} failed ({result.returncode}): "
                               f"{result.stdout.decode('utf-8', 'replace')[-2000:]}")
    if len(args) > 1 and session.unix_path(TARGET).read_bytes() != data:
        raise harness.E2EError(f"qmfetch {' '.join(args)}: the file differs from the bytes served")


def curl(url: str) -> None:
    subprocess.run(["curl", "-s", "-f", "-o", "/dev/null", url], check=True, timeout=300)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin-dir", type=Path, default=ROOT / "build/win64/bin")
    parser.add_argument("--work-dir", type=Path, help="prefix and logs (default: <bin-dir>/../e2e-bench-download)")
    parser.add_argument("--runs", type=int, default=7, help="timed runs per row")
    args = parser.parse_args()
    if not shutil.which("curl"):
        raise SystemExit("curl not found")

    data = bytes((i * 131 + i // 4096) % 251 for i in range(SIZE))
    work_dir = args.work_dir or args.bin_dir.resolve().parent / "e2e-bench-download"
    rows: dict[str, list[float]] = {}
    with LoopbackServer() as server, \
            WineSession(args.bin_dir, work_dir=work_dir, keep_pristine=False, keep_prefix=False) as session:
        url = server.serve("/bench.bin", data)
        session.unix_path("C:\\").joinpath("bench").mkdir(exist_ok=True)
        n = args.runs
        rows["qmfetch --chunk 1024"] = timed(lambda: fetch(session, data, url, TARGET, "--chunk", "1024",
                                                           "--quiet"), n)
        rows["qmfetch --chunk 65536"] = timed(lambda: fetch(session, data, url, TARGET, "--chunk", "65536",
                                                            "--quiet"), n)
        rows["  1024, every event"] = timed(lambda: fetch(session, data, url, TARGET, "--chunk", "1024"), n)
        rows["  1024, --raw"] = timed(lambda: fetch(session, data, url, TARGET, "--chunk", "1024",
                                                    "--raw"), n)
        rows["  65536, --raw"] = timed(lambda: fetch(session, data, url, TARGET, "--chunk", "65536",
                                                     "--raw"), n)
        rows["start (--version)"] = timed(lambda: fetch(session, data, "--version"), n)
        rows["curl"] = timed(lambda: curl(url), n)

    medians = {name: statistics.median(times) for name, times in rows.items()}
    start, reference = medians["start (--version)"], medians["curl"]
    print(f"one download of {SIZE >> 20} MiB from a loopback server, medians of {args.runs} runs "
          f"(Wine, x86_64 build):")
    print(f"{'':<24} {'median':>9} {'min':>9} {'max':>9} {'/curl':>7} {'less start, /curl':>18}")
    for name, times in rows.items():
        median = medians[name]
        line = (f"{name:<24} {median * 1000:7.1f}ms {min(times) * 1000:7.1f}ms {max(times) * 1000:7.1f}ms "
                f"{median / reference:7.1f}")
        if name.startswith(("qmfetch", "  ")):
            line += f" {(median - start) / reference:18.1f}"
        print(line)
    for name in ("qmfetch --chunk 1024", "qmfetch --chunk 65536"):
        print(f"{name}: {SIZE / (medians[name] - start) / 2**20:.0f} MiB/s once started; "
              f"curl {SIZE / reference / 2**20:.0f} MiB/s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
