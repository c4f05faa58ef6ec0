#!/usr/bin/env python3
"""Time of one drive table refresh of Quillmoor.exe under Wine, by the number
of drive letters, against the system calls such a refresh cannot do without.

For each size the program starts with drive C: and removable drives from D:
on, each a folder of the run with its own label and serial and an
autorun.inf folder (immunised: no question pops up, and the locator file is
copied to every drive, as on a machine in use). Nothing arrives or goes, so
every refresh finds the table it had.

- refresh: qmhelper sendtimed sends WM_DEVICECHANGE (DBT_DEVNODES_CHANGED)
  to the main window; the program refreshes inside the send. The time of a
  send the program answers at once (WM_NULL) is taken off.
- floor: qmhelper drivescan, in its own process, makes for every present
  drive the calls the refresh makes once per drive: GetLogicalDrives,
  GetDriveType, GetVolumeInformation, GetDiskFreeSpaceEx, and the storage
  descriptor query on the opened volume.

    python3 bench/refresh_wine.py [--bin-dir build/win32/bin] [--count 20]

Not part of ctest: tests never time.
"""

from __future__ import annotations

import shutil
import sys

import wine_bench  # first: it puts the harness on the path
import harness  # noqa: E402
from harness import WineSession  # noqa: E402
from wine_bench import timed  # noqa: E402

WM_NULL = 0x0000
WM_DEVICECHANGE = 0x0219
DBT_DEVNODES_CHANGED = 0x0007
SIZES = (1, 8, 22)
WARM_UP = 3


def prepare_drives(session: WineSession, count: int) -> None:
    """C: and count - 1 removable drives from D:, all immunised."""
    (session.unix_path("C:\\") / "autorun.inf").mkdir(exist_ok=True)
    media = session.work_dir / "media"
    shutil.rmtree(media, ignore_errors=True)
    for index in range(count - 1):
        letter = chr(ord("D") + index)
        folder = media / letter
        (folder / "autorun.inf").mkdir(parents=True)
        (folder / ".windows-label").write_text(f"BENCH{letter}", encoding="ascii")
        (folder / ".windows-serial").write_text(f"{0x5a000000 + index:08x}\n", encoding="ascii")
        session.define_drive(letter, folder, "removable")


def bench_size(session: WineSession, drives: int, count: int) -> dict:
    session.reset_program_state()
    prepare_drives(session, drives)
    present = [d["root"] for d in session.helper_json("drives")]
    if len(present) != drives:
        raise harness.E2EError(f"wanted {drives} drives, Wine has {present}")
    install = session.fresh_install()
    program = install.start()
    program.wait_window()
    harness.wait_for("start-up to finish", lambda: any(t.startswith("当前版本") for t in install.log_texts()))

    timed(session, "sendtimed", program.hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, WARM_UP)
    refresh = timed(session, "sendtimed", program.hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, count)
    send = timed(session, "sendtimed", program.hwnd, WM_NULL, 0, 0, count)
    timed(session, "drivescan", WARM_UP)
    floor = timed(session, "drivescan", count)
    if floor["drives"] != drives:
        raise harness.E2EError(f"drivescan saw {floor['drives']} drives, not {drives}")
    if any(t.endswith(("已连接", "已被断开连接")) for t in install.log_texts()):
        raise harness.E2EError("a drive came or went during the run: " + repr(install.log_texts()))
    code = program.quit()
    if code != 0:
        raise harness.E2EError(f"Quillmoor.exe exited with {code}")
    return {"drives": drives, "refresh": refresh, "send": send, "floor": floor}


def main() -> int:
    parser = wine_bench.arguments(__doc__, "e2e-bench-refresh")
    parser.add_argument("--count", type=int, default=20, help="timed refreshes per size")
    args = parser.parse_args()

    with wine_bench.session(args) as session:
        # The program starts the service at its first start unless it runs.
        session.reset_service(running=True, start=2)
        results = [bench_size(session, drives, args.count) for drives in SIZES]
        build = session.build.describe()

    print(f"one drive table refresh under Wine (the {build} build), medians of {args.count}, in microseconds:")
    print(f"{'drives':>6}  {'refresh':>10}  {'floor':>9}  {'ratio':>6}   (send answered at once, taken off)")
    for r in results:
        send = r["send"]["median_us"]
        refresh = r["refresh"]["median_us"] - send
        floor = r["floor"]["median_us"]
        print(f"{r['drives']:>6}  {refresh:>10.0f}  {floor:>9.0f}  {refresh / floor:>6.1f}   ({send:.0f})")
    first, last = results[0], results[-1]
    per_drive = ((last["refresh"]["median_us"] - last["send"]["median_us"]) -
                 (first["refresh"]["median_us"] - first["send"]["median_us"])) / (last["drives"] - first["drives"])
    floor_per_drive = (last["floor"]["median_us"] - first["floor"]["median_us"]) / (last["drives"] - first["drives"])
    print(f"each further drive: refresh {per_drive:.0f}, floor {floor_per_drive:.0f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
