"""The installer setup.exe under Wine: its wizard window, a fresh install,
an install over a running tray program and updater, a refused folder, a
file that cannot be replaced, a locator file on a stick, and a cancelled
installation.

Each test stages a distribution folder C:\\dist as a download folder may
look: the release (the files src/app/release_files.txt lists) among files
and a folder that are no part of it. It drives the real window: it reads
the controls' texts, clicks the buttons and answers the message boxes,
which carry the window's caption and the system's OK and Cancel buttons.
"""

from __future__ import annotations

import shutil
import subprocess
import unittest
from pathlib import Path
from typing import Callable, Optional

import harness
from harness import DEFAULT_INSTALL_DIR, LOCATOR_FILE, PROGRAM_EXE, RUN_KEY, RUN_VALUE, shared_session, wait_for
from test_startup import LOG_INSTALLER_QUIT, LOG_QUIT, LOG_STARTED, LOG_VERSION

SETUP_EXE = "setup.exe"
UPDATER_EXE = "Quillmoor_Freshwell.exe"
DIST_DIR = r"C:\dist"
README_SOURCE = harness.SOURCE_ROOT / "src" / "app" / "readme.txt"
README_EN_SOURCE = harness.SOURCE_ROOT / "src" / "app" / "readme-en.txt"
RELEASE_LIST = harness.SOURCE_ROOT / "src" / "app" / "release_files.txt"
# Beside setup.exe, no part of the release: a DLL (under a name Wine's own
# libraries do not look for), a file and a folder.
STRAY_FILES = ("stray.dll", "notes.txt", "docs/guide.txt")
HOME_PAGE = "https://quillmoor.example.org/"

CAPTION = "Quillmoor安装程序向导"
FORM_CLASS = "QuillmoorSetup"
DIALOG_CLASS = "#32770"
CLIENT_SIZE_96_DPI = (450, 336)
ICON_SIZE_96_DPI = (48, 48)
START_BUTTON = "开始安装(&S)"
CANCEL_BUTTON = "取消(&C)"
CHANGE_BUTTON = "更改目录"
LABELS = ("安装目录", "安装目录指明本程序将被复制到您电脑硬盘中的哪个文件夹。", "指定一个安装目录。",
          "官方网站  " + HOME_PAGE)

CONFIRM_START = "确定开始安装吗?"
CHINESE_PATH = "不能安装到含有中文字符的路径下,请重新选择安装目录！"
THANKS = "安装完成\r\n\r\n感谢您使用Quillmoor"
CANCEL_INSTALL = "安装正在进行中,要结束安装吗?"
LEAVE_WIZARD = "退出安装向导?"
STARTING = "开始安装"
COPY_FAILED = "安装已停止,没有完成。无法复制文件 "
TRAY_STUCK = "无法结束 Quillmoor.exe,安装已停止。请关闭该程序后重新安装。"
COMPLETE = "安装完成"
WAIT_TRAY = "...等待 Quillmoor.exe 结束"
WAIT_UPDATER = "...等待 Quillmoor_Freshwell.exe 结束"
CREATING_FOLDER = "创建文件夹..."
CREATING_FILE = "创建文件..."

# Removing an installation: its window, its texts and its exit codes.
UNINSTALL_CLASS = "QuillmoorUninstall"
UNINSTALL_CAPTION = "卸载 Quillmoor"
UNINSTALL_BUTTON = "卸载(&U)"
PURGE_BOX = "删除设置和日志"
UNINSTALLED = "Quillmoor 已卸载: "
KEPT_SETTINGS = "设置和日志保留在 "
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor"
UNINSTALL_DONE, UNINSTALL_CANCELLED = 0, 5
BST_CHECKED = 1

# The silent installation's exit codes.
SILENT_DONE, SILENT_USAGE, SILENT_FOLDER_REFUSED = 0, 1, 2
SILENT_FOLDER = r"C:\Program Files\Quillmoor Test\Silent Copy"

ID_OK, ID_CANCEL = 1, 2
WM_CLOSE = 0x0010
# TerminateProcess by the installer leaves this exit code.
TERMINATED = 1


def setUpModule() -> None:
    session = shared_session()
    # Opening the home page under Wine starts winebrowser, which would hand
    # the address to a Linux browser. A script of the run stands in for it
    # and only notes the address.
    script = session.work_dir / "browser.sh"
    script.write_text('#!/bin/sh\nprintf "%s\\n" "$@" >> "$(dirname "$0")/opened-urls.txt"\n')
    script.chmod(0o755)
    (session.work_dir / "opened-urls.txt").unlink(missing_ok=True)
    session.reg_add(r"HKCU\Software\Wine\WineBrowser", "Browsers", str(script))


def opened_urls() -> list[str]:
    try:
        return (shared_session().work_dir / "opened-urls.txt").read_text().split()
    except FileNotFoundError:
        return []


def lines_of(text: str) -> list[str]:
    return text.split("\r\n")


def release_files() -> list[str]:
    """The release as the build lists it, in the order setup.exe copies it."""
    lines = (line.strip() for line in RELEASE_LIST.read_text(encoding="utf-8").splitlines())
    return [line for line in lines if line and not line.startswith("#")]


class Wizard:
    """A running setup.exe and its window."""

    form_class = FORM_CLASS
    caption = CAPTION

    def __init__(self, session: harness.WineSession, popen: subprocess.Popen, stderr_path: Path):
        self.session = session
        self.popen = popen
        self.stderr_path = stderr_path
        self.boxes_seen: list[str] = []

    def running(self) -> bool:
        return self.popen.poll() is None

    def stderr(self) -> str:
        return self.stderr_path.read_bytes().decode("utf-8", "replace")

    def wait_exit(self, timeout: float = 30) -> int:
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise harness.WaitTimeout(f"setup.exe did not end within {timeout:g} s; "
                                      f"windows: {self.visible_windows()}") from None

    def kill(self) -> None:
        if self.popen.poll() is None:
            self.popen.kill()
            self.popen.wait(timeout=60)

    def visible_windows(self) -> list[dict]:
        return [w for w in self.session.windows_of(SETUP_EXE) if w["visible"]]

    def form(self) -> Optional[dict]:
        forms = [w for w in self.visible_windows() if w["class"] == self.form_class]
        return forms[0] if forms else None

    def wait_form(self, timeout: float = 30) -> dict:
        def shown() -> Optional[dict]:
            if not self.running():
                raise AssertionError(f"setup.exe ended early with code {self.popen.returncode}: {self.stderr()}")
            return self.form()
        return wait_for("the wizard window", shown, timeout=timeout, interval=0.1)

    def control(self, text: str, window: Optional[dict] = None) -> dict:
        window = window or self.wait_form()
        found = [c for c in window["children"] if c["text"] == text]
        if len(found) != 1:
            raise AssertionError(f"expected one control {text!r}, found {len(found)} in {window}")
        return found[0]

    def edits(self, window: Optional[dict] = None) -> list[dict]:
        """Text1 and Text2, from top to bottom."""
        window = window or self.wait_form()
        return sorted((c for c in window["children"] if c["class"].lower() == "edit"),
                      key=lambda c: c["rect"][1])

    def text1(self) -> str:
        return self.edits()[0]["text"]

    def text2(self) -> str:
        return self.edits()[1]["text"]

    def click(self, text: str) -> None:
        self.session.helper("click", self.control(text)["hwnd"])

    def box(self) -> Optional[dict]:
        """The message box on screen, as text and buttons, or None."""
        for window in self.visible_windows():
            if window["class"] != DIALOG_CLASS:
                continue
            texts = [c["text"] for c in window["children"] if c["class"].lower() == "static" and c["text"]]
            buttons = {c["id"]: c["hwnd"] for c in window["children"] if c["class"].lower() == "button"}
            return {"hwnd": window["hwnd"], "caption": window["caption"], "text": "\n".join(texts),
                    "buttons": buttons}
        return None

    def wait_box(self, timeout: float = 30, while_waiting: Optional[Callable[[], None]] = None) -> dict:
        def shown() -> Optional[dict]:
            if while_waiting is not None:
                while_waiting()
            if not self.running():
                raise AssertionError(f"setup.exe ended (code {self.popen.returncode}) instead of asking")
            return self.box()
        box = wait_for("a message box of the installer", shown, timeout=timeout, interval=0.1)
        self.boxes_seen.append(box["text"])
        return box

    def answer(self, expected_text: str, button: int = ID_OK, timeout: float = 30) -> dict:
        """Waits for the box, checks its text and caption and presses a button."""
        box = self.wait_box(timeout)
        if box["text"] != expected_text or box["caption"] != self.caption:
            raise AssertionError(f"expected the box {expected_text!r}, got {box}")
        if button not in box["buttons"]:
            raise AssertionError(f"the box {expected_text!r} has no button {button}: {box}")
        self.session.helper("click", box["buttons"][button])
        # The next box may already be up by the time this one is seen to go.
        wait_for("the box to go",
                 lambda: not self.running() or all(w["hwnd"] != box["hwnd"] for w in self.visible_windows()),
                 timeout=60)
        return box


class UninstallWindow(Wizard):
    """A running setup.exe /uninstall and its question."""

    form_class = UNINSTALL_CLASS
    caption = UNINSTALL_CAPTION


class SetupTestCase(unittest.TestCase):
    def setUp(self) -> None:
        self.session = shared_session()
        self.session.reset_program_state()
        self.session.kill_image(SETUP_EXE)
        self.session.kill_image(UPDATER_EXE)
        self._others: list[subprocess.Popen] = []
        self.addCleanup(self._end_others)
        self.addCleanup(self.session.end_started)
        default = self.session.unix_path(DEFAULT_INSTALL_DIR)
        if default.exists():
            shutil.rmtree(default)
        self.dist = self.session.unix_path("C:\\") / "dist"
        self.staged = self.stage_dist()
        self.urls_before = len(opened_urls())

    def _end_others(self) -> None:
        # The program the installer started is no process of the harness.
        self.session.kill_image(PROGRAM_EXE)
        self.session.kill_image(SETUP_EXE)
        self.session.kill_image(UPDATER_EXE)
        for proc in self._others:
            if proc.poll() is None:
                proc.kill()
                proc.wait(timeout=60)

    def stage_dist(self) -> list[str]:
        """The release folder as users get it, among stray files; returns the
        release's files."""
        if self.dist.exists():
            shutil.rmtree(self.dist)
        self.dist.mkdir()
        shutil.copy2(self.session.bin_dir / SETUP_EXE, self.dist / SETUP_EXE)
        shutil.copy2(self.session.program_copy(), self.dist / PROGRAM_EXE)
        # As the build ships it: the ANSI code page and CR LF line ends.
        readme = README_SOURCE.read_text(encoding="utf-8").replace("\n", "\r\n")
        (self.dist / "readme.txt").write_bytes(readme.encode("gbk"))
        readme_en = README_EN_SOURCE.read_text(encoding="utf-8").replace("\n", "\r\n")
        (self.dist / "readme-en.txt").write_bytes(readme_en.encode("ascii"))
        release = release_files()
        self.assertEqual(sorted(p.name for p in self.dist.iterdir()), sorted(release),
                         "the release lists files this test does not stage")
        for name in STRAY_FILES:
            (self.dist / name).parent.mkdir(parents=True, exist_ok=True)
            (self.dist / name).write_bytes(b"not ours\r\n")
        return release

    def readme_lines(self) -> list[str]:
        return README_SOURCE.read_text(encoding="utf-8").rstrip("\n").split("\n")

    def start_setup(self, *args: str, program: str = DIST_DIR + "\\" + SETUP_EXE,
                    kind: type[Wizard] = Wizard) -> Wizard:
        """setup.exe with its window up: by default the wizard of the
        staged release."""
        index = len(self._others)
        stderr_path = self.session.logs_dir / f"{self.id().rsplit('.', 1)[-1]}-setup-{index}.stderr"
        env = self.session.env()
        env["WINEDEBUG"] = "-all,err+all"
        with open(stderr_path, "wb") as err:
            popen = subprocess.Popen([self.session.wine, program, *args], env=env, cwd=self.session.unix_path("C:\\"),
                                     stdout=subprocess.DEVNULL, stderr=err, stdin=subprocess.DEVNULL)
        self._others.append(popen)
        wizard = kind(self.session, popen, stderr_path)
        wizard.wait_form()
        return wizard

    def start_stand_in(self, folder: str, image: str) -> subprocess.Popen:
        """A windowed program of ours that does nothing, started as
        folder\\image; it knows no quit request."""
        unix_folder = self.session.unix_path(folder)
        unix_folder.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.session.unix_path(harness.TOOLS_DIR) / "qmminwin.exe", unix_folder / image)
        popen = subprocess.Popen([self.session.wine, folder + "\\" + image], env=self.session.env(),
                                 cwd=self.session.unix_path("C:\\"), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        self._others.append(popen)
        path = (folder + "\\" + image).lower()
        wait_for(f"{image} to run", lambda: any(p["path"].lower() == path for p in self.session.processes()),
                 timeout=60)
        return popen

    def start_updater(self, folder: str = DEFAULT_INSTALL_DIR) -> subprocess.Popen:
        """A stand-in updater under the updater's name, by default where the
        real one runs from: the install folder."""
        return self.start_stand_in(folder, UPDATER_EXE)

    def write_locator(self, install_dir: str, hwnd: Optional[int] = None) -> None:
        locator = self.session.unix_path(LOCATOR_FILE)
        text = f"[Setting]\r\nInstallDir={install_dir}\r\n"
        if hwnd is not None:
            text += f"HWND={hwnd}\r\n"
        locator.write_bytes(text.encode("gbk"))

    def install_folder(self, windows_dir: str = DEFAULT_INSTALL_DIR) -> harness.Install:
        return harness.Install(self.session, windows_dir.rstrip("\\"))

    def install_silently(self) -> harness.Install:
        """The release, installed as a script installs it, into a folder with blanks."""
        shutil.rmtree(self.session.unix_path(SILENT_FOLDER), ignore_errors=True)
        result = self.session.run([DIST_DIR + "\\" + SETUP_EXE, "/S", "/D=" + SILENT_FOLDER], check=False,
                                  timeout=180)
        self.assertEqual(result.returncode, SILENT_DONE, result.stderr.decode("gbk", "replace"))
        return self.install_folder(SILENT_FOLDER)

    def assertProgressLines(self, text2: str, files: list[str]) -> None:
        """The progress box of a whole install: the two waits, every file of
        the release in the listed order (a folder before its first file) and
        the end."""
        expected = [STARTING, WAIT_TRAY, WAIT_UPDATER]
        folders: list[str] = []
        for name in files:
            parts = name.split("/")
            for depth in range(1, len(parts)):
                folder = "\\".join(parts[:depth])
                if folder not in folders:
                    folders.append(folder)
                    expected.append(CREATING_FOLDER + folder)
            expected.append(CREATING_FILE + "\\".join(parts))
        self.assertEqual(lines_of(text2), expected + [COMPLETE])

    def install_over_running(self, program: harness.Program, wizard: Wizard) -> None:
        """Installs while the tray program runs: it must end by the quit
        request, its log ending with the request's lines, before any file is
        copied."""
        copied_while_running = []

        def watch() -> None:
            # Read the box first, then the process: copy lines seen while the
            # program still runs afterwards were written while it ran.
            if program.running():
                text = wizard.text2() if wizard.form() else ""
                if program.running() and CREATING_FILE in text:
                    copied_while_running.append(text)

        seen = self.run_install(wizard, while_copying=watch)
        self.assertEqual(program.wait_exit(), 0, "the program must end by the quit request, not be killed")
        self.assertEqual(copied_while_running, [])
        self.assertProgressLines(seen["text2"], self.staged)
        self.assertEqual(program.install.log_texts()[-2:], [LOG_INSTALLER_QUIT, LOG_QUIT])

    def assertInstalled(self, install: harness.Install) -> None:
        """The release arrived whole, and nothing else that lay beside setup.exe."""
        for name in self.staged:
            self.assertEqual((install.unix_dir / name).read_bytes(), (self.dist / name).read_bytes(), name)
        for name in STRAY_FILES:
            self.assertFalse((install.unix_dir / name.split("/")[0]).exists(), name)

    def run_install(self, wizard: Wizard, while_copying: Optional[Callable[[], None]] = None) -> dict:
        """Starts the install and waits for the thanks; returns what was seen
        then: the progress box and whether Quillmoor.exe was running. The
        thanks stays open."""
        wizard.click(START_BUTTON)
        wizard.answer(CONFIRM_START)
        box = wizard.wait_box(timeout=120, while_waiting=while_copying)
        self.assertEqual(box["text"], THANKS, box)
        window = wizard.wait_form()
        return {
            "text2": wizard.edits(window)[1]["text"],
            "program_running": PROGRAM_EXE.lower() in self.session.running_images(),
        }

    def finish(self, wizard: Wizard) -> None:
        """OK on the thanks: the home page opens, the installed program starts
        and the installer ends."""
        box = wizard.box()
        self.assertIsNotNone(box)
        self.session.helper("click", box["buttons"][ID_OK])
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())
        wait_for("the home page to open", lambda: len(opened_urls()) > self.urls_before, timeout=60)
        self.assertEqual(opened_urls()[self.urls_before:], [HOME_PAGE])


class WizardWindowTests(SetupTestCase):
    def test_window_shows_default_folder_and_readme_and_leaves_only_when_confirmed(self):
        wizard = self.start_setup()
        window = wizard.wait_form()
        self.assertEqual(window["caption"], CAPTION)
        # Wine runs at 96 dpi: the design size, or somewhat more where Wine's
        # font draws taller lines than the design's, centred on the work area.
        for have, drawn in zip(window["client"], CLIENT_SIZE_96_DPI):
            self.assertTrue(drawn <= have <= drawn * 5 // 4, window["client"])
        left, top, right, bottom = window["rect"]
        work_left, work_top, work_right, work_bottom = self.session.work_area()
        self.assertLessEqual(abs((left + right) - (work_left + work_right)), 2, window["rect"])
        self.assertLessEqual(abs((top + bottom) - (work_top + work_bottom)), 2, window["rect"])

        # Every text in a control of its own.
        for text in LABELS + (CHANGE_BUTTON, START_BUTTON, CANCEL_BUTTON):
            control = wizard.control(text, window)
            self.assertTrue(control["visible"], control)
        # No locator file: the default folder; the readme line by line.
        self.assertEqual(wizard.text1(), DEFAULT_INSTALL_DIR + "\\")
        self.assertEqual(lines_of(wizard.text2()), self.readme_lines())
        icons = [c for c in window["children"] if c["class"].lower() == "static" and not c["text"]]
        self.assertEqual(len(icons), 1, window["children"])
        l, t, r, b = icons[0]["rect"]
        self.assertEqual((r - l, b - t), ICON_SIZE_96_DPI)
        self.save_screenshot(window)

        # The address opens the home page once clicked: pressed and released
        # over it. A press that slides off it before the release opens nothing.
        link = wizard.control(LABELS[3], window)["hwnd"]
        self.session.mouse(link, "over", "press", "away", "release")
        self.session.mouse(link, "over", "press", "release")
        wait_for("the home page to open", lambda: len(opened_urls()) > self.urls_before, timeout=60)
        self.assertEqual(opened_urls()[self.urls_before:], [HOME_PAGE])

        # The close box asks; Cancel keeps the wizard.
        self.session.post(window["hwnd"], WM_CLOSE)
        wizard.answer(LEAVE_WIZARD, ID_CANCEL)
        self.assertTrue(wizard.running())
        self.assertEqual(wizard.wait_form()["hwnd"], window["hwnd"])
        # So does Cancel; OK ends it, with nothing installed.
        wizard.click(CANCEL_BUTTON)
        wizard.answer(LEAVE_WIZARD, ID_OK)
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())
        self.assertFalse(self.session.unix_path(DEFAULT_INSTALL_DIR).exists())
        self.assertEqual(wizard.boxes_seen, [LEAVE_WIZARD, LEAVE_WIZARD])
        # Long after the press that slid off the link, still the one address.
        self.assertEqual(opened_urls()[self.urls_before:], [HOME_PAGE])

    def save_screenshot(self, window: dict) -> None:
        """A picture of the wizard for the documentation (copied to docs/);
        without ImageMagick there is none, and the test goes on."""
        if shutil.which("import") and shutil.which("convert"):
            self.session.send(window["hwnd"], harness.WM_NULL)
            self.session.screenshot_around(self.session.logs_dir / "setup-wizard.png", window["rect"], margin=8)

    def test_keyboard_moves_through_the_window_and_escape_cancels(self):
        wizard = self.start_setup()
        window = wizard.wait_form()

        def focused() -> dict:
            return self.session.focus(window["hwnd"]) or {}

        wait_for("the keyboard on the start button", lambda: focused().get("text") == START_BUTTON)
        # Forward from the last control round to the folder box, back again.
        self.session.keys(window["hwnd"], "tab")
        wait_for("the keyboard in the folder box", lambda: focused().get("hwnd") == wizard.edits(window)[0]["hwnd"])
        self.session.keys(window["hwnd"], "shift+tab", "shift+tab")
        wait_for("the keyboard on the cancel button", lambda: focused().get("text") == CANCEL_BUTTON)
        # Esc asks as "取消(&C)" does, and so does Enter on that button.
        self.session.keys(window["hwnd"], "esc")
        wizard.answer(LEAVE_WIZARD, ID_CANCEL)
        self.session.keys(window["hwnd"], "enter")
        wizard.answer(LEAVE_WIZARD, ID_CANCEL)
        # The access key starts the installation's question.
        self.session.keys(window["hwnd"], "alt+s")
        wizard.answer(CONFIRM_START, ID_CANCEL)
        self.assertTrue(wizard.running())
        self.assertEqual(wizard.boxes_seen, [LEAVE_WIZARD, LEAVE_WIZARD, CONFIRM_START])
        wizard.click(CANCEL_BUTTON)
        wizard.answer(LEAVE_WIZARD)
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())

    def test_chinese_folder_is_refused_and_the_wizard_stays(self):
        self.write_locator(r"C:\软件\Quillmoor")
        wizard = self.start_setup()
        self.assertEqual(wizard.text1(), "C:\\软件\\Quillmoor\\")

        wizard.click(START_BUTTON)
        wizard.answer(CONFIRM_START)
        wizard.answer(CHINESE_PATH)
        # Nothing started: the readme is still shown, the wizard waits.
        self.assertEqual(lines_of(wizard.text2()), self.readme_lines())
        self.assertFalse(self.session.unix_path("C:\\").joinpath("软件").exists())
        self.assertTrue(wizard.running())
        wizard.click(CANCEL_BUTTON)
        wizard.answer(LEAVE_WIZARD)
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())


class InstallTests(SetupTestCase):
    def test_fresh_install_into_default_folder(self):
        wizard = self.start_setup()
        seen = self.run_install(wizard)
        install = self.install_folder()

        self.assertProgressLines(seen["text2"], self.staged)
        self.assertFalse(seen["program_running"], "the program starts only after the thanks")
        # The default settings are written before the thanks.
        self.assertEqual(install.setting("Setting", "AutoStartup"), "1")
        self.assertEqual(install.setting("Setting", "DisableAutoPlayService"), "0")
        self.assertInstalled(install)
        self.assertEqual(wizard.boxes_seen, [CONFIRM_START, THANKS])

        self.finish(wizard)
        # The installed program runs from its folder: it logs there and
        # records that folder in its locator file. The desktop's shell
        # started it, with the logged-on user's rights.
        wait_for("the installed program", lambda: PROGRAM_EXE.lower() in self.session.running_images(), timeout=60)
        processes = {p["pid"]: p for p in self.session.processes()}
        started = [p for p in processes.values() if p["exe"].lower() == PROGRAM_EXE.lower()]
        self.assertEqual(len(started), 1, started)
        self.assertEqual(processes.get(started[0]["parent"], {}).get("exe", "").lower(), "explorer.exe", started)
        install.wait_log(LOG_VERSION, timeout=30)
        locator = self.session.unix_path(LOCATOR_FILE)
        wait_for("the locator file", lambda: harness.ini_value(locator, "Setting", "InstallDir"), timeout=60)
        self.assertEqual(harness.ini_value(locator, "Setting", "InstallDir"), DEFAULT_INSTALL_DIR + "\\")
        self.assertEqual(install.setting("Setting", "AutoStartup"), "1")

    def test_install_over_running_tray_program(self):
        # Installed elsewhere: the installer finds that folder through the
        # locator file the running program wrote, and its window too.
        old = self.session.fresh_install(r"C:\Tools\Quillmoor")
        program = old.start()
        program.wait_window()
        old.wait_log(LOG_VERSION)
        wizard = self.start_setup()
        self.assertEqual(wizard.text1(), old.windows_dir + "\\")

        self.install_over_running(program, wizard)
        self.assertInstalled(old)

        self.finish(wizard)
        old.wait_log(LOG_STARTED, count=2, timeout=30)
        self.assertFalse(self.session.unix_path(DEFAULT_INSTALL_DIR).exists())

    def test_a_stale_handle_in_the_locator_reaches_no_other_program(self):
        # The locator names a window of another program of ours, which
        # records what it receives; the tray program runs meanwhile.
        old = self.session.fresh_install(r"C:\Tools\Quillmoor")
        program = old.start()
        program.wait_window()
        old.wait_log(LOG_VERSION)
        listener, handle = self.session.start_helper("listen")
        stranger = int(handle)
        # The recorder hears what is sent to it.
        self.session.send(stranger, harness.QUIT_REQUEST_MSG, 7)
        wait_for("the recorder to hear", lambda: self.session.helper_output(listener)[1:] == ["1025 7 0"])
        self.write_locator(old.windows_dir, stranger)

        wizard = self.start_setup()
        self.assertEqual(wizard.text1(), old.windows_dir + "\\")
        self.install_over_running(program, wizard)
        self.assertEqual(self.session.helper_output(listener)[1:], ["1025 7 0"])
        self.finish(wizard)

    def test_running_updater_is_ended(self):
        updater = self.start_updater()
        # A program of the same name elsewhere is none of the installer's.
        namesake = self.start_updater(harness.TOOLS_DIR)
        wizard = self.start_setup()
        seen = self.run_install(wizard)
        self.assertEqual(updater.wait(timeout=60), TERMINATED)
        self.assertIsNone(namesake.poll())
        self.assertProgressLines(seen["text2"], self.staged)
        self.finish(wizard)

    def test_a_file_that_cannot_be_replaced_stops_the_installation(self):
        # An earlier installation whose program file someone holds open.
        install = self.install_folder()
        install.unix_dir.mkdir(parents=True)
        (install.unix_dir / PROGRAM_EXE).write_bytes(b"MZ old")
        holder, _ = self.session.start_helper("holdfile", DEFAULT_INSTALL_DIR + "\\" + PROGRAM_EXE)
        wizard = self.start_setup()
        wizard.click(START_BUTTON)
        wizard.answer(CONFIRM_START)
        box = wizard.wait_box(timeout=60)
        # The file by name and the system's reason, never the thanks.
        self.assertTrue(box["text"].startswith(COPY_FAILED + PROGRAM_EXE + ": "), box)
        self.assertGreater(len(box["text"]), len(COPY_FAILED + PROGRAM_EXE + ": "), box)
        self.assertNotIn(COMPLETE, box["text"])
        self.session.helper("click", box["buttons"][ID_OK])
        wait_for("the progress box to say why", lambda: wizard.text2() == box["text"], timeout=30)
        # The wizard stays to be tried again; nothing was started or opened.
        self.assertTrue(wizard.running())
        self.assertNotIn(PROGRAM_EXE.lower(), self.session.running_images())
        self.assertEqual(len(opened_urls()), self.urls_before)
        self.assertFalse(install.setting_ini.exists())

        # Let go of, the file is replaced by a second try.
        self.session.stop_helper(holder)
        seen = self.run_install(wizard)
        self.assertProgressLines(seen["text2"], self.staged)
        self.assertInstalled(install)
        self.finish(wizard)
        self.assertEqual(wizard.boxes_seen, [CONFIRM_START, box["text"], CONFIRM_START, THANKS])

    def test_a_locator_file_on_a_stick_offers_no_folder(self):
        # A stick that says where the program lives, as anybody may write.
        stick = self.session.work_dir / "stick-locator"
        if stick.exists():
            shutil.rmtree(stick)
        (stick / "autorun.inf").mkdir(parents=True)
        (stick / "autorun.inf" / "Quillmoor.ini").write_bytes(b"[Setting]\r\nInstallDir=E:\\Evil\r\n")
        self.session.define_drive("e", stick, "removable")
        self.addCleanup(self.session.remove_drive, "e")
        wizard = self.start_setup()
        self.assertEqual(wizard.text1(), DEFAULT_INSTALL_DIR + "\\")
        wizard.click(CANCEL_BUTTON)
        wizard.answer(LEAVE_WIZARD)
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())


class CancelTests(SetupTestCase):
    def assertCancelWhileWaitingStops(self, cancel: Callable[[Wizard], None]) -> None:
        """Cancel while the installer waits for a program of this user's
        named Quillmoor.exe that runs from another folder and knows no quit
        request: the installer asks it (it cannot hear) and never ends it."""
        other = self.start_stand_in(harness.TOOLS_DIR + "\\elsewhere", PROGRAM_EXE)
        # The folder to install to, before that program's own.
        self.write_locator(DEFAULT_INSTALL_DIR)
        wizard = self.start_setup()
        self.assertEqual(wizard.text1(), DEFAULT_INSTALL_DIR + "\\")
        wizard.click(START_BUTTON)
        wizard.answer(CONFIRM_START)
        wait_for("the wait for Quillmoor.exe", lambda: WAIT_TRAY in wizard.text2(), timeout=60, interval=0.1)

        cancel(wizard)
        wizard.answer(CANCEL_INSTALL)
        # Any further box would keep the installer from ending.
        self.assertEqual(wizard.wait_exit(), 0, wizard.stderr())
        self.assertEqual(wizard.boxes_seen, [CONFIRM_START, CANCEL_INSTALL])

        install = self.install_folder()
        self.assertEqual([p.name for p in install.unix_dir.iterdir()] if install.unix_dir.exists() else [], [])
        self.assertIsNone(other.poll(), "a program of another folder is never ended")
        self.assertEqual(len(opened_urls()), self.urls_before)

    def test_cancel_during_installation_asks_once_and_stops(self):
        self.assertCancelWhileWaitingStops(lambda wizard: wizard.click(CANCEL_BUTTON))

    def test_escape_during_installation_asks_once_and_stops(self):
        # The keys reach the window through the installer's own message pump.
        self.assertCancelWhileWaitingStops(lambda wizard: self.session.keys(wizard.wait_form()["hwnd"], "esc"))


class SilentInstallTests(SetupTestCase):
    def silent(self, *args: str, typed: bool = False) -> tuple[int, str, str]:
        """setup.exe with these arguments; its exit code, output and errors.
        Wine quotes an argument that holds a blank; typed, the command line
        goes through the command interpreter as a user would type it."""
        setup = DIST_DIR + "\\" + SETUP_EXE
        command = ["cmd.exe", "/c", " ".join((setup, *args))] if typed else [setup, *args]
        result = self.session.run(command, check=False, timeout=180)
        return (result.returncode, result.stdout.decode("gbk", "replace"),
                result.stderr.decode("gbk", "replace"))

    def test_silent_install_into_a_folder_with_blanks_starts_and_writes_nothing_for_the_user(self):
        shutil.rmtree(self.session.unix_path(SILENT_FOLDER), ignore_errors=True)
        # As typed: the rest of the line after /D=, blanks and all, no quotes.
        code, out, err = self.silent("/S", "/D=" + SILENT_FOLDER, typed=True)
        self.assertEqual((code, err), (SILENT_DONE, ""), out)
        self.assertEqual(out, f"安装完成: {SILENT_FOLDER}\\\r\n")
        install = self.install_folder(SILENT_FOLDER)
        self.assertInstalled(install)
        self.assertEqual(install.setting("Setting", "AutoStartup"), "1")
        self.assertEqual(install.setting("Setting", "DisableAutoPlayService"), "0")
        # Nothing started or opened, nothing written for the user.
        self.assertNotIn(PROGRAM_EXE.lower(), self.session.running_images())
        self.assertEqual(len(opened_urls()), self.urls_before)
        self.assertIsNone(self.session.reg_get(RUN_KEY, RUN_VALUE))
        self.assertFalse(self.session.unix_path(DEFAULT_INSTALL_DIR).exists())

        # A caller that quotes every argument holding a blank gets the same.
        shutil.rmtree(install.unix_dir)
        self.assertEqual(self.silent("/s", "/D=" + SILENT_FOLDER)[0], SILENT_DONE)
        self.assertInstalled(install)

    def test_silent_install_stops_a_running_tray_program_and_installs_into_its_folder(self):
        old = self.session.fresh_install(r"C:\Tools\Quillmoor")
        program = old.start()
        program.wait_window()
        old.wait_log(LOG_VERSION)
        code, out, err = self.silent("/S")
        self.assertEqual((code, err), (SILENT_DONE, ""), out)
        self.assertEqual(program.wait_exit(), 0, "the program must end by the quit request, not be killed")
        self.assertEqual(old.log_texts()[-2:], [LOG_INSTALLER_QUIT, LOG_QUIT])
        self.assertInstalled(old)
        self.assertNotIn(PROGRAM_EXE.lower(), self.session.running_images())
        self.assertFalse(self.session.unix_path(DEFAULT_INSTALL_DIR).exists())

    def test_silent_install_refuses_what_the_wizard_refuses(self):
        for args, expected in (((r"/D=C:\程序\Quillmoor",), SILENT_FOLDER_REFUSED),
                               ((r"/D=Programs\Quillmoor",), SILENT_FOLDER_REFUSED),
                               ((r"/D=\\server\share\Quillmoor",), SILENT_FOLDER_REFUSED),
                               (("/X",), SILENT_USAGE),
                               (("/D=",), SILENT_USAGE)):
            code, out, err = self.silent("/S", *args)
            self.assertEqual((code, out), (expected, ""), (args, err))
            self.assertTrue(err, args)
        self.assertFalse(self.session.unix_path("C:\\").joinpath("程序").exists())
        self.assertFalse(self.session.unix_path(DEFAULT_INSTALL_DIR).exists())



class UninstallTests(SetupTestCase):
    def entry(self, name: str):
        """A value of Quillmoor's entry among the installed programs, where
        the system lists 32-bit programs."""
        return self.session.reg_get(UNINSTALL_KEY, name, view32=True)

    def test_the_registered_quiet_uninstall_removes_the_programs_and_their_records_and_keeps_the_settings(self):
        install = self.install_silently()
        self.assertEqual(self.entry("DisplayName"), "Quillmoor")
        self.assertEqual(self.entry("InstallLocation"), SILENT_FOLDER)
        self.assertEqual(self.entry("NoModify"), 1)
        self.assertGreater(self.entry("EstimatedSize"), 0)
        quiet = self.entry("QuietUninstallString")
        self.assertEqual(quiet, f'"{SILENT_FOLDER}\\{SETUP_EXE}" /uninstall /S')

        # The program runs as after its first start: it writes its locator
        # file and its Run value.
        program = install.start()
        program.wait_window()
        install.wait_started()
        locator = self.session.unix_path(LOCATOR_FILE)
        self.assertEqual(harness.ini_value(locator, "Setting", "InstallDir"), SILENT_FOLDER + "\\")
        self.assertEqual(self.session.reg_get(RUN_KEY, RUN_VALUE), f'"{install.exe}"')

        # Run as the system runs a registered command line.
        result = self.session.helper_run("runline", quiet, check=False, timeout=180)
        said = (result.stdout + result.stderr).decode("gbk", "replace")
        self.assertEqual(result.returncode, UNINSTALL_DONE, said)
        self.assertEqual(program.wait_exit(), 0, "the program must end by the quit request, not be killed")
        self.assertEqual(install.log_texts()[-2:], [LOG_INSTALLER_QUIT, LOG_QUIT])
        for name in self.staged:
            self.assertFalse(install.path(name).exists(), name)
        self.assertFalse(locator.exists())
        self.assertIsNone(self.session.reg_get(RUN_KEY, RUN_VALUE))
        self.assertIsNone(self.entry("DisplayName"))
        # The user's settings and log stay, and their folder with them.
        self.assertTrue(install.setting_ini.exists())
        self.assertTrue(install.log_file.exists())
        self.assertEqual(sorted(p.name for p in install.unix_dir.iterdir()), ["Setting.ini", "log.txt"])
        self.assertIn(UNINSTALLED + SILENT_FOLDER + "\\", said)
        self.assertIn(KEPT_SETTINGS + SILENT_FOLDER + "\\", said)

    def test_the_question_asks_once_cancels_with_escape_and_purged_leaves_no_folder(self):
        install = self.install_silently()
        setup = SILENT_FOLDER + "\\" + SETUP_EXE
        question = self.start_setup("/uninstall", program=setup, kind=UninstallWindow)
        window = question.wait_form()
        self.assertEqual(window["caption"], UNINSTALL_CAPTION)
        statics = [c["text"] for c in window["children"] if c["class"].lower() == "static" and c["text"]]
        self.assertIn(SILENT_FOLDER + "\\", statics[0])
        self.assertTrue(any("autorun.inf" in text for text in statics), statics)
        box = question.control(PURGE_BOX, window)
        self.assertEqual(box["check"], 0)
        # Esc leaves with nothing removed.
        wait_for("the keyboard on the uninstall button",
                 lambda: (self.session.focus(window["hwnd"]) or {}).get("text") == UNINSTALL_BUTTON)
        self.session.keys(window["hwnd"], "esc")
        self.assertEqual(question.wait_exit(), UNINSTALL_CANCELLED, question.stderr())
        self.assertTrue(install.path(PROGRAM_EXE).exists())
        self.assertEqual(self.entry("DisplayName"), "Quillmoor")

        # Again: the box ticked from the keyboard, the access key pressed.
        question = self.start_setup("/uninstall", program=setup, kind=UninstallWindow)
        window = question.wait_form()
        self.save_screenshot(window)
        self.session.keys(window["hwnd"], "shift+tab")
        wait_for("the keyboard on the check box",
                 lambda: (self.session.focus(window["hwnd"]) or {}).get("text") == PURGE_BOX)
        self.session.keys(window["hwnd"], "space")
        wait_for("the box ticked", lambda: question.control(PURGE_BOX)["check"] == BST_CHECKED)
        self.session.keys(window["hwnd"], "alt+u")
        question.answer(UNINSTALLED + SILENT_FOLDER + "\\")
        self.assertEqual(question.wait_exit(), UNINSTALL_DONE, question.stderr())
        self.assertEqual(question.boxes_seen, [UNINSTALLED + SILENT_FOLDER + "\\"])
        self.assertFalse(install.unix_dir.exists())
        self.assertIsNone(self.entry("DisplayName"))

    def save_screenshot(self, window: dict) -> None:
        """A picture of the question for the documentation (copied to docs/)."""
        if shutil.which("import") and shutil.which("convert"):
            self.session.send(window["hwnd"], harness.WM_NULL)
            self.session.screenshot_around(self.session.logs_dir / "setup-uninstall.png", window["rect"], margin=8)


if __name__ == "__main__":
    unittest.main()
