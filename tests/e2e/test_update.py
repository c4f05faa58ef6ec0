"""The update check of the tray program against a loopback server, under Wine
(run with --suite update).

Setting.ini's UpdateServer points the program at the test's server; the
program asks for "<base>/Quillmoor/Update.txt" at start-up (quietly: only a
new version is told) and on the tray menu's "check for updates" (command
700). A stand-in updater (qmrecord.exe, installed as Quillmoor_Freshwell.exe)
writes its command line to recorded.txt beside itself.
"""

from __future__ import annotations

import re
import shutil
import unittest
from typing import Optional

from harness import PROGRAM_EXE, shared_session, wait_for
from http_server import LoopbackServer
from test_notices import ALERT_CLASS, ID_BODY, WM_COMMAND, NoticeTestCase
from test_startup import LOG_QUIT, VERSION

CMD_CHECK_UPDATE = 700
CMD_SHOW_SETTINGS = 602
SETTINGS_CAPTION = "分区免疫设置"
CLOSE_TEXT = "关闭(&C)"
UPDATE_PATH = "/Quillmoor/Update.txt"
UPDATER = "Quillmoor_Freshwell.exe"
RECORD = "recorded.txt"

NEW_VERSION = "1.0.70"
BODY_NEW = "提示:检测到新版本 v" + NEW_VERSION
LOG_NEW = f"检测到新版本 v{NEW_VERSION} 打开Freshwell.exe"
BODY_CURRENT = "提示:当前是最新版本,无需更新"
LOG_CURRENT = "当前是最新版本,无需更新"
BODY_FAILED = "无法连接到更新服务器,请稍后再试"
LOG_FAILED = "更新失败:无法连接到更新服务器"



def setUpModule() -> None:
    shared_session()


class UpdateTestCase(NoticeTestCase):
    server: LoopbackServer

    @classmethod
    def setUpClass(cls) -> None:
        cls.server = LoopbackServer().start()
        cls.addClassCleanup(cls.server.close)
        # Each base address behaves its own way.
        cls.current_base = cls.server.url("/current")
        cls.server.serve("/current" + UPDATE_PATH, f"{VERSION}\r\n".encode("ascii"))
        cls.new_base = cls.server.url("/new")
        cls.server.serve("/new" + UPDATE_PATH, f" {NEW_VERSION} \r\n更新说明\r\n".encode("gbk"))
        cls.missing_base = cls.server.url("/missing")
        cls.silent_base = cls.server.url("/silent")
        cls.server.silent("/silent" + UPDATE_PATH)
        # The descriptor's first bytes come, the rest never does.
        cls.stalled_base = cls.server.url("/stalled")
        cls.server.stall("/stalled" + UPDATE_PATH, f"{NEW_VERSION}\r\n".encode("ascii"), sent=3)
        cls.refused_base = cls.server.refused_url("")

    def setUp(self) -> None:
        super().setUp()
        self.remember_drive_c()
        shutil.copy2(self.session.bin_dir / "qmrecord.exe", self.install.path(UPDATER))
        self.server.clear_received()

    def set_update_server(self, base: str) -> None:
        """Writes UpdateServer into Setting.ini, keeping whatever else is there;
        the program reads it anew at every check."""
        path = self.install.setting_ini
        text = path.read_bytes().decode("gbk") if path.exists() else "[Setting]\r\n"
        line = f"UpdateServer={base}"
        text, found = re.subn(r"(?m)^UpdateServer=[^\r\n]*", line.replace("\\", "\\\\"), text)
        if not found:
            text = re.sub(r"(?m)^\[Setting\][^\r\n]*", lambda m: m.group(0) + "\r\n" + line, text, count=1)
        path.write_bytes(text.encode("gbk"))
        self.assertEqual(self.install.setting("Setting", "UpdateServer"), base)

    def start_with(self, base: str):
        self.set_update_server(base)
        return self.start_running()

    def check(self, program) -> None:
        """The menu's update command, posted: a check runs for as long as the
        server takes, with the program's messages running."""
        self.session.post(program.hwnd, WM_COMMAND, CMD_CHECK_UPDATE, 0)

    def notice_hwnds(self, body: str) -> set[int]:
        """Every notice with this text, shown or not."""
        return {w["hwnd"] for w in self.session.windows_of(PROGRAM_EXE)
                if w["class"] == ALERT_CLASS and any(c["id"] == ID_BODY and c["text"] == body
                                                     for c in w["children"])}

    def wait_new_notice(self, body: str, before: set[int], timeout: float = 60) -> dict:
        """A shown notice with this text that was not among before."""
        def fresh() -> Optional[dict]:
            window = self.notice(body)
            return window if window is not None and window["hwnd"] not in before else None
        return wait_for(f"a new notice saying {body!r}", fresh, timeout=timeout, interval=0.1)

    def recorded(self) -> list[str]:
        path = self.install.path(RECORD)
        return path.read_text("utf-8").splitlines() if path.exists() else []

    def requests(self, base: str) -> int:
        return len(self.server.received(base[len(self.server.url("")):] + UPDATE_PATH))


class NewVersionTests(UpdateTestCase):
    def test_new_version_at_start_up_is_told_and_starts_the_updater(self):
        # A slash at the end of the address is the user's typing.
        program = self.start_with(self.new_base + "/")
        self.wait_notice(BODY_NEW)
        self.install.wait_log(LOG_NEW)
        expected = f'"{self.install.windows_dir}\\{UPDATER}" -needupdate'
        wait_for("the updater to be started", self.recorded, timeout=60)
        self.assertEqual(self.recorded(), [expected])
        self.assertEqual(self.requests(self.new_base), 1)
        self.assertNotIn(LOG_CURRENT, self.install.log_texts())
        self.assertQuitsCleanly(program)


class CheckTests(UpdateTestCase):
    def test_current_version_is_told_only_when_asked_and_failures_after_it(self):
        program = self.start_with(self.current_base)
        self.install.wait_log(LOG_CURRENT)
        self.assertEqual(self.notice_hwnds(BODY_CURRENT), set(), "the quiet start-up check showed a notice")

        self.check(program)
        self.wait_new_notice(BODY_CURRENT, set())
        self.install.wait_log(LOG_CURRENT, count=2)

        # The server was reached before: a closed port must still count as
        # no server at all, and so must a missing descriptor.
        self.set_update_server(self.refused_base)
        self.check(program)
        self.install.wait_log(LOG_FAILED)
        first_failure = self.wait_new_notice(BODY_FAILED, set())

        self.set_update_server(self.missing_base)
        self.check(program)
        self.install.wait_log(LOG_FAILED, count=2)
        self.wait_new_notice(BODY_FAILED, {first_failure["hwnd"]})
        self.assertEqual(self.requests(self.missing_base), 1)

        self.assertTrue(self.session.answers(program.hwnd))
        self.assertEqual(self.recorded(), [], "the updater was started")
        texts = self.install.log_texts()
        self.assertEqual(texts.count(LOG_CURRENT), 2, texts)
        self.assertEqual(texts.count(LOG_FAILED), 2, texts)
        self.assertNotIn(LOG_NEW, texts)
        self.assertQuitsCleanly(program)


class SilentServerTests(UpdateTestCase):
    def test_silent_server_is_given_up_on_and_quit_ends_a_waiting_check(self):
        # A descriptor left over from an earlier check must go before the
        # request, or a failed check could read it.
        self.install.path("Update.txt").write_bytes(b"9.9.99\r\n")
        program = self.start_with(self.missing_base)
        self.install.wait_log(LOG_FAILED)
        self.assertEqual(self.requests(self.missing_base), 1)
        self.assertFalse(self.install.path("Update.txt").exists(), "the stale descriptor was kept")
        self.assertEqual(self.notice_hwnds(BODY_FAILED), set(), "the quiet start-up check showed a notice")

        self.set_update_server(self.silent_base)
        self.check(program)
        wait_for("the request at the silent server", lambda: self.requests(self.silent_base) == 1, timeout=60)
        # The program answers at every look until the check gives up by
        # itself (bench/waits_wine.py times both).
        answered = 0

        def gave_up() -> bool:
            nonlocal answered
            self.assertTrue(self.session.answers(program.hwnd), "the program stopped answering during the check")
            if self.install.log_count(LOG_FAILED) >= 2:
                return True
            answered += 1
            return False
        wait_for("the check to give up on the silent server", gave_up, timeout=300, interval=1)
        self.assertGreater(answered, 0, "the check gave up before the program was asked")
        self.wait_new_notice(BODY_FAILED, set())
        self.assertEqual(self.install.log_count(LOG_FAILED), 2)

        # Quitting while a check waits on the server.
        self.check(program)
        wait_for("the second request at the silent server", lambda: self.requests(self.silent_base) == 2,
                 timeout=60)
        self.assertQuitsCleanly(program)
        texts = self.install.log_texts()
        self.assertEqual(texts[-1], LOG_QUIT, texts)
        self.assertEqual(texts.count(LOG_FAILED), 2, texts)
        self.assertEqual(self.recorded(), [], "the updater was started")

    def test_descriptor_stalling_midway_never_holds_the_program_and_a_quit_ends_it(self):
        program = self.start_with(self.missing_base)
        self.install.wait_log(LOG_FAILED)
        self.set_update_server(self.stalled_base)
        self.check(program)
        wait_for("the request at the stalling server", lambda: self.requests(self.stalled_base) == 1,
                 timeout=60)
        for _ in range(3):
            self.assertTrue(self.session.answers(program.hwnd), "the program stopped answering during the body")
        self.assertEqual(self.install.log_count(LOG_FAILED), 1, "the check ended before the program was asked")
        self.assertQuitsCleanly(program)
        texts = self.install.log_texts()
        self.assertEqual(texts[-1], LOG_QUIT, texts)
        self.assertEqual(texts.count(LOG_FAILED), 1, texts)
        self.assertEqual(self.recorded(), [], "the updater was started")

    def test_settings_window_keys_work_while_a_check_waits(self):
        # The check waits on the server inside a pump of its own: the
        # settings window opened meanwhile still takes its keys.
        program = self.start_with(self.missing_base)
        self.install.wait_log(LOG_FAILED)
        self.set_update_server(self.silent_base)
        self.check(program)
        wait_for("the request at the silent server", lambda: self.requests(self.silent_base) == 1, timeout=60)
        self.assertIsNotNone(self.session.send(program.hwnd, WM_COMMAND, CMD_SHOW_SETTINGS, 0, timeout=60))

        def settings() -> list[dict]:
            return [w for w in self.session.windows_of(PROGRAM_EXE) if w["caption"] == SETTINGS_CAPTION]

        window = wait_for("the settings window", lambda: ([w for w in settings() if w["visible"]] or [None])[0])
        self.session.keys(window["hwnd"], "tab")
        wait_for("the keyboard on the close button",
                 lambda: (self.session.focus(window["hwnd"]) or {}).get("text") == CLOSE_TEXT)
        self.session.keys(window["hwnd"], "esc")
        wait_for("the settings window to go", lambda: not settings())
        self.assertEqual(self.install.log_count(LOG_FAILED), 1, "the check ended before the keys were tried")
        self.assertQuitsCleanly(program)


if __name__ == "__main__":
    unittest.main()
