"""The tray program's notices and its log viewer, under Wine.

A notice is a top-level "QuillmoorAlert" window of Quillmoor.exe whose
controls are told apart by their ids. Information notices slide up to the
bottom-right corner of the work area and close themselves; questions sit in
the middle of the screen until answered. Positions are worked out in twips,
as the program does, at Wine's default 96 dpi.

The question about drive C: that the program asks at every start in a fresh
install folder is kept away, where it would get in the way, by a Disk.ini
that remembers an answer for C:.
"""

from __future__ import annotations

import json
import shutil
import unittest
from typing import Optional

import harness
from harness import PROGRAM_EXE, WaitTimeout, shared_session, wait_for
from test_drives import (ALERT_APPLY_ID as ID_APPLY, ALERT_BODY_ID as ID_BODY, ALERT_CANCEL_ID as ID_CANCEL,
                         ALERT_CLASS, ALERT_REMEMBER_ID as ID_REMEMBER, BM_GETCHECK, STICK_LABEL, STICK_LETTER,
                         WM_COMMAND, StickTestCase, signed_serial)
from test_startup import LOG_CHINESE_PATH, LOG_TRAY, LOG_VERSION, VERSION, ProgramTestCase

ID_TITLE = 102
ALL_CONTROLS = {101, ID_TITLE, ID_BODY, ID_REMEMBER, ID_APPLY, ID_CANCEL}

CMD_VIEW_LOG = 603
CMD_CHECK_UPDATE = 700

TWIPS_PER_PIXEL = 1440 / 96
RIGHT_GAP_TWIPS = 50
BOTTOM_GAP_TWIPS = 20

BODY_CHINESE_PATH = "请不要把本程序放到中文路径下运行"
# What the update check asked for by the menu says when no server answers.
BODY_UPDATE_FAILED = "无法连接到更新服务器,请稍后再试"
LOG_FULL_SCREEN = "监测到全屏运行的程序,停止了弹出提示！"
CHINESE_INSTALL_DIR = r"C:\测试目录\Quillmoor"

STICK_SECTION = signed_serial(StickTestCase.stick_serial)


def setUpModule() -> None:
    shared_session()


def child(window: dict, control_id: int) -> dict:
    for control in window["children"]:
        if control["id"] == control_id:
            return control
    raise AssertionError(f"notice {window['hwnd']} has no control {control_id}: {window['children']}")


def size_of(rect: list[int]) -> tuple[int, int]:
    return rect[2] - rect[0], rect[3] - rect[1]


class NoticeTestCase(ProgramTestCase):
    def alerts(self) -> list[dict]:
        """The notices on screen. A listing is no snapshot: one that caught a
        notice being made (or destroyed) lacks controls and mixes positions
        from before and after, and counts as no notice."""
        return [w for w in self.session.windows_of(PROGRAM_EXE)
                if w["class"] == ALERT_CLASS and w["visible"]
                and ALL_CONTROLS <= {c["id"] for c in w["children"]}]

    def notice(self, body: str) -> Optional[dict]:
        for window in self.alerts():
            if child(window, ID_BODY)["text"] == body:
                return window
        return None

    def wait_notice(self, body: str, timeout: float = 60) -> dict:
        return wait_for(f"a notice saying {body!r}", lambda: self.notice(body), timeout=timeout, interval=0.05)

    def wait_at_rest(self, body: str, timeout: float = 60) -> dict:
        """The notice once two readings in a row find it at the same place."""
        previous: list[Optional[dict]] = [None]

        def settled() -> Optional[dict]:
            window = self.notice(body)
            if window is None:
                raise AssertionError(f"the notice saying {body!r} went before it came to rest")
            last, previous[0] = previous[0], window
            return window if last is not None and last["rect"] == window["rect"] else None

        return wait_for(f"the notice saying {body!r} to come to rest", settled, timeout=timeout)

    def assertPlacedAt(self, window: dict, left: float, top: float) -> None:
        actual = window["rect"][:2]
        self.assertTrue(abs(actual[0] - left) <= 1 and abs(actual[1] - top) <= 1,
                        f"notice at {actual}, expected ({left:.1f}, {top:.1f}) +/- 1 px; rect {window['rect']}")

    def remember_drive_c(self) -> None:
        """An answer for drive C: in Disk.ini, so that it is not asked about."""
        serial = next(d["serial"] for d in self.session.helper_json("drives") if d["root"] == "C:\\")
        self.install.path("Disk.ini").write_bytes(
            f"[{serial}]\r\nPartition=C\r\nRemember=1\r\nMakeDir=0\r\n".encode("ascii"))

    def any_alert_window(self) -> list[dict]:
        """Every notice window, shown or not, complete or not."""
        return [w for w in self.session.windows_of(PROGRAM_EXE) if w["class"] == ALERT_CLASS]

    def foreground(self) -> Optional[dict]:
        output = self.session.helper("foreground").strip()
        return None if output == "null" else json.loads(output)

    def start_full_screen(self) -> int:
        """A full-screen window of another program, in front."""
        _, line = self.session.start_helper("fullscreen")
        hwnd = int(line)
        wait_for("the full-screen window in front", lambda: (self.foreground() or {}).get("hwnd") == hwnd,
                 timeout=60)
        return hwnd

    def save_screenshot(self, name: str, window: dict) -> None:
        """Pictures of the notices for the documentation (copied to docs/);
        without ImageMagick there are none, and the tests go on."""
        if shutil.which("import") and shutil.which("convert"):
            self.session.screenshot_around(self.session.logs_dir / name, window["rect"])


class InformationNoticeTests(NoticeTestCase):
    install_dir = CHINESE_INSTALL_DIR

    def test_information_notice_rests_bottom_right_and_closes_itself(self):
        self.remember_drive_c()
        program = self.install.start()
        window = self.wait_notice(BODY_CHINESE_PATH)

        self.assertEqual(window["caption"], "Quillmoor v" + VERSION)
        self.assertEqual(child(window, ID_TITLE)["text"], "Quillmoor v" + VERSION)
        self.assertFalse(child(window, ID_REMEMBER)["visible"], "an information notice asks nothing")
        self.assertFalse(child(window, ID_APPLY)["visible"], "an information notice asks nothing")

        # How long it stays is timed by bench/notices_wine.py.
        resting = self.wait_at_rest(BODY_CHINESE_PATH)
        self.save_screenshot("notice-information.png", resting)
        width, height = size_of(resting["rect"])
        _, _, right, bottom = self.session.work_area()
        self.assertPlacedAt(
            resting,
            round((right - width) * TWIPS_PER_PIXEL - RIGHT_GAP_TWIPS) / TWIPS_PER_PIXEL,
            round((bottom - height) * TWIPS_PER_PIXEL - BOTTOM_GAP_TWIPS) / TWIPS_PER_PIXEL)
        wait_for("the notice to close itself", lambda: self.notice(BODY_CHINESE_PATH) is None, timeout=60)

        self.install.wait_log(LOG_VERSION)
        self.assertQuitsCleanly(program)

    def test_full_screen_window_holds_notices_back(self):
        self.remember_drive_c()
        self.start_full_screen()
        program = self.install.start()

        # At every look from the start until start-up has finished, its
        # update check included (which shows no notice at start-up).
        def started() -> bool:
            self.assertEqual(self.any_alert_window(), [], "a notice opened in front of a full-screen window")
            self.assertTrue(program.running(), program.stderr())
            return any(t.startswith(harness.LOG_UPDATE_OUTCOMES) for t in self.install.log_texts())
        wait_for("start-up to finish", started, timeout=60)
        self.assertEqual(self.any_alert_window(), [], "a notice opened in front of a full-screen window")

        # One line per notice held back: here the Chinese-path warning alone,
        # which shows first and is logged right after.
        texts = self.install.log_texts()
        self.assertEqual(texts.count(LOG_FULL_SCREEN), 1, texts)
        self.assertIn(LOG_CHINESE_PATH, texts)
        self.assertEqual(texts[texts.index(LOG_CHINESE_PATH) - 1], LOG_FULL_SCREEN, texts)
        self.assertQuitsCleanly(program)


class FullScreenForegroundTests(NoticeTestCase):
    # Building the tray icon must not take the foreground from a full-screen
    # program: the question about C: that follows would open over it.
    def test_question_at_start_up_stays_behind_full_screen_window(self):
        self.start_full_screen()
        # Start-up has asked about C: by the time it has finished.
        program = self.start_running()
        self.assertEqual([[c["text"] for c in w["children"] if c["id"] == ID_BODY]
                          for w in self.any_alert_window()], [])
        self.assertEqual((self.foreground() or {}).get("class"), "QmFullscreen")
        self.assertIn(LOG_FULL_SCREEN, self.install.log_texts())
        self.assertQuitsCleanly(program)


class QuestionTestCase(StickTestCase, NoticeTestCase):
    """A CD-ROM letter defined before start-up and a stick folder to plug."""


class QuestionNoticeTests(QuestionTestCase):
    def test_question_is_centred_and_waits_for_an_answer(self):
        self.remember_drive_c()
        program = self.start_running()
        self.plug()
        body = f"是否免疫 {STICK_LABEL} ({STICK_LETTER}:)"
        self.wait_notice(body)

        window = self.wait_at_rest(body)
        width, height = size_of(window["rect"])
        screen_width, screen_height = harness.DESKTOP_SIZE
        self.assertPlacedAt(window, (screen_width - width) / 2, (screen_height - height) / 2)
        remember = child(window, ID_REMEMBER)
        self.assertTrue(remember["visible"])
        self.assertTrue(child(window, ID_APPLY)["visible"])
        self.assertTrue(child(window, ID_CANCEL)["visible"])
        # The box, then the two links side by side on one row below it.
        apply, cancel = child(window, ID_APPLY), child(window, ID_CANCEL)
        self.assertEqual(apply["rect"][1], cancel["rect"][1])
        self.assertGreaterEqual(apply["rect"][1], remember["rect"][3])
        self.assertLess(cancel["rect"][2], apply["rect"][0])
        self.assertEqual(self.session.send(remember["hwnd"], BM_GETCHECK), 0, "nothing is remembered unasked")
        self.save_screenshot("notice-question.png", window)

        # No timer: an information notice shown after it comes and goes by
        # itself while the question stays, unmoved.
        self.session.post(program.hwnd, WM_COMMAND, CMD_CHECK_UPDATE, 0)
        self.wait_notice(BODY_UPDATE_FAILED)
        wait_for("the information notice to close itself", lambda: self.notice(BODY_UPDATE_FAILED) is None,
                 timeout=60)
        still = self.notice(body)
        self.assertIsNotNone(still, "the question closed by itself")
        self.assertEqual(still["rect"], window["rect"], "the question moved")

        # The answers act as buttons do: on the release over them. A press
        # alone on "取消", and one released beside the window, answer
        # nothing: the click on "应用设置" that follows is the answer.
        self.session.mouse(cancel["hwnd"], "over", "press")
        self.session.mouse(cancel["hwnd"], "away", "release")
        self.session.mouse(apply["hwnd"], "over", "press", "release")
        wait_for("the question to close once answered", lambda: self.notice(body) is None, timeout=30)
        wait_for("the answer in Disk.ini",
                 lambda: harness.ini_value(self.install.disk_ini, STICK_SECTION, "MakeDir") is not None)
        self.assertEqual(harness.ini_value(self.install.disk_ini, STICK_SECTION, "MakeDir"), "1")
        self.assertQuitsCleanly(program)


class ViewLogTests(NoticeTestCase):
    def setUp(self) -> None:
        super().setUp()
        # A fresh Wine prefix opens no .txt file; Windows opens it in Notepad.
        self.session.run(["reg.exe", "add", r"HKCR\.txt", "/ve", "/d", "txtfile", "/f"])
        self.addCleanup(self.session.kill_image, "notepad.exe")

    def viewer(self) -> Optional[dict]:
        for window in self.session.windows_of("notepad.exe"):
            if window["visible"] and "log.txt" in window["caption"]:
                return window
        return None

    def open_log(self, program: harness.Program) -> dict:
        self.assertIsNotNone(self.session.send(program.hwnd, WM_COMMAND, CMD_VIEW_LOG, 0))
        window = wait_for("Notepad showing log.txt", self.viewer, timeout=60)
        area = self.session.work_area()

        def maximised() -> Optional[dict]:
            # Notepad may show itself at its normal size first.
            nonlocal window
            window = self.viewer() or window
            left, top, right, bottom = window["rect"]
            return window if left <= area[0] and top <= area[1] and right >= area[2] and bottom >= area[3] else None

        try:
            return wait_for("Notepad to fill the work area", maximised, timeout=30)
        except WaitTimeout:
            self.fail(f"the log is not shown maximised: {window['rect']}, work area {area}")

    def close_viewer(self) -> None:
        self.session.kill_image("notepad.exe")
        wait_for("Notepad to end", lambda: "notepad.exe" not in self.session.running_images(), timeout=60)

    def test_view_log_opens_existing_log_and_creates_missing_one_empty(self):
        program = self.start_running()
        before = self.install.log_file.read_bytes()
        self.assertIn(LOG_TRAY.encode("gbk"), before)

        self.open_log(program)
        self.assertEqual(self.install.log_file.read_bytes(), before, "viewing must leave the log as it was")
        self.close_viewer()

        # The program opens the log only to add a line, so it can go meanwhile.
        self.install.log_file.unlink()
        self.open_log(program)
        self.assertEqual(self.install.log_file.read_bytes(), b"", "the log is made anew, empty")
        self.close_viewer()
        self.assertQuitsCleanly(program)


if __name__ == "__main__":
    unittest.main()
