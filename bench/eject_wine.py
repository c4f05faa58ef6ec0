#!/usr/bin/env python3
"""Time of a failed safe eject of Quillmoor.exe under Wine, with and without
a program holding a file on the stick.

Wine finds no device behind a drive letter, so the eject fails before any
request: the time of the command is that of the failed search for the
device (a few system calls) plus the search for the programs that hold the
drive (without a device there is no system record to read, so the walk
through open handles runs) plus the notice.

- free: nothing holds the stick; the notice is the plain one.
- held: qmhelper holdfile keeps a file on the stick open; the notice names it
  (Setting.ini ShowBlockers=0: the notice alone).
- window: the same, and the window listing the holder opens beside the
  notice before the command returns; closed after each eject, so that each
  one opens it anew.
- send: a message the program answers at once (WM_NULL), taken off all.

    python3 bench/eject_wine.py [--bin-dir build/win32/bin] [--count 10]

Not part of ctest: tests never time.
"""

from __future__ import annotations

import statistics
import sys

import wine_bench  # first: it puts the harness on the path
import harness  # noqa: E402
from wine_bench import timed  # noqa: E402

WM_NULL = 0x0000
WM_COMMAND = 0x0111
SAFE_EJECT = 4000
STICK = "G"
WARM_UP = 2
HOLDERS_CAPTION = f"占用 {STICK}: 的程序"


def show_blockers(install: harness.Install, on: bool) -> None:
    """Sets ShowBlockers in Setting.ini, which the program reads at each refusal."""
    lines = [line for line in install.setting_ini.read_text(encoding="ascii", errors="replace").splitlines()
             if not line.startswith("ShowBlockers=")]
    at = next(i for i, line in enumerate(lines) if line.strip() == "[Setting]") + 1
    lines.insert(at, f"ShowBlockers={1 if on else 0}")
    install.setting_ini.write_text("\r\n".join(lines) + "\r\n", encoding="ascii")


def holders_window(session: harness.WineSession) -> bool:
    return any(w["caption"] == HOLDERS_CAPTION and w["visible"] for w in session.windows_of(harness.PROGRAM_EXE))


def window_each_time(session: harness.WineSession, eject: tuple, count: int) -> dict:
    """Each eject opens the window anew: it is closed after each one."""
    times = []
    for _ in range(count):
        times.append(timed(session, "sendtimed", *eject, 1)["median_us"])
        harness.wait_for("the holders' window", lambda: holders_window(session))
        session.helper("clickbutton", HOLDERS_CAPTION, "取消")
        harness.wait_for("the holders' window to close", lambda: not holders_window(session))
    return {"median_us": statistics.median(times), "min_us": min(times), "max_us": max(times)}


def main() -> int:
    parser = wine_bench.arguments(__doc__, "e2e-bench-eject")
    parser.add_argument("--count", type=int, default=10, help="timed ejects per case")
    args = parser.parse_args()

    with wine_bench.session(args) as session:
        session.reset_service(running=True, start=2)
        session.reset_program_state()
        (session.unix_path("C:\\") / "autorun.inf").mkdir(exist_ok=True)
        stick = session.work_dir / "media" / STICK
        (stick / "autorun.inf").mkdir(parents=True, exist_ok=True)
        (stick / ".windows-label").write_text("BENCH", encoding="ascii")
        (stick / ".windows-serial").write_text("5a000001\n", encoding="ascii")
        session.define_drive(STICK, stick, "removable")
        roots = sorted(d["root"] for d in session.helper_json("drives"))
        index = roots.index(f"{STICK}:\\")

        install = session.fresh_install()
        program = install.start()
        program.wait_window()
        harness.wait_for("start-up to finish", lambda: any(t.startswith("当前版本") for t in install.log_texts()))
        eject = (program.hwnd, WM_COMMAND, SAFE_EJECT + index, 0)

        timed(session, "sendtimed", *eject, WARM_UP)
        free = timed(session, "sendtimed", *eject, args.count)
        holder, line = session.start_helper("holdfile", f"{STICK}:\\held.txt")
        session.wait_letters_known()
        try:
            show_blockers(install, False)
            held = timed(session, "sendtimed", *eject, args.count)
            show_blockers(install, True)
            window = window_each_time(session, eject, args.count)
        finally:
            session.stop_helper(holder)
        send = timed(session, "sendtimed", program.hwnd, WM_NULL, 0, 0, args.count)
        named = [t for t in install.log_texts() if "被占用" in t]
        if not named or "qmhelper.exe" not in named[-1]:
            raise harness.E2EError("the held file was not named: " + repr(install.log_texts()[-5:]))
        build = session.build.describe()
        code = program.quit()
        if code != 0:
            raise harness.E2EError(f"Quillmoor.exe exited with {code}")

    base = send["median_us"]
    print(f"failed safe eject under Wine (the {build} build), {args.count} each,"
          f" milliseconds, send time ({base / 1000:.1f}) taken off:")
    print(f"{'case':>6}  {'median':>8}  {'min':>8}  {'max':>8}")
    for name, r in (("free", free), ("held", held), ("window", window)):
        print(f"{name:>6}  {(r['median_us'] - base) / 1000:>8.1f}  {(r['min_us'] - base) / 1000:>8.1f}"
              f"  {(r['max_us'] - base) / 1000:>8.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
