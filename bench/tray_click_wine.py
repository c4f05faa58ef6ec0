#!/usr/bin/env python3
"""Tray click to menu shown for Quillmoor.exe under Wine, with one drive that
stops answering.

The program runs with drive C:, a stick D: (a folder of the run) and a drive
N: on a file system of the benchmark's own (bench/hung_folder.py) whose
volume queries can be left unanswered, as a hung device or an offline share
leaves them. qmhelper clicktimed posts the tray icon's report of a released
right button to the main window and times it until the program's popup menu
is up, then closes the menu with Escape.

- answering: every drive answers.
- first: the first click after N: stopped answering (its refresh waits for
  N: for at most a second); each round lets N: answer again first.
- later: the clicks after that first one, N: still hung.

Needs root (it mounts a FUSE file system). Goal: first under 1.2 s, later
under 100 ms.

    python3 bench/tray_click_wine.py [--bin-dir build/win32/bin] [--count 20] [--rounds 5]

Not part of ctest: tests never time.
"""

from __future__ import annotations

import json
import shutil
import statistics
import sys

import wine_bench  # first: it puts the harness on the path
import harness  # noqa: E402
from harness import WineSession  # noqa: E402
from hung_folder import HungFolder  # noqa: E402

PAUSE_MS = 200


def clicks(session: WineSession, hwnd: int, count: int) -> list[float]:
    """Milliseconds from each click to its menu."""
    result = json.loads(session.helper("clicktimed", hwnd, count, PAUSE_MS, timeout=600))
    return [us / 1000 for us in result["us"]]


def row(name: str, times: list[float]) -> str:
    return (f"{name:>10}  {statistics.median(times):>8.1f}  {min(times):>8.1f}  {max(times):>8.1f}"
            f"  {len(times):>5}")


def main() -> int:
    parser = wine_bench.arguments(__doc__, "e2e-bench-click")
    parser.add_argument("--count", type=int, default=20, help="timed clicks per row")
    parser.add_argument("--rounds", type=int, default=5, help="times N: stops answering")
    args = parser.parse_args()

    with wine_bench.session(args) as session:
        session.reset_service(running=True, start=2)
        session.reset_program_state()
        media = session.work_dir / "media"
        shutil.rmtree(media, ignore_errors=True)
        stick = media / "D"
        stick.mkdir(parents=True)
        (stick / "autorun.inf").mkdir()
        (stick / ".windows-label").write_text("STICK", encoding="ascii")
        (session.unix_path("C:\\") / "autorun.inf").mkdir(exist_ok=True)
        with HungFolder(media / "N") as hung:
            session.define_drive("D", stick, "removable")
            session.define_drive("N", hung.mount_point, "removable")
            install = session.fresh_install()
            program = install.start()
            program.wait_window()
            harness.wait_for("start-up to finish",
                             lambda: any(t.startswith("当前版本") for t in install.log_texts()))
            clicks(session, program.hwnd, 3)  # warm-up
            answering = clicks(session, program.hwnd, args.count)
            first: list[float] = []
            later: list[float] = []
            for _ in range(args.rounds):
                hung.hang()
                first += clicks(session, program.hwnd, 1)
                later += clicks(session, program.hwnd, max(1, args.count // args.rounds))
                held = hung.held
                hung.release()
                if held != 1:
                    raise harness.E2EError(f"N: was asked {held} times while hung, not once")
                clicks(session, program.hwnd, 1)  # N: answers again
            code = program.quit()
            if code != 0:
                raise harness.E2EError(f"Quillmoor.exe exited with {code}")
            for letter in ("D", "N"):
                session.remove_drive(letter)

    print("tray click to menu shown under Wine (x86_64 build), with one drive that stops answering, in ms:")
    print(f"{'clicks':>10}  {'median':>8}  {'min':>8}  {'max':>8}  {'count':>5}")
    print(row("answering", answering))
    print(row("first", first))
    print(row("later", later))
    return 0


if __name__ == "__main__":
    sys.exit(main())
