"""Drives coming and going while the tray program runs, under Wine.

A simulated stick is a folder of the test run mapped to a drive letter by
Wine's mount manager; Wine sends no device-change broadcast for it, so the
test sends one itself. A CD-ROM letter defined before start-up gives the
drive table its second entry, without which the first stick of a session is
not announced (and a CD-ROM is never asked about immunisation).

Wine reports every drive as ready (a CD-ROM letter too) and every one on a
SCSI bus, which the tray menu does not list; a test that wants drives in the
menu declares their buses (Install.declare_buses).
"""

from __future__ import annotations

import shutil
import unittest

import harness
from harness import LOCATOR_FILE, PROGRAM_EXE, WM_NULL, shared_session, wait_for
from test_startup import LOG_VERSION, ProgramTestCase

STICK_LABEL = "DEMO STICK"
STICK_LETTER = "G"
CD_LETTER = "D"

WM_COMMAND = 0x0111
WM_DEVICECHANGE = 0x0219
# A posted device change cannot carry a volume record (Wine refuses to post
# a message with a pointer), and the program refreshes on any device change.
DBT_DEVNODES_CHANGED = 0x0007
BM_GETCHECK = 0x00F0
TRAY_CALLBACK_MSG = 2025
WM_RBUTTONUP = 0x0205

RELOAD_COMMAND = 601
VIEW_LOG_COMMAND = 603
EJECT_ALL_COMMAND = 604

# Wine lists no disk devices, but its HID devices.
HID_INTERFACE_CLASS = "{4D1E55B2-F16F-11CF-88CB-001111000030}"

ALERT_CLASS = "QuillmoorAlert"
ALERT_BODY_ID = 103
ALERT_REMEMBER_ID = 104
ALERT_APPLY_ID = 105
ALERT_CANCEL_ID = 106


def setUpModule() -> None:
    shared_session()


def signed_serial(hex_serial: str) -> str:
    """A volume serial as the program names its Disk.ini section."""
    value = int(hex_serial, 16)
    return str(value - (1 << 32) if value & 0x80000000 else value)


class StickTestCase(ProgramTestCase):
    """A CD-ROM letter defined before start-up and a stick folder, not yet
    mapped to a letter."""

    stick_label = STICK_LABEL
    stick_serial = "5eed1234"

    def setUp(self) -> None:
        super().setUp()
        self.media = self.session.work_dir / "media" / self.id().rsplit(".", 1)[-1]
        shutil.rmtree(self.media, ignore_errors=True)
        self.cdrom = self.media / "cdrom"
        self.stick = self.media / "stick"
        self.cdrom.mkdir(parents=True)
        self.stick.mkdir(parents=True)
        (self.stick / ".windows-label").write_text(self.stick_label, encoding="utf-8")
        (self.stick / ".windows-serial").write_text(self.stick_serial + "\n", encoding="ascii")
        self.session.define_drive(CD_LETTER, self.cdrom, "cdrom")
        self.caption = f"{self.stick_label} ({STICK_LETTER}:)"

    def plug(self) -> None:
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        self.session.device_change("arrival", STICK_LETTER)

    def pull(self) -> None:
        self.session.remove_drive(STICK_LETTER)
        self.session.device_change("removal", STICK_LETTER)

    def question_windows(self, body: str) -> list[dict]:
        """The program's popups whose text is body, hidden ones included."""
        return [w for w in self.session.windows_of(PROGRAM_EXE)
                if w["class"] == ALERT_CLASS
                and [c["text"] for c in w["children"] if c["id"] == ALERT_BODY_ID] == [body]]

    @staticmethod
    def control(window: dict, control_id: int) -> dict:
        found = [c for c in window["children"] if c["id"] == control_id]
        if len(found) != 1:
            raise AssertionError(f"{len(found)} controls with id {control_id} in {window}")
        return found[0]


class DriveArrivalTests(StickTestCase):
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
        # A device change makes the program compare with its first snapshot;
        # the locator file coming back shows that it did.
        locator = self.session.unix_path(LOCATOR_FILE)
        locator.unlink()
        self.session.device_change("arrival", STICK_LETTER)
        wait_for("the refresh", locator.exists)
        self.assertTrue(self.session.answers(program.hwnd))
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

    def test_cdrom_drives_are_never_reported_gone(self):
        disc = self.media / "disc"
        disc.mkdir()
        (disc / ".windows-label").write_text("MYDISC", encoding="utf-8")
        program = self.start_running()
        self.session.define_drive("E", disc, "cdrom")
        self.session.device_change("arrival", "E")
        self.install.wait_log("MYDISC (E:) 已连接")
        self.plug()
        self.install.wait_log(self.caption + " 已连接")

        # One refresh loses the CD-ROM present at start, the one that came
        # later and the stick; only the stick counts as pulled.
        for letter in (CD_LETTER, "E", STICK_LETTER):
            self.session.remove_drive(letter)
        self.session.device_change("removal", STICK_LETTER)
        self.install.wait_log(self.caption + " 已被断开连接")

        gone = [t for t in self.install.log_texts() if t.endswith("已被断开连接")]
        self.assertEqual(gone, [self.caption + " 已被断开连接"])
        self.assertQuitsCleanly(program)

    def test_burst_of_device_changes_announces_once_and_later_changes_still_count(self):
        program = self.start_running()
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        self.session.post(program.hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, count=2)
        self.install.wait_log(self.caption + " 已连接")
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertEqual(self.install.log_count(self.caption + " 已连接"), 1)

        # A message dropped during a refresh must not leave the program deaf.
        self.pull()
        self.install.wait_log(self.caption + " 已被断开连接")
        self.assertEqual(self.install.log_count(self.caption + " 已连接"), 1)
        self.assertQuitsCleanly(program)

    def test_device_change_while_refreshing_does_not_announce_the_drive_twice(self):
        program = self.start_running()
        # The second device change comes while the arrival notice of the
        # first refresh slides in, before that refresh has logged the drive
        # and remembered the table; the refresh it brings once the first one
        # ends knows the stick.
        waiter, _ = self.session.start_helper(
            "sendwhenshown", program.hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, ALERT_BODY_ID,
            self.caption + " 已连接", 15000)
        self.plug()
        self.assertEqual(waiter.wait(timeout=30), 0, "the second device change was not sent")
        self.install.wait_log(self.caption + " 已连接")
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertEqual(self.install.log_count(self.caption + " 已连接"), 1)
        self.assertQuitsCleanly(program)

    def test_reload_command_announces_a_drive_plugged_silently(self):
        program = self.start_running()
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        # Nothing but the command may make the program look at the drives.
        self.session.send(program.hwnd, WM_NULL)
        self.assertNotIn(self.caption + " 已连接", self.install.log_texts())

        self.assertIsNotNone(self.session.send(program.hwnd, WM_COMMAND, RELOAD_COMMAND, 0))
        self.install.wait_log(self.caption + " 已连接")
        self.assertEqual(self.install.log_count(self.caption + " 已连接"), 1)
        self.assertQuitsCleanly(program)

    def test_locator_file_is_rewritten_and_copied_to_immunised_stick(self):
        (self.stick / "autorun.inf").mkdir()
        program = self.start_running()
        locator = self.session.unix_path(LOCATOR_FILE)
        # Written at start-up; the refresh of an arrival must write it again.
        locator.unlink(missing_ok=True)
        self.plug()
        self.install.wait_log(self.caption + " 已连接")

        copy = self.stick / "autorun.inf" / "Quillmoor.ini"
        for name, path in (("system folder", locator), ("stick", copy)):
            with self.subTest(name):
                self.assertEqual(harness.ini_value(path, "Setting", "InstallDir"), "C:\\Program Files\\Quillmoor\\")
                self.assertEqual(harness.ini_value(path, "Setting", "HWND"), str(program.hwnd))
        # An immunised stick is not asked about.
        self.assertEqual(self.question_windows(f"是否免疫 {self.caption}"), [])
        self.assertQuitsCleanly(program)


class ImmunisationQuestionTests(StickTestCase):
    """A stick with a planted, read-only autorun.inf file, answered "取消"."""

    stick_label = "KINGSTON"
    # The high bit set: Disk.ini names the volume by its signed serial.
    stick_serial = "c0ffee42"

    def setUp(self) -> None:
        super().setUp()
        planted = self.stick / "autorun.inf"
        planted.write_text("[autorun]\r\nopen=evil.exe\r\n", encoding="ascii")
        planted.chmod(0o444)
        self.question = f"是否免疫 {self.caption}"
        self.section = signed_serial(self.stick_serial)

    def plug_and_answer_cancel(self, remember: bool) -> harness.Program:
        program = self.start_running()
        self.plug()
        self.install.wait_log(self.caption + " 已连接")
        self.install.wait_log(f"已清除 {self.caption} 中的autorun.inf文件")
        self.assertFalse((self.stick / "autorun.inf").exists())

        window = wait_for("the immunisation question", lambda: self.question_windows(self.question))[0]
        self.assertTrue(window["visible"])
        self.assertEqual(self.control(window, ALERT_REMEMBER_ID)["text"], "记住操作")
        self.assertEqual(self.control(window, ALERT_APPLY_ID)["text"], "应用设置")
        cancel = self.control(window, ALERT_CANCEL_ID)
        self.assertEqual(cancel["text"], "取消")
        if remember:
            box = self.control(window, ALERT_REMEMBER_ID)["hwnd"]
            self.session.helper("click", box)
            wait_for("the box to be ticked", lambda: self.session.send(box, BM_GETCHECK) == 1, timeout=60)
        self.session.click_label(cancel["hwnd"])

        wait_for("the question to close", lambda: not self.question_windows(self.question))
        wait_for("the answer in Disk.ini",
                 lambda: harness.ini_value(self.install.disk_ini, self.section, "MakeDir") is not None)
        self.assertEqual(harness.read_ini_file(self.install.disk_ini)[self.section],
                         {"partition": "G", "remember": "1" if remember else "0", "makedir": "0"})
        return program

    def test_remembered_answer_is_not_asked_again(self):
        program = self.plug_and_answer_cancel(remember=True)

        # The locator file coming back shows that the device change was not
        # dropped: the refresh ran and found nothing to ask.
        locator = self.session.unix_path(LOCATOR_FILE)
        locator.unlink(missing_ok=True)
        self.session.device_change("arrival", STICK_LETTER)
        wait_for("the refresh", locator.exists)
        self.assertEqual(self.question_windows(self.question), [])

        self.pull()
        self.install.wait_log(self.caption + " 已被断开连接")
        self.assertEqual(self.install.log_count(self.caption + " 已连接"), 1)
        self.assertQuitsCleanly(program)

    def test_answer_not_remembered_is_asked_again(self):
        program = self.plug_and_answer_cancel(remember=False)

        self.session.device_change("arrival", STICK_LETTER)
        wait_for("the question again", lambda: self.question_windows(self.question))
        self.assertQuitsCleanly(program)


class TrayMenuTests(ProgramTestCase):
    def test_tray_click_shows_options_and_no_drive_entry(self):
        program = self.start_running()
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        items = self.session.read_popup_menu(PROGRAM_EXE)

        texts = [item["text"] for item in items]
        self.assertEqual(texts[0], "选项(&S)")
        self.assertTrue(items[1]["separator"], items)
        # No drive has a USB or ATAPI bus under Wine: nothing to eject at once.
        self.assertEqual(texts[2:], ["全部安全弹出(&A)", "没有可移动设备"])
        self.assertEqual((items[2]["id"], items[2]["grayed"]), (EJECT_ALL_COMMAND, True))

        options = {item["text"]: item for item in items[0]["items"] if not item["separator"]}
        self.assertEqual(options["重载列表(&R)"]["id"], RELOAD_COMMAND)
        self.assertEqual(options["查看日志"]["id"], VIEW_LOG_COMMAND)
        # The switches show the state the program started with: the AutoPlay
        # service on (its command turns it off, unticked), start-up on.
        self.assertEqual((options["禁用系统“自动播放”服务"]["id"], options["禁用系统“自动播放”服务"]["checked"]),
                         (501, False))
        self.assertEqual((options["系统启动时自动运行"]["id"], options["系统启动时自动运行"]["checked"]), (504, True))
        self.assertEqual(options["退出(&Q)"]["id"], 506)

        # The menu was closed from outside; the program goes on.
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertQuitsCleanly(program)

    def test_quit_request_while_the_menu_is_open_ends_the_program(self):
        program = self.start_running()
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        self.session.read_popup_menu(PROGRAM_EXE, keep_open=True)
        # The menu's own message loop must not swallow the end of the program.
        self.assertEqual(program.quit(), 0)
        self.assertEqual(self.install.log_texts()[-1], "===============程序退出")


class DriveMenuTests(StickTestCase):
    def tray_menu(self, program: harness.Program) -> list[dict]:
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        return self.session.read_popup_menu(PROGRAM_EXE)

    def save_menu_screenshot(self, program: harness.Program, name: str) -> None:
        """The menu with the stick's submenu open, for the documentation
        (copied to docs/); without ImageMagick there is none."""
        if not (shutil.which("import") and shutil.which("convert")):
            return
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        self.session.read_popup_menu(PROGRAM_EXE, open_at=5)
        menus = [w["rect"] for w in self.session.windows_of(PROGRAM_EXE) if w["class"] == "#32768" and w["visible"]]
        self.session.screenshot_around(self.session.logs_dir / name,
                                       (min(r[0] for r in menus), min(r[1] for r in menus),
                                        max(r[2] for r in menus), max(r[3] for r in menus)), margin=8)
        self.session.read_popup_menu(PROGRAM_EXE)

    @staticmethod
    def entries(items: list[dict]) -> list[tuple]:
        return [("-",) if item["separator"] else (item["text"], item["id"], item["checked"]) for item in items]

    def test_usb_stick_sd_card_and_atapi_drive_get_their_submenus_and_a_sata_disk_none(self):
        # Immunised, so that only the stick is asked about.
        for folder, label in (("disk", "DATA DISK"), ("card", "CAMERA")):
            (self.media / folder / "autorun.inf").mkdir(parents=True)
            (self.media / folder / ".windows-label").write_text(label, encoding="utf-8")
        self.session.define_drive("E", self.media / "disk", "removable")
        self.session.define_drive("F", self.media / "card", "removable")
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        self.install.declare_buses({CD_LETTER: "ATAPI", "E": "SATA", "F": "SD", STICK_LETTER: "USB"})
        program = self.start_running()

        # Drive indexes count every letter: C: 0, D: 1, E: 2, F: 3, G: 4.
        items = self.tray_menu(program)
        # Wine gives the disc drive no label and its descriptor no names.
        self.assertEqual([item["text"] for item in items],
                         ["选项(&S)", "", "全部安全弹出(&A)", f" ({CD_LETTER}:)", "CAMERA (F:)", self.caption])
        # Right above the first drive, and enabled: the card and the stick hold media.
        self.assertEqual((items[2]["id"], items[2]["grayed"]), (EJECT_ALL_COMMAND, False))
        self.assertEqual(self.entries(items[3]["items"]),
                         [("浏览(&V)...", 1001, False), ("-",), ("弹出 光驱托盘(&O)", 2001, False),
                          ("关闭 光驱托盘(&C)", 3001, False)])
        self.assertEqual(self.entries(items[4]["items"]),
                         [("浏览(&V)...", 1003, False), ("-",), ("安全弹出(&P)", 4003, False), ("-",),
                          ("免疫自动运行(autorun.inf)", 6003, True), ("-",), ("强制弹出(&F)", 7003, False)])
        stick_entries = [("浏览(&V)...", 1004, False), ("-",), ("安全弹出(&P)", 4004, False), ("-",),
                         ("免疫自动运行(autorun.inf)", 5004, False), ("-",), ("强制弹出(&F)", 7004, False)]
        self.assertEqual(self.entries(items[5]["items"]), stick_entries)
        self.save_menu_screenshot(program, "tray-menu.png")

        # Immunised by the menu's own id, the stick's entry turns checked.
        self.assertIsNotNone(self.session.send(program.hwnd, WM_COMMAND, 5004, 0, timeout=60))
        self.install.wait_log(f"免疫 {STICK_LETTER}:\\ 成功")
        stick_entries[4] = ("免疫自动运行(autorun.inf)", 6004, True)
        self.assertEqual(self.entries(self.tray_menu(program)[5]["items"]), stick_entries)
        self.assertQuitsCleanly(program)


class DeviceListTests(unittest.TestCase):
    def test_device_interfaces_are_read_in_full_at_the_programs_width(self):
        # The detail record is 5 bytes long on 32-bit systems and 8 on
        # 64-bit ones, and the system refuses any other size.
        interfaces = shared_session().helper_json("interfaces", HID_INTERFACE_CLASS)
        self.assertTrue(interfaces, "no HID device listed")
        for interface in interfaces:
            self.assertTrue(0 < interface["size"] <= 1024, interface)
            self.assertTrue((interface["path"] or "").lower().startswith("\\\\?\\hid#"), interface)


if __name__ == "__main__":
    unittest.main()
