"""Quillmoor.exe's command line under Wine, and "eject all" in the live menu.

A command runs in a process of its own and prints to the handle its caller
gave it: here a file, read back in the code page of the session (936). Wine
reports every drive on a SCSI bus; the tests declare the buses they need
(Install.declare_buses), as for the tray program. Its configuration manager
knows no parent of any device, so every eject that gets that far fails
without a request.
"""

from __future__ import annotations

import unittest
from typing import Optional

import harness
from harness import LOCATOR_FILE, PROGRAM_EXE, shared_session, wait_for
from test_actions import ActionTestCase
from test_drives import CD_LETTER, EJECT_ALL_COMMAND, STICK_LETTER, TRAY_CALLBACK_MSG, WM_RBUTTONUP
from test_startup import LOG_DUPLICATE, LOG_STARTED, LOG_TRAY

EXIT_DONE, EXIT_USAGE, EXIT_NO_DRIVE, EXIT_IN_USE, EXIT_FAILED = range(5)
USAGE_FIRST_LINE = "用法: Quillmoor.exe /命令 [参数]"


def setUpModule() -> None:
    shared_session()


class CommandLineTestCase(ActionTestCase):
    """C: and the CD-ROM letter D:, and a stick folder for G:."""

    def cli(self, *args: str) -> tuple[int, list[str], list[str]]:
        """Runs one command; its exit code and the lines of its output and
        error streams."""
        result = self.session.run([self.install.exe, *args], check=False, timeout=90)

        def lines(data: bytes) -> list[str]:
            text = data.decode("gbk", "replace")
            return text.split("\r\n")[:-1] if text.endswith("\r\n") else ([text] if text else [])
        return result.returncode, lines(result.stdout), lines(result.stderr)

    def plug_quietly(self, buses: Optional[dict[str, str]] = None) -> None:
        self.install.declare_buses(buses or {CD_LETTER: "ATAPI", STICK_LETTER: "USB"})
        self.session.define_drive(STICK_LETTER, self.stick, "removable")

    def failure_line(self) -> str:
        return f"弹出 {self.stick_label}({STICK_LETTER}:) 失败,请关闭此设备中已打开的文件"


class CommandTests(CommandLineTestCase):
    def test_list_prints_each_drive_with_its_bus_and_touches_no_settings(self):
        self.plug_quietly()
        code, out, err = self.cli("/list")
        self.assertEqual((code, err), (EXIT_DONE, []), out)
        rows = {line.split("\t")[0]: line.split("\t") for line in out}
        self.assertEqual(sorted(rows), ["C:", f"{CD_LETTER}:", f"{STICK_LETTER}:"], out)
        for row in rows.values():
            self.assertEqual(len(row), 6, row)
        self.assertEqual(rows["C:"][1:3], ["SCSI", "本地磁盘"])
        self.assertEqual(rows[f"{CD_LETTER}:"][1:3], ["ATAPI", "光驱"])
        self.assertEqual(rows[f"{STICK_LETTER}:"][1:4], ["USB", "可移动磁盘", self.stick_label])
        self.assertRegex(rows[f"{STICK_LETTER}:"][4], r"^\d+\.\d [KMGT]?B$")
        self.assertEqual(rows[f"{STICK_LETTER}:"][5], "未免疫")

        # Immunised from the command line: the log says it as for the menu.
        code, out, err = self.cli("/immunise", "g")
        self.assertEqual((code, out, err),
                         (EXIT_DONE, [f"已免疫 ({STICK_LETTER}:\\) 可有效防止autorun病毒向该设备写入"], []))
        self.assertEqual(self.install.log_texts(), [f"免疫 {STICK_LETTER}:\\ 成功"])
        self.assertImmunised()
        self.assertEqual(self.cli("/list")[1][-1].split("\t")[5], "已免疫")
        # Nothing of the tray program was written.
        self.assertFalse(self.install.setting_ini.exists())
        self.assertFalse(self.session.unix_path(LOCATOR_FILE).exists())
        self.assertFalse((self.stick / "autorun.inf" / "Quillmoor.ini").exists())

    def test_eject_says_why_with_its_exit_code(self):
        self.assertEqual(self.cli("/eject", "Q:"), (EXIT_NO_DRIVE, [], ["没有驱动器 Q:"]))
        self.assertEqual(self.cli("/EJECT", f"{CD_LETTER}:\\")[0], EXIT_NO_DRIVE)
        # On the SCSI bus Wine reports, the stick has no eject.
        self.plug_quietly({CD_LETTER: "ATAPI"})
        self.assertEqual(self.cli("/eject", f"{STICK_LETTER}:"),
                         (EXIT_NO_DRIVE, [], [f"不是可以安全弹出的设备: {STICK_LETTER}:"]))
        # On USB it runs up to Wine's configuration manager, which knows no
        # parent device: no request, so nothing holds it, another failure.
        self.install.declare_buses({CD_LETTER: "ATAPI", STICK_LETTER: "USB"})
        self.assertEqual(self.cli("/eject", f"{STICK_LETTER}:"),
                         (EXIT_FAILED, [], [self.failure_line(), "找不到可以弹出的设备"]))

        # A program holding a file there: named, in use, left running.
        holder, line = self.session.start_helper("holdfile", f"{STICK_LETTER}:\\held.txt")
        pid = int(line.split()[1])
        self.session.wait_letters_known()
        try:
            code, out, err = self.cli("/eject", f"{STICK_LETTER}:")
            self.assertEqual((code, out), (EXIT_IN_USE, []), err)
            self.assertEqual(err, [self.failure_line(), "占用程序:", f"  qmhelper.exe ({pid})"])
            self.assertIn(f"弹出 {self.stick_label}({STICK_LETTER}:) 被占用: qmhelper.exe ({pid})",
                          self.install.log_texts())
            self.assertEqual(self.cli("/who-locks", STICK_LETTER), (EXIT_DONE, [f"qmhelper.exe ({pid})"], []))
            code, out, err = self.cli("/eject", "/all")
            self.assertEqual((code, out), (EXIT_IN_USE, []), err)
            self.assertEqual(err[-1], f"已安全弹出 0 个设备,未能弹出: {self.caption}")
            self.assertIsNone(holder.poll(), "the program holding the file was ended")
        finally:
            self.session.stop_helper(holder)
        self.assertTrue((self.stick / ".windows-label").exists())

    def test_usage_and_bad_arguments(self):
        code, out, err = self.cli("/?")
        self.assertEqual((code, out[0], err), (EXIT_DONE, USAGE_FIRST_LINE, []))
        code, out, err = self.cli("/bogus")
        self.assertEqual((code, out, err[:2]), (EXIT_USAGE, [], ["未知的命令: /bogus", USAGE_FIRST_LINE]))
        self.assertEqual(self.cli("/eject", "G:", "H:")[0], EXIT_USAGE)
        self.assertFalse(self.install.log_file.exists())

    def test_commands_leave_a_running_tray_program_alone(self):
        self.plug_quietly()
        program = self.start_running()
        settings = self.install.setting_ini.read_bytes()
        locator = self.session.unix_path(LOCATOR_FILE).read_bytes()
        self.assertEqual(self.cli("/list")[0], EXIT_DONE)
        self.assertEqual(self.cli("/eject", "Q:")[0], EXIT_NO_DRIVE)
        self.assertEqual(self.cli("/immunise", STICK_LETTER)[0], EXIT_DONE)
        # An eject tells the running program before and after (Wine keeps
        # the stick, so the program is told it stayed).
        self.assertEqual(self.cli("/eject", f"{STICK_LETTER}:")[0], EXIT_FAILED)
        # The running program still answers, alone, with its settings as it wrote them.
        self.assertTrue(self.session.answers(program.hwnd))
        texts = self.install.log_texts()
        self.assertNotIn(LOG_DUPLICATE, texts)
        self.assertEqual((texts.count(LOG_TRAY), texts.count(LOG_STARTED)), (1, 1), texts)
        self.assertEqual(self.install.setting_ini.read_bytes(), settings)
        self.assertEqual(self.session.unix_path(LOCATOR_FILE).read_bytes(), locator)
        self.assertEqual([p["exe"].lower() for p in self.session.processes()].count(PROGRAM_EXE.lower()), 1)
        self.assertQuitsCleanly(program)


class EjectAllMenuTests(CommandLineTestCase):
    def test_eject_all_in_the_live_menu_ejects_each_stick_and_says_it_once(self):
        self.install.declare_buses({CD_LETTER: "ATAPI", STICK_LETTER: "USB"})
        program = self.plug_and_wait()
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        items = self.session.read_popup_menu(PROGRAM_EXE)
        self.assertEqual([(i["text"], i["id"], i["grayed"]) for i in items[2:3]],
                         [("全部安全弹出(&A)", EJECT_ALL_COMMAND, False)])
        self.assertEqual([i["text"] for i in items[3:]], [f" ({CD_LETTER}:)", self.caption])

        # Picked from the menu: Wine's configuration manager keeps the stick.
        summary = f"已安全弹出 0 个设备,未能弹出: {self.caption}"
        self.session.post(program.hwnd, TRAY_CALLBACK_MSG, 1, WM_RBUTTONUP)
        self.session.read_popup_menu(PROGRAM_EXE, pick=EJECT_ALL_COMMAND)
        self.wait_notice(summary)
        self.install.wait_log(summary)
        # One notice for all of them, none of the stick's own.
        self.assertNotIn(self.failure_line(), self.notice_bodies())
        self.assertEqual(self.notice_bodies().count(summary), 1)
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertQuitsCleanly(program)


if __name__ == "__main__":
    unittest.main()
