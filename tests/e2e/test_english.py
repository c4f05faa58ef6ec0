"""Both programs on an English Windows, under Wine.

The suite's prefix runs in the en_US.UTF-8 locale: the ANSI code page is
1252 and the user's interface language English. Without a Language key the
tray program speaks English; with Language=zh-CN it speaks Chinese, which
its windows show whole through the wide-character calls although the code
page cannot hold it, while its log (kept in the code page) says the same in
English. The installer speaks the user's language: English here (the
Chinese locale's suites see it in Chinese). Every window is checked for
texts cut by their controls, in the font the system gave it.

Leaves notice-information-en.png, settings-window-en.png,
blocker-window-en.png, setup-wizard-en.png and setup-uninstall-en.png in
the run's logs/ (copied to docs/).
"""

from __future__ import annotations

import shutil
import unittest

import harness
import test_setup
from harness import PROGRAM_EXE, shared_session, wait_for
from test_actions import SAFE_EJECT, HoldersTestCase
from test_drives import (ALERT_BODY_ID, CD_LETTER, ALERT_CLASS, STICK_LETTER, TRAY_CALLBACK_MSG, WM_RBUTTONUP,
                         StickTestCase)
from test_scale import layout_faults
from test_settings import SHOW_SETTINGS_COMMAND, WM_COMMAND
from test_setup import ID_OK, SETUP_EXE, SILENT_FOLDER, UNINSTALL_CANCELLED, SetupTestCase, UninstallWindow

ENGLISH_LOCALE = "en_US.UTF-8"

SETTINGS_CAPTION = "Drive Immunisation Settings"
SETUP_CAPTION = "Quillmoor Setup"
SETUP_LABELS = ("Installation Folder", "Setup will copy Quillmoor into this folder on your computer's hard disk.",
                "Choose an installation folder.")
LEAVE_SETUP = "Exit Setup?"
HOLDERS_CAPTION = f"Programs Using Drive {STICK_LETTER}:"
HOLDERS_BUTTONS = ["&Switch To", "&Close Program", "&End Process", "&Retry", "&Force Eject", "Cancel"]
UNINSTALL_CAPTION = "Uninstall Quillmoor"


def setUpModule() -> None:
    harness.use_locale(ENGLISH_LOCALE)
    test_setup.setUpModule()


def tearDownModule() -> None:
    # A prefix keeps its locale: suites after this one get a session of their own.
    harness.close_shared_session()
    harness.use_locale(harness.DESIGN_LOCALE)


def save_screenshot(session: harness.WineSession, name: str, rect: list[int]) -> None:
    """A picture for the documentation; without ImageMagick there is none."""
    if shutil.which("import") and shutil.which("convert"):
        session.screenshot_around(session.logs_dir / name, rect, margin=12)


class EnglishStickMixin:
    def setUp(self) -> None:
        super().setUp()
        # The question about drive C: of a fresh install folder is kept away.
        serial = next(d["serial"] for d in self.session.helper_json("drives") if d["root"] == "C:\\")
        self.install.path("Disk.ini").write_bytes(
            f"[{serial}]\r\nPartition=C\r\nRemember=1\r\nMakeDir=0\r\n".encode("ascii"))
        self.install.declare_buses({"C": "ATA", STICK_LETTER: "USB"})


class EnglishProgramTests(EnglishStickMixin, StickTestCase):

    def notice(self, body: str):
        for window in self.session.windows_of(PROGRAM_EXE):
            if window["class"] != ALERT_CLASS or not window["visible"]:
                continue
            if [c["text"] for c in window["children"] if c["id"] == ALERT_BODY_ID] == [body]:
                return window
        return None

    def test_without_a_language_setting_the_notice_menu_and_log_are_english(self):
        program = self.start_running()
        self.plug()
        body = self.caption + " connected"
        window = wait_for(f"a notice saying {body!r}", lambda: self.notice(body), timeout=60, interval=0.05)
        self.install.wait_log(body)
        self.assertIn("=============== Program started", self.install.log_texts())
        self.assertEqual(layout_faults(window, harness.DESIGN_DPI), [])
        save_screenshot(self.session, "notice-information-en.png", window["rect"])

        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        items = self.session.read_popup_menu(PROGRAM_EXE)
        self.assertEqual([item["text"] for item in items],
                         ["&Options", "", "Safely Remove &All", f" ({CD_LETTER}:)", self.caption])
        self.assertEqual([item["text"] for item in items[0]["items"] if not item["separator"]][-1], "E&xit")
        self.assertEqual([item["text"] for item in items[4]["items"] if not item["separator"]],
                         ["&Browse...", "Safely &Remove", "Immunise Against AutoRun (autorun.inf)",
                          "&Force Eject"])
        self.assertQuitsCleanly(program)

    def test_language_zh_cn_shows_chinese_whole_and_logs_it_in_english(self):
        self.install.write_settings(b"[Setting]\r\nLanguage=zh-CN\r\n")
        program = self.start_running()
        self.plug()
        # Read back with the wide call: code page 1252 has none of these.
        body = self.caption + " 已连接"
        window = wait_for(f"a notice saying {body!r}", lambda: self.notice(body), timeout=60, interval=0.05)
        self.assertEqual(layout_faults(window, harness.DESIGN_DPI), [])
        # The log keeps the code page: the same event, in English, never
        # in question marks.
        self.install.wait_log(self.caption + " connected")
        self.assertFalse([text for text in self.install.log_texts() if "?" in text], self.install.log_texts())
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        items = self.session.read_popup_menu(PROGRAM_EXE)
        self.assertEqual(items[0]["text"], "选项(&S)")
        self.assertQuitsCleanly(program)

    def test_settings_window_is_english_and_holds_its_texts(self):
        self.session.define_drive(STICK_LETTER, self.stick, "removable")
        program = self.start_running()
        self.assertIsNotNone(self.session.send(program.hwnd, WM_COMMAND, SHOW_SETTINGS_COMMAND, 0, timeout=60))
        window = wait_for("the settings window", lambda: next(
            (w for w in self.session.windows_of(PROGRAM_EXE) if w["caption"] == SETTINGS_CAPTION and w["visible"]),
            None))
        texts = [c["text"] for c in window["children"]]
        for text in ("&Refresh", "&Close", "Ask", "Always", "Never"):
            self.assertIn(text, texts)
        self.assertEqual(layout_faults(window, harness.DESIGN_DPI), [])
        save_screenshot(self.session, "settings-window-en.png", window["rect"])
        self.assertQuitsCleanly(program)


class EnglishHoldersTests(EnglishStickMixin, HoldersTestCase):
    def plug_and_wait(self, wine_trace: str = "") -> harness.Program:
        program = self.start_running(wine_trace)
        self.program = program
        self.plug()
        self.install.wait_log(self.caption + " connected")
        return program

    def holders_window(self):
        found = [w for w in self.session.windows_of(PROGRAM_EXE) if w["caption"] == HOLDERS_CAPTION and w["visible"]]
        return found[0] if found else None

    def test_the_holders_window_is_english_and_holds_its_texts(self):
        program = self.plug_and_wait()
        _, pid = self.hold("window", "Holder")
        self.command(program, SAFE_EJECT)
        window = self.wait_listed(f"qmhelper.exe ({pid})")
        texts = [c["text"] for c in window["children"] if c["visible"]]
        self.assertIn("Window: Holder", texts)
        self.assertIn(f"Files: {STICK_LETTER}:\\held.txt", texts)
        self.assertEqual([c["text"] for c in window["children"] if c["class"].lower() == "button"],
                         HOLDERS_BUTTONS)
        self.assertEqual(layout_faults(window, harness.DESIGN_DPI), [])
        save_screenshot(self.session, "blocker-window-en.png", window["rect"])
        self.session.keys(window["hwnd"], "esc")
        wait_for("the window to close", lambda: self.holders_window() is None)
        self.assertQuitsCleanly(program)


class EnglishSetupTests(SetupTestCase):
    def test_the_installer_follows_the_users_language(self):
        wizard = self.start_setup()
        window = wizard.wait_form()
        self.assertEqual(window["caption"], SETUP_CAPTION)
        for text in SETUP_LABELS + ("&Install", "&Cancel", "Browse..."):
            self.assertTrue(wizard.control(text, window)["visible"], text)
        # The English readme, line by line.
        readme = test_setup.README_EN_SOURCE.read_text(encoding="utf-8").rstrip("\n").split("\n")
        self.assertEqual(test_setup.lines_of(wizard.text2()), readme)
        self.assertEqual(layout_faults(window, harness.DESIGN_DPI, frozenset({101, 111})), [])
        save_screenshot(self.session, "setup-wizard-en.png", window["rect"])

        wizard.click("&Cancel")
        box = wizard.wait_box()
        self.assertEqual((box["caption"], box["text"]), (SETUP_CAPTION, LEAVE_SETUP))
        self.session.helper("click", box["buttons"][ID_OK])
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())

    def test_the_uninstall_question_is_english_and_holds_its_texts(self):
        self.install_silently()
        question = self.start_setup("/uninstall", program=SILENT_FOLDER + "\\" + SETUP_EXE, kind=UninstallWindow)
        question.caption = UNINSTALL_CAPTION
        window = question.wait_form()
        self.assertEqual(window["caption"], UNINSTALL_CAPTION)
        for text in ("Delete settings and log", "&Uninstall", "&Cancel"):
            self.assertTrue(question.control(text, window)["visible"], text)
        self.assertEqual(layout_faults(window, harness.DESIGN_DPI), [])
        save_screenshot(self.session, "setup-uninstall-en.png", window["rect"])
        question.click("&Cancel")
        self.assertEqual(question.wait_exit(), UNINSTALL_CANCELLED, question.stderr())


if __name__ == "__main__":
    unittest.main()
