"""The window "分区免疫设置" under Wine: opening it, its refresh and close
buttons, and the program ending while it is open.

Under Wine no drive carries the ATA or USB bus mark, so the drive list of
the window stays empty here, even with a stick plugged in; the rows (boxes,
status word, context menu) are covered by the host tests of the list and
row models. What runs here is the real window around them: one at a time,
its size, its buttons, and its coming and going while the program refreshes
and ends.
"""

from __future__ import annotations

import shutil
import unittest
from typing import Optional

import harness
from harness import LOCATOR_FILE, PROGRAM_EXE, WM_NULL, shared_session, wait_for
from test_drives import RELOAD_COMMAND, STICK_LETTER, WM_COMMAND, StickTestCase
from test_startup import LOG_QUIT

SHOW_SETTINGS_COMMAND = 602
EXIT_COMMAND = 506
WM_CLOSE = 0x0010

SETTINGS_CAPTION = "分区免疫设置"
REFRESH_TEXT = "刷新(&R)"
CLOSE_TEXT = "关闭(&C)"
CLIENT_SIZE_96_DPI = (362, 292)


def setUpModule() -> None:
    shared_session()


class SettingsTestCase(StickTestCase):
    def settings_windows(self) -> list[dict]:
        return [w for w in self.session.windows_of(PROGRAM_EXE) if w["caption"] == SETTINGS_CAPTION]

    def the_settings_window(self) -> Optional[dict]:
        """The one visible settings window; more than one fails the test."""
        windows = self.settings_windows()
        self.assertLessEqual(len(windows), 1, windows)
        return windows[0] if windows and windows[0]["visible"] else None

    def open_settings(self, program: harness.Program) -> dict:
        # The command returns once the window has loaded and filled its list.
        self.assertIsNotNone(self.session.send(program.hwnd, WM_COMMAND, SHOW_SETTINGS_COMMAND, 0, timeout=60))
        return wait_for("the settings window", self.the_settings_window)

    def button(self, window: dict, text: str) -> int:
        found = [c["hwnd"] for c in window["children"] if c["class"].lower() == "button" and c["text"] == text]
        self.assertEqual(len(found), 1, f"buttons {text!r} in {window}")
        return found[0]

    def refresh_seen(self, action) -> None:
        """Runs action and waits for the drive refresh it causes: every
        refresh writes the locator file again."""
        locator = self.session.unix_path(LOCATOR_FILE)
        locator.unlink(missing_ok=True)
        action()
        wait_for("the drive refresh", locator.exists, timeout=30)

    def assertAnswers(self, program: harness.Program) -> None:
        self.assertTrue(self.session.answers(program.hwnd), "the main window does not answer")


class OpenSettingsTests(SettingsTestCase):
    def test_show_command_opens_one_centred_window_of_the_design_size(self):
        program = self.start_running()
        # Two commands queued at once: the second comes while the first
        # window is still loading, and must not open another.
        self.session.post(program.hwnd, WM_COMMAND, SHOW_SETTINGS_COMMAND, 0, count=2)
        window = wait_for("the settings window", self.the_settings_window)
        self.assertAnswers(program)
        self.assertEqual(len(self.settings_windows()), 1)
        self.assertEqual(self.open_settings(program)["hwnd"], window["hwnd"])
        self.assertEqual(len(self.settings_windows()), 1)

        # Wine runs at 96 dpi: the client area is the design size itself.
        self.assertEqual(tuple(window["client"]), CLIENT_SIZE_96_DPI)
        self.assertTrue(window["appwindow"], "the window should have a taskbar button")
        left, top, right, bottom = window["rect"]
        work_left, work_top, work_right, work_bottom = self.session.work_area()
        self.assertLessEqual(abs((left + right) - (work_left + work_right)), 2, window["rect"])
        self.assertLessEqual(abs((top + bottom) - (work_top + work_bottom)), 2, window["rect"])

        texts = [c["text"] for c in window["children"]]
        self.assertIn(REFRESH_TEXT, texts)
        self.assertIn(CLOSE_TEXT, texts)
        self.save_screenshot("settings-window.png", window)
        self.assertQuitsCleanly(program)

    def save_screenshot(self, name: str, window: dict) -> None:
        """A picture of the empty window for the documentation (copied to
        docs/); without ImageMagick there is none, and the test goes on."""
        if shutil.which("import") and shutil.which("convert"):
            self.session.send(window["hwnd"], WM_NULL)
            self.session.screenshot_around(self.session.logs_dir / name, window["rect"])


class SettingsButtonTests(SettingsTestCase):
    def test_refresh_with_a_stick_plugged_keeps_one_window(self):
        program = self.start_running()
        self.plug()
        self.install.wait_log(self.caption + " 已连接")
        window = self.open_settings(program)
        log_before = self.install.log_texts()

        self.refresh_seen(lambda: self.session.helper("click", self.button(window, REFRESH_TEXT)))
        self.assertAnswers(program)
        self.assertEqual(self.the_settings_window()["hwnd"], window["hwnd"])
        # Nothing changed, so the refresh has nothing to report.
        self.assertEqual(self.install.log_texts(), log_before)
        self.assertQuitsCleanly(program)

    def test_close_unloads_the_window_and_only_the_show_command_reopens_it(self):
        program = self.start_running()
        window = self.open_settings(program)
        self.session.helper("click", self.button(window, CLOSE_TEXT))
        wait_for("the settings window to go", lambda: not self.settings_windows())

        # Refreshes of every kind find no window to fill and open none.
        self.refresh_seen(lambda: self.session.send(program.hwnd, WM_COMMAND, RELOAD_COMMAND, 0, timeout=60))
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        self.refresh_seen(lambda: self.session.device_change("arrival", STICK_LETTER))
        self.install.wait_log(self.caption + " 已连接")
        self.assertAnswers(program)
        self.assertEqual(self.settings_windows(), [])

        # A fresh window, which the window's close box unloads as well.
        window = self.open_settings(program)
        texts = [c["text"] for c in window["children"]]
        self.assertIn(REFRESH_TEXT, texts)
        self.session.post(window["hwnd"], WM_CLOSE)
        wait_for("the settings window to go", lambda: not self.settings_windows())
        self.refresh_seen(lambda: self.session.send(program.hwnd, WM_COMMAND, RELOAD_COMMAND, 0, timeout=60))
        self.assertEqual(self.settings_windows(), [])
        self.assertQuitsCleanly(program)


class SettingsKeyboardTests(SettingsTestCase):
    def focused_text(self, window: dict) -> str:
        return (self.session.focus(window["hwnd"]) or {}).get("text", "")

    def test_tab_enter_access_keys_and_escape(self):
        program = self.start_running()
        window = self.open_settings(program)
        # Under Wine the list has no rows: the two buttons take turns.
        wait_for("the keyboard on the refresh button", lambda: self.focused_text(window) == REFRESH_TEXT)
        self.session.keys(window["hwnd"], "tab")
        wait_for("the keyboard on the close button", lambda: self.focused_text(window) == CLOSE_TEXT)
        self.session.keys(window["hwnd"], "shift+tab")
        wait_for("the keyboard back on refresh", lambda: self.focused_text(window) == REFRESH_TEXT)
        self.refresh_seen(lambda: self.session.keys(window["hwnd"], "enter"))
        self.refresh_seen(lambda: self.session.keys(window["hwnd"], "alt+r"))
        self.assertEqual(self.the_settings_window()["hwnd"], window["hwnd"])

        self.session.keys(window["hwnd"], "alt+c")
        wait_for("the settings window to go", lambda: not self.settings_windows())
        # Esc closes it as "关闭(&C)" does, wherever the keyboard is.
        window = self.open_settings(program)
        self.session.keys(window["hwnd"], "tab", "esc")
        wait_for("the settings window to go", lambda: not self.settings_windows())
        self.assertAnswers(program)
        self.assertQuitsCleanly(program)


class QuitWithSettingsOpenTests(SettingsTestCase):
    def assertEndsWithWindowOpen(self, end) -> None:
        program = self.start_running()
        self.open_settings(program)
        code = end(program)
        self.assertEqual(code, 0, f"exit code {code}; stderr: {program.stderr()}")
        self.assertEqual(self.install.log_texts()[-1], LOG_QUIT)

    def test_quit_request_closes_the_window_and_logs_the_exit(self):
        self.assertEndsWithWindowOpen(lambda program: program.quit())

    def test_exit_command_closes_the_window_and_logs_the_exit(self):
        def exit_command(program: harness.Program) -> int:
            self.session.post(program.hwnd, WM_COMMAND, EXIT_COMMAND, 0)
            return program.wait_exit(timeout=30)

        self.assertEndsWithWindowOpen(exit_command)


if __name__ == "__main__":
    unittest.main()
