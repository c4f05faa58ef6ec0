"""Drives coming and going while the tray program runs, under Wine.

A simulated stick is a folder of the test run mapped to a drive letter by
Wine's mount manager; Wine sends no device-change broadcast for it, so the
test sends one itself. A CD-ROM letter defined before start-up gives the
drive table its second entry, without which the first stick of a session is
not announced (and a CD-ROM is never asked about immunisation).
"""

from __future__ import annotations

import shutil
import unittest

from harness import shared_session
from test_startup import LOG_VERSION, ProgramTestCase

STICK_LABEL = "DEMO STICK"
STICK_LETTER = "G"
CD_LETTER = "D"


def setUpModule() -> None:
    shared_session()


class DriveArrivalTests(ProgramTestCase):
    def setUp(self) -> None:
        super().setUp()
        media = self.session.work_dir / "media" / self.id().rsplit(".", 1)[-1]
        shutil.rmtree(media, ignore_errors=True)
        self.cdrom = media / "cdrom"
        self.stick = media / "stick"
        self.cdrom.mkdir(parents=True)
        self.stick.mkdir(parents=True)
        (self.stick / ".windows-label").write_text(STICK_LABEL, encoding="utf-8")
        (self.stick / ".windows-serial").write_text("5eed1234\n", encoding="ascii")
        self.session.define_drive(CD_LETTER, self.cdrom, "cdrom")
        self.caption = f"{STICK_LABEL} ({STICK_LETTER}:)"

    def plug(self) -> None:
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        self.session.device_change("arrival", STICK_LETTER)

    def pull(self) -> None:
        self.session.remove_drive(STICK_LETTER)
        self.session.device_change("removal", STICK_LETTER)

    def test_stick_arrival_and_removal_are_logged_once(self):
        program = self.start_running()
        self.plug()
        self.install.wait_log(self.caption + " 已连接")
        self.pull()
        self.install.wait_log(self.caption + " 已被断开连接")

        texts = self.install.log_texts()
        self.assertEqual(texts.count(self.caption + " 已连接"), 1)
        self.assertEqual(texts.count(self.caption + " 已被断开连接"), 1)
        self.assertQuitsCleanly(program)

    def test_drive_present_at_start_is_not_announced(self):
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        program = self.start_running()
        # A device change makes the program compare with its first snapshot.
        self.session.device_change("arrival", STICK_LETTER)
        self.session.send(program.hwnd, 0)
        texts = self.install.log_texts()
        self.assertIn(LOG_VERSION, texts)
        self.assertFalse([t for t in texts if t.endswith(" 已连接")], texts)
        self.assertQuitsCleanly(program)

    def test_planted_autorun_file_is_deleted_on_arrival(self):
        (self.stick / "autorun.inf").write_text("[autorun]\r\nopen=evil.exe\r\n", encoding="ascii")
        program = self.start_running()
        self.plug()
        self.install.wait_log(f"已清除 {self.caption} 中的autorun.inf文件")
        self.assertFalse((self.stick / "autorun.inf").is_file())
        self.assertQuitsCleanly(program)


if __name__ == "__main__":
    unittest.main()
