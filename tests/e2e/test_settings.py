"""The window "分区免疫设置" under Wine: opening it, its refresh and close
buttons, the program ending while it is open, and its rows.

Wine answers every drive with a SCSI bus, which the window does not list;
the tests that look at rows declare the USB, SD and SATA buses of their drives
(Install.declare_buses), which the test build of the program reads.
"""

from __future__ import annotations

import shutil
import unittest
from pathlib import Path
from typing import Optional

import harness
from harness import LOCATOR_FILE, PROGRAM_EXE, WM_NULL, shared_session, wait_for
from test_drives import RELOAD_COMMAND, STICK_LETTER, WM_COMMAND, StickTestCase, signed_serial
from test_startup import LOG_QUIT

SHOW_SETTINGS_COMMAND = 602
EXIT_COMMAND = 506
WM_CLOSE = 0x0010

SETTINGS_CAPTION = "分区免疫设置"
REFRESH_TEXT = "刷新(&R)"
CLOSE_TEXT = "关闭(&C)"
CLIENT_SIZE_96_DPI = (362, 292)

ROW_CLASS = "QuillmoorDiskRow"
PIC_ID, LDISK_ID, CHECK1_ID, CHECK2_ID, CHECK3_ID, LABEL1_ID = range(301, 307)
LIST_ID, VIEWPORT_ID, PANEL_ID, SCROLL_ID = 202, 203, 204, 205
ROW_HEIGHT = 25
IMMUNISED = "已经免疫"
NOT_IMMUNISED = "没有免疫"
MENU_CREATE, MENU_DELETE = 2, 3
WM_VSCROLL = 0x0115
WM_RBUTTONUP = 0x0205
SB_LINEDOWN = 1
SBM_GETPOS = 0x00E1
TTM_GETTOOLCOUNT = 0x040D


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

    def save_screenshot(self, name: str, window: dict) -> None:
        """A picture of the window for the documentation (copied to docs/);
        without ImageMagick there is none, and the test goes on."""
        if shutil.which("import") and shutil.which("convert"):
            self.session.send(window["hwnd"], WM_NULL)
            self.session.screenshot_around(self.session.logs_dir / name, window["rect"])


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
        self.assertQuitsCleanly(program)


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


class DriveRowsTests(SettingsTestCase):
    """Drives whose buses the test declares, present before the program
    starts (so not announced), none of them asked about: each either
    carries the immunity folder or has a remembered answer."""

    def add_drive(self, letter: str, label: str, serial: int, immunised: bool = False,
                  bus: Optional[str] = None) -> Path:
        folder = self.media / letter
        folder.mkdir(parents=True, exist_ok=True)
        (folder / ".windows-label").write_text(label, encoding="utf-8")
        (folder / ".windows-serial").write_text(f"{serial:08x}\n", encoding="ascii")
        if immunised:
            (folder / "autorun.inf").mkdir()
        self.session.define_drive(letter, folder, "removable")
        return folder

    def rows(self) -> tuple[dict, list[dict]]:
        """The window and the rows its list shows, top to bottom; each row
        with its root, status word, box checks, icon and screen rectangle."""
        window = wait_for("the settings window", self.the_settings_window)
        children = window["children"]
        panel = [c for c in children if c["id"] == PANEL_ID and c["class"] != ROW_CLASS]
        self.assertEqual(len(panel), 1, children)
        panel_rect = panel[0]["rect"]
        rows = []
        for row in (c for c in children if c["class"] == ROW_CLASS):
            # The first row stays when the list is empty, below the panel's
            # zero height.
            if row["parent"] != panel[0]["hwnd"] or row["rect"][3] > panel_rect[3]:
                continue
            controls = {c["id"]: c for c in children if c["parent"] == row["hwnd"]}
            rows.append({"hwnd": row["hwnd"], "rect": row["rect"], "controls": controls,
                         "root": controls[LDISK_ID]["text"], "status": controls[LABEL1_ID]["text"],
                         "checks": tuple(controls[i]["check"] for i in (CHECK1_ID, CHECK2_ID, CHECK3_ID)),
                         "icon": controls[PIC_ID]["icon"]})
        rows.sort(key=lambda r: r["rect"][1])
        return window, rows

    def wait_rows(self, count: int) -> tuple[dict, list[dict]]:
        """The window and its rows once the list shows count rows and keeps
        no other row window (a refresh fills the list one row at a time)."""
        def settled():
            window, rows = self.rows()
            row_windows = [c for c in window["children"] if c["class"] == ROW_CLASS]
            return len(rows) == count and len(row_windows) == max(1, count) and (window, rows)
        return wait_for(f"{count} rows", settled, timeout=30, interval=0.2)

    def row(self, root: str) -> dict:
        found = [r for r in self.rows()[1] if r["root"] == root]
        self.assertEqual(len(found), 1, f"rows of {root}")
        return found[0]

    def control_of(self, window: dict, control_id: int) -> dict:
        found = [c for c in window["children"] if c["id"] == control_id and c["class"] != ROW_CLASS]
        self.assertEqual(len(found), 1, f"controls {control_id}")
        return found[0]

    def row_menu(self, root: str, pick: int) -> list[str]:
        """Right-clicks the row's status word and picks from its menu;
        returns the menu's texts."""
        self.session.post(self.row(root)["controls"][LABEL1_ID]["hwnd"], WM_RBUTTONUP)
        return [item["text"] for item in self.session.read_popup_menu(PROGRAM_EXE, pick=pick)]

    def wait_status(self, root: str, status: str) -> None:
        # The row's own timer looks again every 2 s.
        wait_for(f"{root} to say {status}", lambda: self.row(root)["status"] == status, timeout=60,
                 interval=0.2)

    def test_rows_of_two_sticks_a_card_and_a_sata_disk_their_boxes_and_row_menu(self):
        sections = {"G": (0x5EED1234, "1", "0"), "I": (0xC0FFEE42, "1", "1"), "J": (0x00A1B2C3, "1", "0")}
        disk = b""
        for letter, (serial, remember, make_dir) in sections.items():
            disk += f"[{signed_serial(f'{serial:08x}')}]\r\nRemember={remember}\r\nMakeDir={make_dir}\r\n".encode()
        self.install.disk_ini.write_bytes(disk)
        stick = self.add_drive("G", "DEMO STICK", 0x5EED1234)
        # The disk has no section: a volume never decided on.
        self.add_drive("H", "DATA DISK", 0x0D15C000, immunised=True)
        self.add_drive("I", "KINGSTON", 0xC0FFEE42, immunised=True)
        self.add_drive("J", "SANDISK", 0x00A1B2C3)
        # J is a card in a built-in reader; H a SATA disk.
        self.install.declare_buses({"G": "USB", "H": "SATA", "I": "USB", "J": "SD"})
        program = self.start_running()
        self.open_settings(program)

        window, rows = self.wait_rows(4)
        self.assertEqual([r["root"] for r in rows], ["G:\\", "H:\\", "I:\\", "J:\\"])
        viewport = self.control_of(window, VIEWPORT_ID)["rect"]
        self.assertEqual([r["rect"][1] - viewport[1] for r in rows], [0, 25, 50, 75])
        self.assertTrue(all(r["icon"] for r in rows), rows)
        self.assertEqual([r["status"] for r in rows], [NOT_IMMUNISED, IMMUNISED, IMMUNISED, NOT_IMMUNISED])
        self.assertEqual([r["checks"] for r in rows], [(0, 0, 1), (1, 0, 0), (0, 1, 0), (0, 0, 1)])
        self.assertFalse(self.control_of(window, SCROLL_ID)["enabled"])
        # Each row's tooltip window knows its six controls.
        tips = [w["hwnd"] for w in self.session.windows_of(PROGRAM_EXE) if w["class"] == "tooltips_class32"]
        self.assertEqual([self.session.send(tip, TTM_GETTOOLCOUNT) for tip in tips], [6] * 4)
        self.save_screenshot("settings-window.png", window)

        # Each click writes its own key of its own volume and nothing else.
        section = signed_serial("5eed1234")
        clicks = [(CHECK1_ID, "remember", "0", (1, 0, 1)), (CHECK1_ID, "remember", "1", (0, 0, 1)),
                  (CHECK2_ID, "makedir", "1", (0, 1, 0)), (CHECK2_ID, "makedir", "0", (0, 0, 1)),
                  (CHECK3_ID, "makedir", "1", (0, 1, 0)), (CHECK3_ID, "makedir", "0", (0, 0, 1))]
        for box, key, value, checks in clicks:
            with self.subTest(box=box, key=key, value=value):
                expected = harness.read_ini_file(self.install.disk_ini)
                expected[section][key] = value
                self.session.helper("click", self.row("G:\\")["controls"][box]["hwnd"])
                wait_for(f"{key}={value} in Disk.ini",
                         lambda: harness.read_ini_file(self.install.disk_ini) == expected, timeout=60)
                self.assertEqual(self.row("G:\\")["checks"], checks)

        # The row menu acts on its own drive at once; the status word follows.
        texts = self.row_menu("G:\\", MENU_CREATE)
        self.assertEqual(texts, ["DEMO STICK (G:)", "", "建立免疫文件夹(autorun.inf)", "删除免疫文件夹(autorun.inf)"])
        self.install.wait_log("免疫 G:\\ 成功")
        self.wait_status("G:\\", IMMUNISED)
        # Wine keeps a dot of the inner folder's name and then cannot remove
        # it: the folder is laid out as Windows makes it.
        inner = stick / "autorun.inf" / "Made by Quillmoor."
        self.assertTrue(inner.is_dir())
        inner.rename(inner.with_name("Made by Quillmoor"))
        self.row_menu("G:\\", MENU_DELETE)
        self.install.wait_log("删除 G:\\ 中的免疫文件夹成功")
        self.wait_status("G:\\", NOT_IMMUNISED)
        self.assertEqual([r["status"] for r in self.rows()[1]],
                         [NOT_IMMUNISED, IMMUNISED, IMMUNISED, NOT_IMMUNISED])
        self.assertQuitsCleanly(program)

    def test_twelve_sticks_scroll_by_whole_rows_and_pulled_sticks_leave_no_row(self):
        letters = [chr(ord("E") + i) for i in range(12)]
        for index, letter in enumerate(letters):
            self.add_drive(letter, f"STICK {letter}", 0x51C00000 + index, immunised=True)
        self.install.declare_buses({letter: "USB" for letter in letters})
        program = self.start_running()
        self.open_settings(program)

        window, rows = self.wait_rows(12)
        self.assertEqual([r["root"] for r in rows], [f"{letter}:\\" for letter in letters])
        scroll = self.control_of(window, SCROLL_ID)
        self.assertTrue(scroll["enabled"])
        viewport_top = self.control_of(window, VIEWPORT_ID)["rect"][1]
        list_window = self.control_of(window, LIST_ID)["hwnd"]
        # Ten rows fit: the bar goes two rows down and no further.
        for position in (1, 2, 2):
            self.session.send(list_window, WM_VSCROLL, SB_LINEDOWN, scroll["hwnd"])
            self.assertEqual(self.session.send(scroll["hwnd"], SBM_GETPOS), position)
            rows = self.rows()[1]
            self.assertEqual([r["rect"][1] - viewport_top for r in rows],
                             [ROW_HEIGHT * (i - position) for i in range(12)])

        self.refresh_seen(lambda: self.session.helper("click", self.button(window, REFRESH_TEXT)))
        rows = self.wait_rows(12)[1]
        self.assertEqual(rows[0]["rect"][1], viewport_top)
        self.assertEqual(self.session.send(scroll["hwnd"], SBM_GETPOS), 0)

        # Pulled while the window is open: the refresh of the removal drops
        # its row; at ten rows the bar has nothing left to scroll.
        for gone, left in (("P", 11), ("H", 10)):
            self.session.remove_drive(gone)
            self.refresh_seen(lambda: self.session.device_change("removal", gone))
            window, rows = self.wait_rows(left)
            self.assertNotIn(f"{gone}:\\", [r["root"] for r in rows])
            self.assertEqual(self.control_of(window, SCROLL_ID)["enabled"], left > 10)
        self.assertQuitsCleanly(program)


if __name__ == "__main__":
    unittest.main()
