#!/usr/bin/env python3
"""Start-up time of Quillmoor.exe under Wine against a minimal window program.

Measures, from process start, the time until the program has published its
main window handle (Setting.ini, section HWND, key Value) — the moment the
installer can reach it. The baseline qmminwin.exe does nothing but create a
hidden window and write that value. Each run uses a fresh install folder and
ends the program with the installer's quit request before the next one (a
second instance would be refused). One warm-up run per program is not counted.

    python3 bench/startup_wine.py [--bin-dir build/win32/bin] [--runs 15]

Not part of ctest: tests never time.
"""

from __future__ import annotations

import statistics
import sys
import time

import wine_bench  # first: it puts the harness on the path
import harness  # noqa: E402
from harness import Install, WineSession  # noqa: E402


def time_to_handle(session: WineSession, install: Install, timeout: float = 30) -> tuple[float, int]:
    started = time.monotonic()
    program = install.start()
    while install.saved_hwnd() is None:
        if time.monotonic() - started > timeout:
            program.kill()
            raise harness.WaitTimeout(f"{install.exe}: no window handle after {timeout} s")
        if not program.running():
            raise harness.E2EError(f"{install.exe} ended early: {program.stderr()}")
        time.sleep(0.002)
    elapsed = time.monotonic() - started
    program.hwnd = install.saved_hwnd()
    # The tray program takes the quit request once its start-up has logged
    # its version; the baseline logs nothing and takes it at once.
    if install.log_file.exists():
        install.wait_log(harness.LOG_VERSION_PREFIX + harness.program_version_text(), timeout=60)
    code = program.quit()
    if code != 0:
        raise harness.E2EError(f"{install.exe} exited with {code}")
    return elapsed


def bench(session: WineSession, source_exe: str, runs: int) -> list[float]:
    """Times one program; it is installed under the tray program's name so
    that both runs take the same path through the harness."""
    times = []
    for run in range(runs + 1):
        session.reset_program_state()
        install = session.fresh_install(r"C:\bench\app", with_program=False)
        (install.unix_dir / harness.PROGRAM_EXE).write_bytes((session.bin_dir / source_exe).read_bytes())
        elapsed = time_to_handle(session, install)
        if run > 0:
            times.append(elapsed)
    return times


def describe(name: str, times: list[float]) -> str:
    return (f"{name:<14} median {statistics.median(times) * 1000:7.1f} ms   "
            f"min {min(times) * 1000:7.1f}   max {max(times) * 1000:7.1f}   (n={len(times)})")


def main() -> int:
    parser = wine_bench.arguments(__doc__, "e2e-bench")
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()

    with wine_bench.session(args) as session:
        # The program switches the service on at its first start; from then on
        # every run finds it in the wanted state.
        session.reset_service(running=True, start=2)
        program = bench(session, harness.PROGRAM_EXE, args.runs)
        baseline = bench(session, "qmminwin.exe", args.runs)
        build = session.build.describe()

    print(f"time from process start to the window handle in Setting.ini (Wine, the {build} build):")
    print(describe("Quillmoor.exe", program))
    print(describe("qmminwin.exe", baseline))
    ratio = statistics.median(program) / statistics.median(baseline)
    print(f"ratio of medians: {ratio:.2f}")
    shipped = wine_bench.ROOT / "build/win32/bin/Quillmoor.exe"
    if shipped.exists():
        print(f"shipped build/win32/bin/Quillmoor.exe: {shipped.stat().st_size} bytes")
    else:
        print("shipped build/win32/bin/Quillmoor.exe: not built")
    return 0


if __name__ == "__main__":
    sys.exit(main())
