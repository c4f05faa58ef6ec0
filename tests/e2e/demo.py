#!/usr/bin/env python3
"""Shows the tray program at work under Wine: install, start, plug a
simulated USB stick holding an autorun.inf file, immunise it and list it,
print the log, take a screenshot, quit.

    python3 tests/e2e/demo.py --bin-dir build/win32-test/bin --out demo-out

Called by scripts/demo.
"""

from __future__ import annotations

import argparse
import shutil
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402
from harness import DEFAULT_INSTALL_DIR, WaitTimeout, WineSession  # noqa: E402

STICK_LABEL = "DEMO STICK"
STICK_LETTER = "G"
CD_LETTER = "D"
STICK_INDEX = 2
WM_COMMAND = 0x0111
IMMUNISE_COMMAND = 5000


def say(text: str) -> None:
    print(f"demo: {text}", flush=True)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin-dir", type=Path, default=harness.SOURCE_ROOT / "build/win32-test/bin")
    parser.add_argument("--out", type=Path, default=Path("demo-out"))
    args = parser.parse_args()

    out = args.out.resolve()
    shutil.rmtree(out, ignore_errors=True)
    stick = out / "stick"
    cdrom = out / "cdrom"
    stick.mkdir(parents=True)
    cdrom.mkdir()
    (stick / ".windows-label").write_text(STICK_LABEL, encoding="utf-8")
    (stick / ".windows-serial").write_text("5eed1234\n", encoding="ascii")
    (stick / "autorun.inf").write_text("[autorun]\r\nopen=evil.exe\r\n", encoding="ascii")

    with WineSession(args.bin_dir, work_dir=args.bin_dir.resolve().parent / "e2e-demo",
                     keep_pristine=False, keep_prefix=False) as session:
        say(f"Wine prefix ready, display {session.display}")
        session.reset_program_state()
        session.reset_service(running=False, start=3)
        install = session.fresh_install(DEFAULT_INSTALL_DIR)
        # Wine reports no USB bus; the test build reads the one declared here.
        install.declare_buses({STICK_LETTER: "USB"})
        say(f"installed into {install.windows_dir}\\ ({session.build.describe()} build)")
        # An empty CD-ROM drive beside C: so that the stick is not the
        # second drive the program has ever seen (that one is not announced).
        session.define_drive(CD_LETTER, cdrom, "cdrom")

        program = install.start()
        hwnd = program.wait_window()
        install.wait_log("当前版本: v" + harness.program_version_text())
        say(f"Quillmoor.exe is running, main window {hwnd}")

        session.define_drive(STICK_LETTER, stick, "removable")
        session.device_change("arrival", STICK_LETTER)
        say(f"plugged {STICK_LABEL} as {STICK_LETTER}: (with a planted autorun.inf)")
        try:
            install.wait_log(f"{STICK_LABEL} ({STICK_LETTER}:) 已连接", timeout=30)
        except WaitTimeout:
            say("the program did not log the stick's arrival")
        # Let the notice appear and finish sliding in before the picture.
        try:
            harness.wait_for("a notice", lambda: any(w["visible"] for w in session.windows_of(harness.PROGRAM_EXE)),
                             timeout=3)
            time.sleep(1.0)
        except WaitTimeout:
            pass

        try:
            install.wait_log(f"已清除 {STICK_LABEL} ({STICK_LETTER}:) 中的autorun.inf文件", timeout=30)
            say("the planted autorun.inf file was cleared")
        except WaitTimeout:
            say("the planted autorun.inf file was not cleared")

        # The tray menu's "immunise" command for the stick: 5000 plus its
        # place in the drive table (C:, D:, G:).
        session.send(hwnd, WM_COMMAND, IMMUNISE_COMMAND + STICK_INDEX, 0, timeout=60)
        try:
            install.wait_log(f"免疫 {STICK_LETTER}:\\ 成功", timeout=30)
            say(f"immunised {STICK_LETTER}:")
        except WaitTimeout:
            say(f"the program did not log immunising {STICK_LETTER}:")
        print(f"----- {STICK_LETTER}:\\ after immunising (attrib, then the Linux folder) -----")
        listing = session.run(["attrib.exe", "/s", "/d", f"{STICK_LETTER}:\\*"], check=False)
        print(listing.stdout.decode("gbk", "replace").replace("\r\n", "\n").rstrip())
        for path in sorted(stick.rglob("*")):
            kind = "folder" if path.is_dir() else "file  "
            print(f"{kind}  {path.relative_to(stick)}")
        print("----------------------------------------")

        print("----- log.txt (converted to UTF-8) -----")
        for line in install.log_lines():
            print(f"{line.stamp}\t{line.text}")
        print("----------------------------------------")
        session.screenshot(out / "screenshot.png")
        say(f"screenshot saved to {out / 'screenshot.png'}")

        code = program.quit()
        say(f"quit request answered, exit code {code}")
        session.remove_drive(STICK_LETTER)
        session.remove_drive(CD_LETTER)
        if install.log_file.exists():
            shutil.copyfile(install.log_file, out / "log.txt")
    return 0 if code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
