"""The programs' windows at 144 dpi (a scale of 150 %) under Wine: the
information and question notices, the settings window, the window listing
who holds a drive and the installer's wizard grow with the system's fonts,
every control shown lies inside the visible part of its parents, no text is
larger than its control and no two texts overlap. Run with --suite scale; the session's prefix is made with
LogPixels set to 144 (and set back afterwards for suites run after it).

It leaves screenshots named *-144dpi.png in the run's logs/; docs/ has
copies beside the 96 dpi ones.
"""

from __future__ import annotations

import shutil
import unittest
from typing import Iterable

import harness
from harness import shared_session, wait_for
from test_notices import (BODY_CHINESE_PATH, CHINESE_INSTALL_DIR, ID_APPLY, ID_BODY, ID_CANCEL, ID_REMEMBER,
                          ID_TITLE, STICK_LABEL, STICK_LETTER, NoticeTestCase, QuestionTestCase, child, size_of)
from test_actions import SAFE_EJECT, HoldersTestCase
from test_settings import SettingsTestCase
from test_setup import (CANCEL_BUTTON, LABELS, LEAVE_WIZARD, PURGE_BOX, SETUP_EXE, SILENT_FOLDER, UNINSTALL_BUTTON,
                        UNINSTALL_CANCELLED, SetupTestCase, UninstallWindow)

DPI = 144
PICTURE_ID = 101
TWIPS_PER_PIXEL = 1440 / DPI
RIGHT_GAP_TWIPS = 50
BOTTOM_GAP_TWIPS = 20
SETTINGS_CLIENT_96_DPI = (362, 292)
SETUP_CLIENT_96_DPI = (450, 336)
SETUP_ICON_96_DPI = 48
# The holders' window: six buttons of 84 and five gaps of 6 between margins of 10.
HOLDERS_CLIENT_WIDTH_96_DPI = 554
HOLDERS_ICON_96_DPI = 32
UNINSTALL_CLIENT_WIDTH_96_DPI = 440
UNINSTALL_ICON_96_DPI = 32
# The installer's header and bottom bands run past the window's edges as
# drawn; only what lies on them has to be seen.
SETUP_BANDS = {101, 111}

SS_TYPEMASK = 0x1F
SS_ICON = 0x3
SS_TEXT_TYPES = {0x0, 0x1, 0x2, 0xB, 0xC}  # left, centre, right, simple, left without wrapping
BS_TYPEMASK = 0xF
BS_PUSH_TYPES = {0x0, 0x1}
BS_CHECK_TYPES = {0x2, 0x3, 0x5, 0x6}


def scaled(value: int, dpi: int = DPI) -> int:
    return (value * dpi + 48) // 96


def setUpModule() -> None:
    harness.use_dpi(DPI)
    shared_session()


def tearDownModule() -> None:
    # Suites run after this one in the same run expect the design's dpi.
    harness.use_dpi(harness.DESIGN_DPI)


def inside(rect: Iterable[int], area: Iterable[int]) -> bool:
    left, top, right, bottom = rect
    a_left, a_top, a_right, a_bottom = area
    return a_left <= left and a_top <= top and right <= a_right and bottom <= a_bottom


def overlap(a: list[int], b: list[int]) -> bool:
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def text_room(control: dict, dpi: int) -> tuple[int, int]:
    """The room a control's text needs: its measured size, plus the box and
    its gap for a check box and the edges of a push button."""
    width, height = control["textSize"]
    if control["class"].lower() == "button":
        kind = control["style"] & BS_TYPEMASK
        if kind in BS_CHECK_TYPES:
            width += scaled(13 + 3, dpi)
        elif kind in BS_PUSH_TYPES:
            width += scaled(6, dpi)
    return width, height


def carries_text(control: dict) -> bool:
    kind = control["class"].lower()
    if kind == "static":
        return bool(control["text"]) and control["style"] & SS_TYPEMASK in SS_TEXT_TYPES
    if kind == "button":
        return bool(control["text"]) and control["style"] & BS_TYPEMASK in BS_PUSH_TYPES | BS_CHECK_TYPES
    return False


def layout_faults(window: dict, dpi: int, bleeds: frozenset[int] = frozenset()) -> list[str]:
    """What is wrong with where a window's controls lie: a control shown
    outside the part of its parents that can be seen (controls whose id is
    in bleeds may run past their parent's edge on purpose), a text larger
    than its control, two texts over each other."""
    window = shared_session().helper_json("window", window["hwnd"], "measure")[0]
    controls = {c["hwnd"]: c for c in window["children"]}
    faults = []

    def seen_area(control: dict) -> list[int]:
        area = list(window["clientRect"])
        parent = control["parent"]
        while parent in controls:
            p_left, p_top, p_right, p_bottom = controls[parent]["clientRect"]
            area = [max(area[0], p_left), max(area[1], p_top), min(area[2], p_right), min(area[3], p_bottom)]
            parent = controls[parent]["parent"]
        return area

    def can_be_seen(control: dict) -> bool:
        # A container of no size hides what it holds (the settings
        # window's panel while the list is empty).
        left, top, right, bottom = seen_area(control)
        return control["visible"] and right > left and bottom > top

    shown = [c for c in window["children"] if can_be_seen(c)]
    for control in shown:
        name = f"{control['class']} {control['id']} {control['text']!r}"
        if control["id"] not in bleeds and not inside(control["rect"], seen_area(control)):
            faults.append(f"{name} at {control['rect']} lies outside {seen_area(control)}")
        if carries_text(control):
            need = text_room(control, dpi)
            client = control["clientRect"]
            have = (client[2] - client[0], client[3] - client[1])
            if need[0] > have[0] or need[1] > have[1]:
                faults.append(f"{name} needs {need} for its text, has {have}")
    texts = [c for c in shown if carries_text(c)]
    for i, a in enumerate(texts):
        for b in texts[i + 1:]:
            if overlap(a["rect"], b["rect"]):
                faults.append(f"{a['text']!r} at {a['rect']} lies over {b['text']!r} at {b['rect']}")
    return faults


def assert_grown(test: unittest.TestCase, window: dict, design: tuple[int, int], dpi: int = DPI) -> None:
    """The window's client area is its drawn size scaled, or somewhat more
    where the font in use draws taller lines or longer words."""
    for have, drawn in zip(window["client"], design):
        least = scaled(drawn, dpi)
        test.assertGreaterEqual(have, least, window["client"])
        test.assertLessEqual(have, least * 5 // 4, window["client"])


def save_screenshot(session: harness.WineSession, name: str, window: dict) -> None:
    """A picture for the documentation (copied to docs/); without ImageMagick
    there is none, and the test goes on."""
    if shutil.which("import") and shutil.which("convert"):
        session.send(window["hwnd"], harness.WM_NULL)
        session.screenshot_around(session.logs_dir / name, window["rect"], margin=12)


class ScaledNoticeTests(NoticeTestCase):
    install_dir = CHINESE_INSTALL_DIR

    def test_information_notice_grows_and_rests_bottom_right(self):
        self.remember_drive_c()
        program = self.install.start()
        self.wait_notice(BODY_CHINESE_PATH)
        window = self.wait_at_rest(BODY_CHINESE_PATH)
        self.assertEqual(layout_faults(window, DPI), [])
        picture = child(window, PICTURE_ID)
        self.assertEqual(size_of(picture["rect"]), (scaled(32), scaled(32)))
        # The title above the body, as drawn, with the gap grown too.
        self.assertGreaterEqual(child(window, ID_BODY)["rect"][1], child(window, ID_TITLE)["rect"][3])
        self.assertFalse(child(window, ID_REMEMBER)["visible"])
        save_screenshot(self.session, "notice-information-144dpi.png", window)

        # At rest against the work area's corner, the gaps in twips; the
        # slide's steps are one design pixel, one and a half here.
        width, height = size_of(window["rect"])
        _, _, right, bottom = self.session.work_area()
        left, top = window["rect"][:2]
        want_left = round((right - width) * TWIPS_PER_PIXEL - RIGHT_GAP_TWIPS) / TWIPS_PER_PIXEL
        want_top = round((bottom - height) * TWIPS_PER_PIXEL - BOTTOM_GAP_TWIPS) / TWIPS_PER_PIXEL
        self.assertLessEqual(abs(left - want_left), 1, window["rect"])
        self.assertTrue(want_top - 2 <= top <= want_top + 1, window["rect"])
        self.assertQuitsCleanly(program)


class ScaledQuestionTests(QuestionTestCase):
    def test_question_grows_and_keeps_every_text_whole(self):
        self.remember_drive_c()
        program = self.start_running()
        self.plug()
        body = f"是否免疫 {STICK_LABEL} ({STICK_LETTER}:)"
        window = self.wait_at_rest(body)
        self.assertEqual(layout_faults(window, DPI), [])
        for control_id in (ID_REMEMBER, ID_APPLY, ID_CANCEL):
            self.assertTrue(child(window, control_id)["visible"], control_id)
        self.assertEqual(size_of(child(window, PICTURE_ID)["rect"]), (scaled(32), scaled(32)))
        save_screenshot(self.session, "notice-question-144dpi.png", window)

        # Answered with the mouse, as at any scale.
        self.session.mouse(child(window, ID_CANCEL)["hwnd"], "over", "press", "release")
        wait_for("the question to close once answered", lambda: self.notice(body) is None, timeout=60)
        self.assertQuitsCleanly(program)


class ScaledSettingsTests(SettingsTestCase):
    def test_settings_window_grows_with_every_control_inside(self):
        program = self.start_running()
        window = self.open_settings(program)
        assert_grown(self, window, SETTINGS_CLIENT_96_DPI)
        self.assertEqual(layout_faults(window, DPI), [])
        save_screenshot(self.session, "settings-window-144dpi.png", window)
        self.assertQuitsCleanly(program)


class ScaledHoldersTests(HoldersTestCase):
    def test_holders_window_grows_with_every_text_whole(self):
        program = self.plug_and_wait()
        _, pid = self.hold("window", "Holder")
        self.command(program, SAFE_EJECT)
        window = self.wait_listed(f"qmhelper.exe ({pid})")
        self.assertEqual(window["client"][0], scaled(HOLDERS_CLIENT_WIDTH_96_DPI))
        self.assertEqual(layout_faults(window, DPI), [])
        icons = [c for c in window["children"] if c["class"].lower() == "static" and c["visible"]
                 and c["style"] & SS_TYPEMASK == SS_ICON]
        self.assertEqual([size_of(c["rect"]) for c in icons], [(scaled(HOLDERS_ICON_96_DPI),) * 2])
        save_screenshot(self.session, "blocker-window-144dpi.png", window)
        self.assertQuitsCleanly(program)


class ScaledSetupTests(SetupTestCase):
    def test_wizard_grows_with_every_text_whole(self):
        wizard = self.start_setup()
        window = wizard.wait_form()
        assert_grown(self, window, SETUP_CLIENT_96_DPI)
        self.assertEqual(layout_faults(window, DPI, frozenset(SETUP_BANDS)), [])
        icons = [c for c in window["children"] if c["class"].lower() == "static" and not c["text"]]
        self.assertEqual([size_of(c["rect"]) for c in icons], [(scaled(SETUP_ICON_96_DPI),) * 2])
        for text in LABELS:
            self.assertTrue(wizard.control(text, window)["visible"], text)
        save_screenshot(self.session, "setup-wizard-144dpi.png", window)
        wizard.click(CANCEL_BUTTON)
        wizard.answer(LEAVE_WIZARD)
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())



class ScaledUninstallTests(SetupTestCase):
    def test_the_uninstall_question_grows_with_every_text_whole(self):
        self.install_silently()
        question = self.start_setup("/uninstall", program=SILENT_FOLDER + "\\" + SETUP_EXE, kind=UninstallWindow)
        window = question.wait_form()
        self.assertEqual(window["client"][0], scaled(UNINSTALL_CLIENT_WIDTH_96_DPI))
        self.assertEqual(layout_faults(window, DPI), [])
        icons = [c for c in window["children"] if c["class"].lower() == "static" and c.get("icon")]
        self.assertEqual([size_of(c["rect"]) for c in icons], [(scaled(UNINSTALL_ICON_96_DPI),) * 2])
        for text in (PURGE_BOX, UNINSTALL_BUTTON, CANCEL_BUTTON):
            self.assertTrue(question.control(text, window)["visible"], text)
        save_screenshot(self.session, "setup-uninstall-144dpi.png", window)
        question.click(CANCEL_BUTTON)
        self.assertEqual(question.wait_exit(), UNINSTALL_CANCELLED, question.stderr())


if __name__ == "__main__":
    unittest.main()
