"""Start-up, shutdown and the messages of the tray program, run under Wine.

Every test gets a fresh install folder with a copy of Quillmoor.exe, no Run
value, no locator file and the dummy hardware-detection service stopped.
"""

from __future__ import annotations

import random
import shutil
import unittest

import harness
from harness import (DEFAULT_INSTALL_DIR, LOCATOR_FILE, LOG_UPDATE_OUTCOMES, LOG_VERSION_PREFIX, QUIT_REQUEST_MSG,
                     RUN_KEY, RUN_VALUE, WM_NULL, shared_session, wait_for)
from http_server import LoopbackServer

LOG_TRAY = "建立程序托盘"
LOG_STARTED = "===============程序启动"
LOG_DUPLICATE = "程序重复运行，被中止"
LOG_INSTALLER_QUIT = "接收到安装程序要求的退出消息"
LOG_QUIT = "===============程序退出"
LOG_CHINESE_PATH = "提示:请不要把本程序放到中文路径下运行"
LOG_AUTOPLAY_OFF = "禁用 Shell Hardware Detection 服务"
LOG_AUTOPLAY_ON = "启用 Shell Hardware Detection 服务"

VERSION = harness.program_version_text()
LOG_VERSION = LOG_VERSION_PREFIX + VERSION


def setUpModule() -> None:
    shared_session()


class ProgramTestCase(unittest.TestCase):
    install_dir = DEFAULT_INSTALL_DIR

    def setUp(self) -> None:
        self.session = shared_session()
        self.session.reset_program_state()
        self.session.reset_service(running=False, start=3)
        self.install = self.session.fresh_install(self.install_dir)
        self.addCleanup(self.session.end_started)
        self.addCleanup(self._keep_files)

    def _keep_files(self) -> None:
        """Copies the install folder's text files beside the run's logs."""
        target = self.session.logs_dir / self.id().split(".", 1)[-1]
        target.mkdir(parents=True, exist_ok=True)
        for name in ("log.txt", "Setting.ini", "Disk.ini"):
            if self.install.path(name).is_file():
                shutil.copyfile(self.install.path(name), target / name)

    def start_running(self, wine_trace: str = "") -> harness.Program:
        """Starts the program and waits until start-up has finished, its
        update check included: that check's log line would otherwise land at
        any moment of the test. Without a server of the test's own, the
        check fails at once (the session's programs reach no network)."""
        program = self.install.start(wine_trace)
        program.wait_window()
        self.install.wait_started()
        return program

    def assertQuitsCleanly(self, program: harness.Program) -> None:
        code = program.quit()
        self.assertEqual(code, 0, f"exit code {code}; stderr: {program.stderr()}")

    def assertInOrder(self, texts: list[str], wanted: list[str]) -> None:
        position = 0
        for text in wanted:
            try:
                position = texts.index(text, position) + 1
            except ValueError:
                self.fail(f"{text!r} missing or out of order in the log: {texts}")


class FirstStartTests(ProgramTestCase):
    def test_first_start_writes_defaults_autostart_and_start_lines(self):
        program = self.start_running()

        self.assertEqual(self.install.setting("Setting", "AutoStartup"), "1")
        self.assertEqual(self.install.setting("Setting", "DisableAutoPlayService"), "0")
        # The Run value is a command line: the path is quoted because of its blank.
        self.assertEqual(self.session.reg_get(RUN_KEY, RUN_VALUE), f'"{self.install.exe}"')
        self.assertInOrder(self.install.log_texts(), [LOG_TRAY, LOG_STARTED, LOG_VERSION])

        # The installer finds the folder and the window through the locator file.
        locator = self.session.unix_path(LOCATOR_FILE)
        self.assertEqual(harness.ini_value(locator, "Setting", "InstallDir"), self.install.windows_dir + "\\")
        self.assertEqual(harness.ini_value(locator, "Setting", "HWND"), str(program.hwnd))

        window = program.window_info()
        self.assertIsNotNone(window)
        self.assertFalse(window["visible"], "the main window must stay hidden")
        self.assertEqual(window["caption"], "Quillmoor v" + VERSION)
        self.assertTrue(self.session.tray_icon(program.hwnd), "no icon in the notification area")

        # The log is ANSI text in code page 936, one "date time<TAB>text" per line.
        raw = self.install.log_file.read_bytes()
        self.assertIn(LOG_STARTED.encode("gbk") + b"\r\n", raw)
        for line in self.install.log_lines():
            self.assertRegex(line.stamp, r"^\S+ \S+$", f"bad time stamp in {line}")

        self.assertQuitsCleanly(program)
        self.assertFalse(self.session.tray_icon(program.hwnd), "the icon outlived the program")

    def test_second_instance_is_refused_and_first_keeps_running(self):
        first = self.start_running()

        second = self.install.start()
        second.wait_exit(timeout=60)
        self.install.wait_log(LOG_DUPLICATE)

        self.assertTrue(first.running())
        self.assertTrue(self.session.answers(first.hwnd))
        self.assertTrue(self.session.tray_icon(first.hwnd))
        texts = self.install.log_texts()
        self.assertEqual(texts.count(LOG_TRAY), 1, "the refused instance must not build a tray icon")
        self.assertEqual(texts.count(LOG_STARTED), 1)
        self.assertEqual(texts.count(LOG_DUPLICATE), 1)
        self.assertEqual(self.install.saved_hwnd(), first.hwnd)

        self.assertQuitsCleanly(first)


class MessageTests(ProgramTestCase):
    def test_quit_request_needs_code_1001(self):
        program = self.start_running()

        self.assertIsNotNone(self.session.send(program.hwnd, QUIT_REQUEST_MSG, 7, 0))
        # A second round trip: anything the first message set off has run.
        self.assertIsNotNone(self.session.send(program.hwnd, WM_NULL))
        self.assertTrue(program.running())
        self.assertNotIn(LOG_INSTALLER_QUIT, self.install.log_texts())

        self.assertQuitsCleanly(program)
        self.assertEqual(self.install.log_texts()[-2:], [LOG_INSTALLER_QUIT, LOG_QUIT])

    def test_taskbar_created_rebuilds_tray(self):
        program = self.start_running()
        self.assertEqual(self.install.log_count(LOG_TRAY), 1)

        # The program takes its icon down and adds it again: it must be there.
        self.session.broadcast("TaskBarCreated")
        self.install.wait_log(LOG_TRAY, count=2)
        self.assertTrue(self.session.tray_icon(program.hwnd), "no icon after the taskbar came back")

        self.assertTrue(self.session.answers(program.hwnd))
        self.assertQuitsCleanly(program)
        self.assertEqual(self.install.log_count(LOG_TRAY), 2)


class AutoPlayServiceTests(ProgramTestCase):
    """The setting in Setting.ini is imposed on the service at every start,
    in the service manager's own record, which is what it acts on; a service
    already in the wanted state is left alone."""

    def run_case(self, disable: str, running: bool, start: int) -> list[str]:
        self.session.reset_service(running=running, start=start)
        self.install.write_settings(
            f"[Setting]\r\nAutoStartup=1\r\nDisableAutoPlayService={disable}\r\n".encode("ascii"))
        program = self.start_running()
        self.assertEqual(self.install.setting("Setting", "DisableAutoPlayService"), disable)
        texts = self.install.log_texts()
        self.assertQuitsCleanly(program)
        return texts

    def test_disable_stops_running_service(self):
        texts = self.run_case("1", running=True, start=3)
        self.assertIn(LOG_AUTOPLAY_OFF, texts)
        self.session.wait_service_state("stopped")
        self.assertEqual(self.session.service_start_type(), 4)

    def test_disable_counts_stopped_automatic_service_as_on(self):
        texts = self.run_case("1", running=False, start=2)
        self.assertIn(LOG_AUTOPLAY_OFF, texts)
        self.assertEqual(self.session.service_start_type(), 4)
        self.assertEqual(self.session.service_status()["state"], "stopped")

    def test_disable_leaves_disabled_service_alone(self):
        texts = self.run_case("1", running=False, start=4)
        self.assertNotIn(LOG_AUTOPLAY_OFF, texts)
        self.assertEqual(self.session.service_start_type(), 4)
        self.assertEqual(self.session.service_status()["state"], "stopped")

    def test_enable_starts_disabled_service(self):
        texts = self.run_case("0", running=False, start=4)
        self.assertIn(LOG_AUTOPLAY_ON, texts)
        self.session.wait_service_state("running")
        self.assertEqual(self.session.service_start_type(), 2)

    def test_enable_leaves_running_service_alone(self):
        texts = self.run_case("0", running=True, start=3)
        self.assertNotIn(LOG_AUTOPLAY_ON, texts)
        self.assertEqual(self.session.service_start_type(), 3)
        self.assertEqual(self.session.service_status()["state"], "running")


class ChinesePathTests(ProgramTestCase):
    install_dir = r"C:\测试目录\Quillmoor"

    def test_chinese_install_folder_warns_and_skips_autostart(self):
        program = self.start_running()

        self.assertIn(LOG_CHINESE_PATH, self.install.log_texts())
        self.assertEqual(self.install.setting("Setting", "AutoStartup"), "0")
        self.assertIsNone(self.session.reg_get(RUN_KEY, RUN_VALUE))
        self.assertQuitsCleanly(program)


class DamagedEnvironmentTests(ProgramTestCase):
    """Broken or unusable files never keep the program from starting and
    quitting normally; settings that cannot be read are the defaults."""

    @classmethod
    def setUpClass(cls) -> None:
        # Where the log cannot tell, the start-up update check reaching this
        # server (as the proxy of every outside address) shows that
        # start-up is over.
        cls.server = LoopbackServer().start()
        cls.addClassCleanup(cls.server.close)

    def setUp(self) -> None:
        super().setUp()
        self.server.clear_received()
        # The defaults switch the service on and start-up with Windows.
        self.session.reset_service(running=False, start=4)

    def start_and_quit(self, logs: bool = True, needs_saved_handle: bool = True) -> harness.Program:
        if not logs:
            self.session.route_internet_to(self.server.port)
            self.addCleanup(self.session.route_internet_to, None)
        program = self.install.start()
        program.wait_window(saved_only=needs_saved_handle)
        if logs:
            self.install.wait_started()
        else:
            wait_for("the start-up update check at the proxy",
                     lambda: [r for r in self.server.received() if r.path.endswith("/Quillmoor/Update.txt")],
                     timeout=60)
        self.assertTrue(self.session.answers(program.hwnd))
        self.assertTrue(self.session.tray_icon(program.hwnd))
        self.assertQuitsCleanly(program)
        return program

    def assertDefaultsApplied(self) -> None:
        self.assertEqual(self.session.reg_get(RUN_KEY, RUN_VALUE), f'"{self.install.exe}"')
        self.assertIn(LOG_AUTOPLAY_ON, self.install.log_texts())
        self.assertEqual(self.session.service_start_type(), 2)
        self.session.wait_service_state("running")

    def test_settings_of_binary_garbage(self):
        rng = random.Random(1234)
        garbage = bytes(rng.randrange(256) for _ in range(8192))
        self.install.write_settings(b"\x01\x02" + garbage)
        self.start_and_quit()
        self.assertDefaultsApplied()

    def test_settings_with_100_kb_line(self):
        self.install.write_settings(b"[Setting]\r\nAutoStartup=1\r\n" + b"A" * 102400 +
                                    b"\r\nDisableAutoPlayService=0\r\n" + b"=" * 102400 + b"\r\n")
        self.start_and_quit()
        self.assertDefaultsApplied()

    def test_settings_in_utf16(self):
        self.install.write_settings(
            "\ufeff[Setting]\r\nAutoStartup=1\r\nDisableAutoPlayService=0\r\n".encode("utf-16-le"))
        self.start_and_quit()
        self.assertDefaultsApplied()

    def test_log_locked_by_another_process(self):
        holder, _ = self.session.start_helper("holdfile", self.install.windows_dir + r"\log.txt")
        try:
            self.start_and_quit(logs=False)
        finally:
            self.session.stop_helper(holder)
        self.assertEqual(self.session.reg_get(RUN_KEY, RUN_VALUE), f'"{self.install.exe}"')

    def test_install_folder_not_writable(self):
        if not self.session.read_only_folders_work:
            self.skipTest("Unix permissions are not enforced for Wine here")
        self.session.make_read_only(self.install.unix_dir)
        self.start_and_quit(logs=False, needs_saved_handle=False)
        self.assertFalse(self.install.setting_ini.exists())
        self.assertFalse(self.install.log_file.exists())

if __name__ == "__main__":
    unittest.main()
