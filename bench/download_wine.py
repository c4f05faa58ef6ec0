#!/usr/bin/env python3
"""Time of one download of an 8 MiB file by the downloader under Wine,
against curl on the same machine, both from the same loopback server.

- qmfetch: qmfetch.exe runs the downloader over the real WinINet transfer:
  header phase, then the body in chunks of 1024 and of 65536 bytes, written
  to a file in the prefix, with --quiet (no progress lines); one more row
  prints every event, as a user interface would receive them, and two read
  the body without the downloader (--raw). Each run times itself (--time):
  from its first request to the completion event, so the start of a Wine
  process, which varies threefold on a busy machine, is not in it.
- curl: its own transfer time (-w %{time_total}), from the same server.

The programs of --bin-dir (by default the shipped 32-bit build, which runs
where this machine's Wine can run 32-bit programs; build/win64/bin
elsewhere) say which Wine runs them. Each row has one warm-up run that is
not counted; the ratios are of medians.

    python3 bench/download_wine.py [--bin-dir build/win32/bin] [--runs 7]

Not part of ctest: tests never time.
"""

from __future__ import annotations

import shutil
import statistics
import subprocess
import sys

import wine_bench  # first: it puts the harness on the path
from http_server import LoopbackServer  # noqa: E402
from harness import WineSession  # noqa: E402

SIZE = 8 * 1024 * 1024
TARGET = r"C:\bench\download.bin"


def timed(command, runs: int) -> list[float]:
    """Seconds of each run as the command itself reports them, the warm-up left out."""
    return [command() for _ in range(runs + 1)][1:]


# Runs that timed a complete transfer and then ended with another code than
# 0 (the 32-bit Wine loader has been seen to die of SIGSEGV after the last
# line, about once in fifty runs): their times count, and they are reported.
odd_exits: list[str] = []


def fetch(session: WineSession, data: bytes, *args: str) -> float:
    result = session.run([session.tool_path("qmfetch.exe"), *args, "--time"], timeout=300, check=False)
    said = result.stdout.decode("utf-8", "replace")
    elapsed = [line.split()[1] for line in said.splitlines() if line.startswith("Elapsed ")]
    if len(elapsed) != 1:
        raise harness.E2EError(f"qmfetch {' '.join(args)} failed ({result.returncode}): {said[-2000:]}")
    if session.unix_path(TARGET).read_bytes() != data:
        raise harness.E2EError(f"qmfetch {' '.join(args)}: the file differs from the bytes served")
    if result.returncode != 0:
        odd_exits.append(f"qmfetch {' '.join(args[2:])}: exit code {result.returncode} after the transfer")
    return int(elapsed[0]) / 1e6


def curl(url: str) -> float:
    result = subprocess.run(["curl", "-s", "-f", "-o", "/dev/null", "-w", "%{time_total}", url],
                            check=True, timeout=300, capture_output=True)
    return float(result.stdout.decode().strip().replace(",", "."))


def main() -> int:
    parser = wine_bench.arguments(__doc__, "e2e-bench-download")
    parser.add_argument("--runs", type=int, default=7, help="timed runs per row")
    args = parser.parse_args()
    if not shutil.which("curl"):
        raise SystemExit("curl not found")

    data = bytes((i * 131 + i // 4096) % 251 for i in range(SIZE))
    rows: dict[str, list[float]] = {}
    with LoopbackServer() as server, \
            wine_bench.session(args) as session:
        url = server.serve("/bench.bin", data)
        session.unix_path("C:\\").joinpath("bench").mkdir(exist_ok=True)
        n = args.runs
        for name, extra in (("qmfetch --chunk 1024", ["--chunk", "1024", "--quiet"]),
                            ("qmfetch --chunk 65536", ["--chunk", "65536", "--quiet"]),
                            ("  1024, every event", ["--chunk", "1024"]),
                            ("  1024, --raw", ["--chunk", "1024", "--raw"]),
                            ("  65536, --raw", ["--chunk", "65536", "--raw"])):
            rows[name] = timed(lambda extra=extra: fetch(session, data, url, TARGET, *extra), n)
        rows["curl"] = timed(lambda: curl(url), n)
        build = session.build.describe()

    medians = {name: statistics.median(times) for name, times in rows.items()}
    reference = medians["curl"]
    print(f"one download of {SIZE >> 20} MiB from a loopback server, transfer times as each program "
          f"reports them, medians of {args.runs} runs (Wine, the {build} build):")
    print(f"{'':<24} {'median':>9} {'min':>9} {'max':>9} {'/curl':>7} {'MiB/s':>7}")
    for name, times in rows.items():
        median = medians[name]
        print(f"{name:<24} {median * 1000:7.1f}ms {min(times) * 1000:7.1f}ms {max(times) * 1000:7.1f}ms "
              f"{median / reference:7.1f} {SIZE / median / 2**20:7.0f}")
    for odd in odd_exits:
        print(odd)
    return 0


if __name__ == "__main__":
    sys.exit(main())
