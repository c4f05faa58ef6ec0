#!/usr/bin/env python3
"""Shows the tray program at work under Wine: install, start, plug a
simulated USB stick, print the log, take a screenshot, quit.

    python3 tests/e2e/demo.py --bin-dir build/win64/bin --out demo-out

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


def say(text: str) -> None:
    print(f"demo: {text}", flush=True)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin-dir", type=Path, default=harness.SOURCE_ROOT / "build/win64/bin")
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
        say(f"installed into {install.windows_dir}\\")
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
            install.wait_log(f"{STICK_LABEL} ({STICK_LETTER}:) 已连接", timeout=10)
        except WaitTimeout:
            say("the program did not log the stick's arrival")
        # Let the notice appear and finish sliding in before the picture.
        try:
            harness.wait_for("a notice", lambda: any(w["visible"] for w in session.windows_of(harness.PROGRAM_EXE)),
                             timeout=3)
            time.sleep(1.0)
        except WaitTimeout:
            pass

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
