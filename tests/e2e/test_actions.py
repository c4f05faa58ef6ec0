"""The tray menu's drive commands under Wine: immunise, remove immunity,
safe and forced eject.

The tests send the commands the menu would: WM_COMMAND with a base id plus
the drive's index in the drive table. With C: and the CD-ROM letter D:
defined first, the stick G: is entry 2.

Immunising means an "autorun.inf" folder, hidden and system, holding a
folder that Windows cannot delete or open by the usual means. Wine keeps one
trailing dot of that inner folder's name ("Made by Quillmoor."), which
ordinary paths cannot delete; removal is tested on that folder and on one
laid out the way Windows makes it.
"""

from __future__ import annotations

import shutil
import unittest
from typing import Optional

import harness
from harness import PROGRAM_EXE, shared_session, wait_for
from test_drives import (ALERT_APPLY_ID, ALERT_BODY_ID, ALERT_CLASS, STICK_LETTER, TRAY_CALLBACK_MSG, WM_COMMAND,
                         WM_RBUTTONUP, StickTestCase, signed_serial)
from test_startup import VERSION

STICK_INDEX = 2  # C:, D:, G:

BROWSE = 1000
IMMUNISE = 5000
REMOVE_IMMUNITY = 6000
SAFE_EJECT = 4000
FORCED_EJECT = 7000
BM_CLICK = 0x00F5

ROOT = f"{STICK_LETTER}:\\"
FOLDER = ROOT + "autorun.inf"
# The program asks for "Made by Quillmoor..\"; Wine drops one dot of two.
WINE_INNER = "Made by Quillmoor."
WINDOWS_INNER = "Made by Quillmoor"

LOG_IMMUNISED = f"免疫 {ROOT} 成功"
BODY_IMMUNISED = f"已免疫 ({ROOT}) 可有效防止autorun病毒向该设备写入"
LOG_REMOVED = f"删除 {ROOT} 中的免疫文件夹成功"
LOG_NOT_REMOVED = f"删除 {ROOT} 中的免疫文件夹失败"
BODY_REMOVED = f"已删除 ({ROOT}) 中的免疫文件夹"
BODY_NOT_REMOVED = f"删除 ({ROOT}) 中的免疫文件夹失败"

MAIN_CAPTION = "Quillmoor v" + VERSION
HOLDERS_CAPTION = f"占用 {STICK_LETTER}: 的程序"
HOLDERS_CLASS = "QuillmoorBlockers"
HOLDERS_BUTTONS = ["切换到(&S)", "关闭程序(&C)", "结束进程(&E)", "重试(&R)", "强制弹出(&F)", "取消"]
FORCED_EJECT_TEXT = "强制弹出将重建 Explorer 进程\r\n\r\n确定要强制弹出吗?"


def setUpModule() -> None:
    shared_session()


class ActionTestCase(StickTestCase):
    program: Optional[harness.Program] = None

    def plug_and_wait(self, wine_trace: str = "") -> harness.Program:
        program = self.start_running(wine_trace)
        self.program = program
        self.plug()
        self.install.wait_log(self.caption + " 已连接")
        return program

    def command(self, program: harness.Program, base: int) -> None:
        """Sends a drive command; it returns once the program has handled it."""
        self.assertIsNotNone(self.session.send(program.hwnd, WM_COMMAND, base + STICK_INDEX, 0, timeout=60))

    def notice_bodies(self) -> list[str]:
        """The texts of the program's popups, hidden ones included."""
        return [text for _, text in self.notices()]

    def notices(self) -> list[tuple[int, str]]:
        """The program's popups, hidden ones included, and their texts."""
        return [(w["hwnd"], c["text"]) for w in self.session.windows_of(PROGRAM_EXE) if w["class"] == ALERT_CLASS
                for c in w["children"] if c["id"] == ALERT_BODY_ID]

    def wait_notice(self, body: str) -> None:
        try:
            wait_for(f"a notice saying {body!r}", lambda: body in self.notice_bodies())
        except harness.WaitTimeout as error:
            # What the program did meanwhile, and what Wine said about it.
            stderr = self.program.stderr()[-1500:] if self.program else ""
            raise harness.WaitTimeout(f"{error}; notices: {self.notice_bodies()}; "
                                      f"log: {self.install.log_texts()[-10:]}; stderr: {stderr}") from None

    def failure_text(self) -> str:
        return f"弹出 {self.stick_label}({STICK_LETTER}:) 失败,请关闭此设备中已打开的文件"

    def assertImmunised(self) -> None:
        folder = self.stick / "autorun.inf"
        self.assertTrue(folder.is_dir(), f"{folder} is not a folder")
        self.assertEqual(sorted(p.name for p in folder.iterdir() if p.is_dir()), [WINE_INNER])
        # Wine keeps no read-only bit on folders; hidden and system it does.
        self.assertLessEqual({"H", "S"}, set(self.session.attributes(FOLDER)))


class ImmuniseTests(ActionTestCase):
    def test_immunise_replaces_a_read_only_autorun_file_once(self):
        program = self.plug_and_wait()
        # Planted after the arrival, which would have cleared it.
        planted = self.stick / "autorun.inf"
        planted.write_text("[autorun]\r\nopen=evil.exe\r\n", encoding="ascii")
        planted.chmod(0o444)

        self.command(program, IMMUNISE)
        self.install.wait_log(LOG_IMMUNISED)
        self.assertImmunised()
        self.wait_notice(BODY_IMMUNISED)

        # Already immunised: nothing to do, nothing to say.
        before = self.install.log_texts()
        self.command(program, IMMUNISE)
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertEqual(self.install.log_texts(), before)
        self.assertEqual(self.notice_bodies().count(BODY_IMMUNISED), 1)
        self.assertImmunised()
        self.assertQuitsCleanly(program)

    def test_remembered_yes_immunises_on_arrival_without_asking(self):
        section = signed_serial(self.stick_serial)
        self.install.disk_ini.write_bytes(
            f"[{section}]\r\nPartition=G\r\nRemember=1\r\nMakeDir=1\r\n".encode("ascii"))
        program = self.start_running()
        self.plug()
        self.install.wait_log(LOG_IMMUNISED)
        self.assertImmunised()
        self.assertNotIn(f"是否免疫 {self.caption}", self.notice_bodies())
        self.assertEqual(self.install.log_count(LOG_IMMUNISED), 1)
        self.assertQuitsCleanly(program)

    def test_apply_on_the_question_immunises(self):
        program = self.plug_and_wait()
        question = f"是否免疫 {self.caption}"
        window = wait_for("the immunisation question", lambda: self.question_windows(question))[0]
        self.session.click_label(self.control(window, ALERT_APPLY_ID)["hwnd"])

        self.install.wait_log(LOG_IMMUNISED)
        self.assertImmunised()
        wait_for("the question to close", lambda: not self.question_windows(question))
        self.assertQuitsCleanly(program)


class RemoveImmunityTests(ActionTestCase):
    # A folder whose name a command interpreter would misread when quoted.
    install_dir = r"C:\Program Files (x86)\Q & ^ @ % Tools\Quillmoor"

    def assertNoBatchFile(self) -> None:
        self.assertEqual([p.name for p in self.install.unix_dir.iterdir() if p.suffix.lower() == ".bat"], [])

    def test_remove_immunity_deletes_a_folder_laid_out_as_windows_makes_it(self):
        inner = self.stick / "autorun.inf" / WINDOWS_INNER
        inner.mkdir(parents=True)
        program = self.plug_and_wait()

        self.command(program, REMOVE_IMMUNITY)
        self.install.wait_log(LOG_REMOVED)
        self.assertFalse((self.stick / "autorun.inf").exists())
        self.assertNoBatchFile()
        self.assertNotIn(LOG_NOT_REMOVED, self.install.log_texts())
        self.wait_notice(BODY_REMOVED)
        self.assertQuitsCleanly(program)

    def test_immunise_then_remove_leaves_no_autorun_folder(self):
        # The inner folder as Wine makes it, its name ending in a dot, which
        # only an extended-length path reaches.
        program = self.plug_and_wait()
        self.command(program, IMMUNISE)
        self.install.wait_log(LOG_IMMUNISED)
        self.assertImmunised()

        self.command(program, REMOVE_IMMUNITY)
        self.install.wait_log(LOG_REMOVED)
        self.assertFalse((self.stick / "autorun.inf").exists())
        self.assertNotIn(LOG_NOT_REMOVED, self.install.log_texts())
        self.assertNoBatchFile()
        self.wait_notice(BODY_REMOVED)
        self.assertQuitsCleanly(program)

    def test_removal_from_a_write_protected_stick_is_reported_as_failed(self):
        if not self.session.read_only_folders_work:
            self.skipTest("Unix permissions are not enforced for Wine here")
        (self.stick / "autorun.inf" / WINDOWS_INNER).mkdir(parents=True)
        self.session.make_read_only(self.stick)
        program = self.plug_and_wait()

        self.command(program, REMOVE_IMMUNITY)
        self.install.wait_log(LOG_NOT_REMOVED)
        self.assertTrue((self.stick / "autorun.inf").is_dir())
        self.assertNotIn(LOG_REMOVED, self.install.log_texts())
        self.wait_notice(BODY_NOT_REMOVED)
        self.assertQuitsCleanly(program)


class BrowseTests(ActionTestCase):
    def test_browse_starts_the_system_shell_never_one_in_the_starting_folder(self):
        # A program of ours named explorer.exe where the tray program was
        # started from (C:\\): a bare "explorer" would be looked up there
        # before the Windows folder. It writes recorded.txt when run.
        start_folder = self.session.unix_path("C:\\")
        impostor = start_folder / "explorer.exe"
        recorded = start_folder / "recorded.txt"
        shutil.copy2(self.session.bin_dir / "qmrecord.exe", impostor)
        self.addCleanup(impostor.unlink, missing_ok=True)
        self.addCleanup(recorded.unlink, missing_ok=True)
        recorded.unlink(missing_ok=True)
        program = self.plug_and_wait()
        ours = [p["pid"] for p in self.session.processes() if p["exe"].lower() == PROGRAM_EXE.lower()]
        self.assertEqual(len(ours), 1)

        self.command(program, BROWSE)

        def started() -> list[dict]:
            return [p for p in self.session.processes()
                    if p["parent"] == ours[0] and p["exe"].lower() == "explorer.exe"]
        shells = wait_for("the folder window's program", lambda: started() or recorded.exists(), timeout=30)
        self.assertFalse(recorded.exists(), "the explorer.exe of the starting folder ran")
        for shell in shells:
            self.addCleanup(self.session.helper, "kill", shell["pid"])
            # Wine runs its own shell from the system folder whichever copy is named.
            self.assertTrue(shell["path"].lower().startswith("c:\\windows\\"), shell)
        self.assertQuitsCleanly(program)


class EjectTests(ActionTestCase):
    def test_safe_eject_runs_to_the_configuration_manager_reports_the_failure_and_keeps_the_drive(self):
        # Wine's own trace shows its configuration manager being asked.
        program = self.plug_and_wait(wine_trace="fixme+setupapi")
        failure = self.failure_text()
        # On the SCSI bus that Wine reports, the search finds no device. The
        # search for what holds the drive is bounded (bench/eject_wine.py
        # times it); nothing holds it here, so the notice is the plain one.
        self.command(program, SAFE_EJECT)
        wait_for("the failure notice", lambda: failure in self.notice_bodies(), timeout=60)
        self.assertNotIn("CM_Get_Parent", program.stderr())

        # A USB stick's disk is found, and its parent asked for: Wine's
        # configuration manager knows none (CR_NO_SUCH_DEVNODE), so no eject
        # request goes out, nothing vetoes and the log names no blocker.
        self.install.declare_buses({STICK_LETTER: "USB"})
        before = {hwnd for hwnd, _ in self.notices()}
        self.command(program, SAFE_EJECT)
        wait_for("a second failure notice", lambda: [h for h, text in self.notices() if text == failure and h not in before])
        self.assertRegex(program.stderr(), r"fixme:setupapi:CM_Get_Parent ")
        self.assertNotIn("CM_Request_Device_Eject", program.stderr())
        self.assertFalse([b for b in self.notice_bodies() if "占用程序" in b])
        self.assertFalse([t for t in self.install.log_texts() if "被阻止" in t or "被占用" in t])

        # A refresh (seen by the locator file coming back) still finds G:.
        locator = self.session.unix_path(harness.LOCATOR_FILE)
        locator.unlink(missing_ok=True)
        self.session.device_change("arrival", STICK_LETTER)
        wait_for("the refresh", locator.exists)
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertNotIn(self.caption + " 已被断开连接", self.install.log_texts())
        self.assertQuitsCleanly(program)

    def test_safe_eject_names_the_program_holding_a_file_and_leaves_it_running(self):
        # The window that would offer to end it is switched off here.
        self.install.write_settings(b"[Setting]\r\nShowBlockers=0\r\n")
        program = self.plug_and_wait()
        holder, line = self.session.start_helper("holdfile", f"{STICK_LETTER}:\\held.txt")
        pid = int(line.split()[1])
        # The walk reads the holder's file back as a path; on the stick's letter
        # only once the program knows that letter for this purpose.
        self.session.wait_letters_known()
        try:
            self.command(program, SAFE_EJECT)
            self.wait_notice(f"{self.failure_text()}\r\n占用程序: qmhelper.exe ({pid})")
            self.assertIn(f"弹出 {self.stick_label}({STICK_LETTER}:) 被占用: qmhelper.exe ({pid})",
                          self.install.log_texts())
            self.assertIsNone(holder.poll(), "the program holding the file was ended")
            self.assertFalse([w for w in self.session.windows_of(PROGRAM_EXE) if w["caption"] == HOLDERS_CAPTION])
        finally:
            self.session.stop_helper(holder)
        self.assertQuitsCleanly(program)

    def forced_eject_box(self) -> Optional[dict]:
        for window in self.session.windows_of(PROGRAM_EXE):
            if window["caption"] == MAIN_CAPTION and window["visible"] and window["class"] != ALERT_CLASS:
                if FORCED_EJECT_TEXT in [c["text"] for c in window["children"]]:
                    return window
        return None

    def test_forced_eject_cancelled_changes_nothing(self):
        self.install.declare_buses({STICK_LETTER: "USB"})
        program = self.plug_and_wait()
        # The id the stick's submenu carries.
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        submenu = [item for item in self.session.read_popup_menu(PROGRAM_EXE) if item["text"] == self.caption]
        self.assertEqual(len(submenu), 1)
        forced = [item["id"] for item in submenu[0]["items"] if item["text"] == "强制弹出(&F)"]
        self.assertEqual(forced, [FORCED_EJECT + STICK_INDEX])
        log_before = self.install.log_texts()
        notices_before = sorted(self.notice_bodies())
        # Posted: the question box holds the command until it is answered.
        self.session.post(program.hwnd, WM_COMMAND, forced[0], 0)
        box = wait_for("the forced-eject question", self.forced_eject_box)
        buttons = sorted(c["text"] for c in box["children"] if c["class"].lower() == "button")
        self.assertEqual(len(buttons), 2, box)

        self.session.helper("clickbutton", MAIN_CAPTION, "取消")
        wait_for("the question to close", lambda: self.forced_eject_box() is None)
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertIn("explorer.exe", self.session.running_images())
        self.assertEqual(self.install.log_texts(), log_before)
        self.assertFalse([b for b in self.notice_bodies() if b not in notices_before and "弹出" in b])
        self.assertTrue((self.stick / ".windows-label").exists())
        self.assertQuitsCleanly(program)



class HoldersTestCase(ActionTestCase):
    """After a refused safe eject, the window that lists who holds the stick.
    Under Wine the eject fails before any request (no parent device), which
    is a failure all the same: the window opens whenever holders are found."""

    def hold(self, *window: str, name: str = "held.txt") -> tuple[object, int]:
        holder, line = self.session.start_helper("holdfile", f"{STICK_LETTER}:\\{name}", *window)
        self.addCleanup(self.session.stop_helper, holder)
        # As above: the walk names the file by the stick's letter once the
        # program knows that letter.
        self.session.wait_letters_known()
        return holder, int(line.split()[1])

    def holders_window(self) -> Optional[dict]:
        found = [w for w in self.session.windows_of(PROGRAM_EXE)
                 if w["caption"] == HOLDERS_CAPTION and w["visible"]]
        self.assertLessEqual(len(found), 1, "one window per drive")
        return found[0] if found else None

    def wait_listed(self, text: str) -> dict:
        def listed() -> Optional[dict]:
            window = self.holders_window()
            texts = [c["text"] for c in window["children"] if c["visible"]] if window else []
            return window if text in texts else None
        try:
            return wait_for(f"the holders' window listing {text!r}", listed, timeout=30)
        except harness.WaitTimeout as error:
            raise harness.WaitTimeout(f"{error}; window: {self.holders_window()}; "
                                      f"log: {self.install.log_texts()[-8:]}") from None

    def button(self, window: dict, text: str) -> dict:
        found = [c for c in window["children"] if c["class"].lower() == "button" and c["text"] == text]
        self.assertEqual(len(found), 1, window)
        return found[0]

    def retry_line(self) -> str:
        return f"占用程序已全部退出, 自动重试弹出 {self.stick_label}({STICK_LETTER}:): 失败"


class HoldersWindowTests(HoldersTestCase):

    def test_the_window_lists_the_holder_and_closing_it_retries_the_eject(self):
        program = self.plug_and_wait()
        holder, pid = self.hold("window", "Holder of the stick")
        self.command(program, SAFE_EJECT)
        self.wait_notice(f"{self.failure_text()}\r\n占用程序: qmhelper.exe ({pid})")
        window = self.wait_listed(f"qmhelper.exe ({pid})")
        texts = [c["text"] for c in window["children"] if c["visible"]]
        self.assertIn("窗口: Holder of the stick", texts)
        self.assertIn(f"文件: {STICK_LETTER}:\\held.txt", texts)
        self.assertEqual(window["class"], HOLDERS_CLASS)
        self.assertEqual([c["text"] for c in window["children"] if c["class"].lower() == "button"],
                         HOLDERS_BUTTONS)
        # The first row is selected: everything may act on it.
        self.assertTrue(all(c["enabled"] for c in window["children"] if c["class"].lower() == "button"))
        shot = self.session.logs_dir / "blocker-window.png"
        self.session.screenshot_around(shot, window["rect"])
        # The tray program keeps answering while the window is open.
        self.assertTrue(self.session.answers(program.hwnd))

        # Asked as its close box would ask it, the holder goes, and with it
        # the last holder: the eject is tried again by itself.
        self.session.helper("clickbutton", HOLDERS_CAPTION, "关闭程序(&C)")
        wait_for("the holder to close", lambda: holder.poll() is not None)
        self.assertIn("closing", self.session.helper_output(holder))
        self.install.wait_log(self.retry_line(), timeout=30)
        self.assertIn(f"关闭程序 qmhelper.exe ({pid}): 已发送关闭请求", self.install.log_texts())
        self.assertEqual(self.install.log_count(self.retry_line()), 1)
        # Under Wine it fails again; the window stays, empty, until cancelled.
        window = self.holders_window()
        self.assertIsNotNone(window)
        self.assertNotIn(f"qmhelper.exe ({pid})", [c["text"] for c in window["children"] if c["visible"]])
        # From the keyboard: the access key retries, Esc cancels.
        retried = f"重试弹出 {self.stick_label}({STICK_LETTER}:): 失败"
        self.session.keys(window["hwnd"], "alt+r")
        self.install.wait_log(retried)
        self.session.keys(window["hwnd"], "esc")
        wait_for("the window to close", lambda: self.holders_window() is None)
        self.assertQuitsCleanly(program)

    def test_ending_a_holder_without_a_window_asks_first(self):
        program = self.plug_and_wait()
        holder, pid = self.hold()
        self.command(program, SAFE_EJECT)
        window = self.wait_listed(f"qmhelper.exe ({pid})")
        self.assertIn("窗口: 没有", [c["text"] for c in window["children"]])
        # Nothing to bring forward or close, but it may be ended.
        self.assertFalse(self.button(window, "切换到(&S)")["enabled"])
        self.assertFalse(self.button(window, "关闭程序(&C)")["enabled"])
        self.assertTrue(self.button(window, "结束进程(&E)")["enabled"])

        # Posted: the question holds the click until it is answered.
        self.session.post(self.button(window, "结束进程(&E)")["hwnd"], BM_CLICK)
        question = f"确定要结束 qmhelper.exe ({pid}) 吗?"

        def asked() -> Optional[dict]:
            for w in self.session.windows_of(PROGRAM_EXE):
                if w["visible"] and any(c["text"].startswith(question) for c in w["children"]):
                    return w
            return None
        box = wait_for("the question before ending", asked)
        self.assertIn("未保存的工作将会丢失", " ".join(c["text"] for c in box["children"]))
        self.assertIsNone(holder.poll())
        yes = [c for c in box["children"] if c["class"].lower() == "button" and c["text"].startswith("是")]
        self.assertEqual(len(yes), 1, box)
        self.session.post(yes[0]["hwnd"], BM_CLICK)

        wait_for("the holder to end", lambda: holder.poll() is not None)
        self.install.wait_log(f"结束进程 qmhelper.exe ({pid}): 成功")
        self.install.wait_log(self.retry_line(), timeout=30)
        # The program ends while the window is still open.
        self.assertIsNotNone(self.holders_window())
        self.assertQuitsCleanly(program)

    def test_a_second_refusal_shows_in_the_same_window(self):
        program = self.plug_and_wait()
        first, first_pid = self.hold()
        self.command(program, SAFE_EJECT)
        self.wait_listed(f"qmhelper.exe ({first_pid})")
        second, second_pid = self.hold(name="second.txt")
        # Found by the window's own look, or by the second eject: one window.
        self.command(program, SAFE_EJECT)
        window = self.wait_listed(f"qmhelper.exe ({second_pid})")
        self.assertIn(f"qmhelper.exe ({first_pid})", [c["text"] for c in window["children"] if c["visible"]])
        # Pulled while open: the window goes with its drive.
        self.session.stop_helper(first)
        self.session.stop_helper(second)
        self.pull()
        wait_for("the window to close with its drive", lambda: self.holders_window() is None, timeout=30)
        self.assertQuitsCleanly(program)


if __name__ == "__main__":
    unittest.main()
