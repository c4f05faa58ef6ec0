"""Wine session for the end-to-end tests of Quillmoor.exe.

One WineSession serves a whole test run: it starts an Xvfb display, builds a
Wine prefix of the programs' width under the build folder (once; a pristine
copy is kept for a reset), configures it (virtual desktop with a taskbar, no
Z: drive, a dummy hardware-detection service, no crash debugger), keeps the
wineserver alive and takes everything down again at the end, also when a
test fails.

Each test asks for a fresh install folder (Install) and starts the program from
it (Program). Waits poll a condition until a deadline; nothing sleeps blindly.

Only the Python standard library is used.
"""

from __future__ import annotations

import atexit
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Iterable, Optional, TypeVar

HERE = Path(__file__).resolve().parent
SOURCE_ROOT = HERE.parent.parent

WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"


@dataclass(frozen=True)
class WineBuild:
    """One width of the Windows programs and the Wine that runs them."""

    name: str  # the CMake build it comes from, as the summary names it
    machine: str
    loader: str
    arch: str  # WINEARCH of its prefix
    wineservers: tuple[str, ...]

    def describe(self) -> str:
        return f"{self.name} ({self.machine}, {self.arch} prefix)"


# By the machine field of the programs' PE header.
WINE_BUILDS = {
    0x014C: WineBuild("win32", "i686", WINE32, "win32",
                      ("/usr/lib/wine/wineserver32", "/usr/lib/wine/wineserver", "wineserver")),
    0x8664: WineBuild("win64", "x86_64", WINE64, "win64",
                      ("/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver", "wineserver")),
}

PROGRAM_EXE = "Quillmoor.exe"
PROGRAM_IMAGE = PROGRAM_EXE.lower()
DEFAULT_INSTALL_DIR = r"C:\Program Files\Quillmoor"
TOOLS_DIR = r"C:\qmtools"
LOCATOR_FILE = r"C:\windows\system32\Quillmoor.ini"

RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Quillmoor"
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
SERVICE_NAME = "ShellHWDetection"

MAIN_WINDOW_CAPTION_PREFIX = "Quillmoor v"
# Start-up logs the version, and from then on handles every message.
LOG_VERSION_PREFIX = "当前版本: v"
LOG_VERSION_PREFIX_ENGLISH = "Version: v"
# How the update check of every start-up can end, in either language.
LOG_UPDATE_OUTCOMES = ("更新失败:无法连接到更新服务器", "当前是最新版本,无需更新", "检测到新版本 v",
                       "Update failed: cannot reach the update server", "Already the latest version",
                       "New version v")

# The locale every Wine process of a session runs in, and the ANSI code page
# (as Python names it) that it gives Wine: Chinese for every suite but the
# English one.
DESIGN_LOCALE = "zh_CN.UTF-8"
LOCALE_CODE_PAGES = {"zh_CN.UTF-8": "gbk", "en_US.UTF-8": "cp1252"}

QUIT_REQUEST_MSG = 1025
QUIT_REQUEST_CODE = 1001
WM_NULL = 0

DESKTOP_SIZE = (1024, 600)
DESIGN_DPI = 96
# Where Wine reads the system dpi from (with the wineserver restarted).
DPI_KEYS = (r"HKCU\Control Panel\Desktop",
            r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts")

# Beside the program of a test build: the bus of each drive letter a test
# declares, one "<letter> <bus>" per line.
DECLARED_BUSES_FILE = "qm-test-buses.txt"

# Drive types understood by Wine's mount manager.
DRIVE_TYPES = {"removable": 2, "cdrom": 5}

T = TypeVar("T")


class E2EError(Exception):
    """Something in the test environment (not in the program) went wrong."""


class WaitTimeout(AssertionError):
    """A condition did not come true before its deadline.

    An AssertionError, so that unittest reports it as a test failure."""


def wait_for(what: str, predicate: Callable[[], T], timeout: float = 60.0, interval: float = 0.05) -> T:
    """Polls predicate until it returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise WaitTimeout(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def program_version_text() -> str:
    """The version text the program shows: major.minor.revision of its file
    version, taken from the project version in the root CMakeLists.txt."""
    text = (SOURCE_ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\s*\(\s*Quillmoor\s+VERSION\s+(\d+)\.(\d+)\.(\d+)\.(\d+)", text)
    if not match:
        raise E2EError("cannot find the project version in CMakeLists.txt")
    major, minor, _build, revision = match.groups()
    return f"{int(major)}.{int(minor)}.{int(revision)}"


# ------------------------------------------------------------------ INI and log files


def decode_text_file(data: bytes) -> str:
    """Decodes an INI or log file the way the profile functions read it: a
    UTF-16 or UTF-8 byte-order mark wins, otherwise the ANSI code page 936."""
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le", errors="replace")
    if data.startswith(b"\xfe\xff"):
        return data[2:].decode("utf-16-be", errors="replace")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", errors="replace")
    return data.decode(ansi_encoding(), errors="replace")


def parse_ini(text: str) -> dict[str, dict[str, str]]:
    """Sections and keys in lower case; the first occurrence of a key wins,
    as with GetPrivateProfileString."""
    sections: dict[str, dict[str, str]] = {}
    current: Optional[dict[str, str]] = None
    for raw in re.split(r"\r\n|\n|\r", text):
        line = raw.strip()
        if line.startswith("["):
            end = line.find("]")
            name = (line[1:end] if end > 0 else line[1:]).strip().lower()
            current = sections.setdefault(name, {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current.setdefault(key.strip().lower(), value.strip())
    return sections


def read_ini_file(path: Path) -> dict[str, dict[str, str]]:
    try:
        return parse_ini(decode_text_file(path.read_bytes()))
    except FileNotFoundError:
        return {}


def ini_value(path: Path, section: str, key: str) -> Optional[str]:
    return read_ini_file(path).get(section.lower(), {}).get(key.lower())


@dataclass(frozen=True)
class LogLine:
    stamp: str
    text: str


def read_log(path: Path) -> list[LogLine]:
    """Complete lines of log.txt ("<date> <time>\\t<text>\\r\\n"), ANSI text.
    A line still being written (no line end yet) is left out."""
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return []
    text = data.decode(ansi_encoding(), errors="replace")
    lines = text.split("\r\n")
    lines.pop()  # the part after the last line end: empty or incomplete
    out = []
    for line in lines:
        stamp, sep, rest = line.partition("\t")
        out.append(LogLine(stamp, rest) if sep else LogLine("", line))
    return out


# ------------------------------------------------------------------ the session


def _find_wineserver(candidates: Iterable[str]) -> str:
    for candidate in candidates:
        path = shutil.which(candidate) if "/" not in candidate else candidate
        if path and os.path.exists(path):
            return path
    raise E2EError("wineserver not found")


def program_build(program: Path) -> WineBuild:
    """The build a Windows program comes from, read from its PE header."""
    try:
        with open(program, "rb") as file:
            head = file.read(4096)
    except OSError as error:
        raise E2EError(f"cannot read {program}: {error}") from None
    at = int.from_bytes(head[0x3C:0x40], "little") if head[:2] == b"MZ" else -1
    if at < 0 or head[at:at + 4] != b"PE\0\0":
        raise E2EError(f"{program} is not a Windows program")
    machine = int.from_bytes(head[at + 4:at + 6], "little")
    if machine not in WINE_BUILDS:
        raise E2EError(f"{program}: no Wine here for machine type {machine:#x}")
    return WINE_BUILDS[machine]


class WineSession:
    def __init__(self, bin_dir: Path, work_dir: Optional[Path] = None, verbose: bool = False,
                 keep_pristine: bool = True, keep_prefix: bool = True):
        self.bin_dir = Path(bin_dir).resolve()
        self.work_dir = Path(work_dir).resolve() if work_dir else self.bin_dir.parent / "e2e"
        self.prefix = self.work_dir / "prefix"
        self.pristine = self.work_dir / "prefix.pristine"
        self.logs_dir = self.work_dir / "logs"
        self.verbose = verbose
        self.dpi = DESIGN_DPI
        self.locale = DESIGN_LOCALE
        self.keep_pristine = keep_pristine
        self.keep_prefix = keep_prefix
        # The helper tools are built with the programs, so they tell the width.
        self.build = program_build(self.bin_dir / "qmhelper.exe")
        self.wine = self.build.loader
        self.wineserver = _find_wineserver(self.build.wineservers)
        self.display: Optional[str] = None
        self._xvfb: Optional[subprocess.Popen] = None
        self._programs: list["Program"] = []
        self._started_programs = 0
        self._helpers: list[subprocess.Popen] = []
        self._desktop_keeper: Optional[subprocess.Popen] = None
        self._helper_outputs: dict[int, Path] = {}
        self._started = False
        self._closed = False
        self._drives: set[str] = set()
        self._letters_changed = 0.0
        self._read_only: list[Path] = []
        self.read_only_folders_work = False
        # Bound and never listening: a port that refuses every connection
        # for as long as the session runs, and that nothing else can take.
        self._closed_port = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._closed_port.bind(("127.0.0.1", 0))

    # ---- life cycle

    def start(self) -> "WineSession":
        if not Path(self.wine).exists():
            raise E2EError(f"{self.wine} not found (install Wine for {self.build.machine} programs)")
        for tool in ("qmhelper.exe", "qmsvc.exe"):
            if not (self.bin_dir / tool).exists():
                raise E2EError(f"{self.bin_dir / tool} not found: build the test preset first")
        atexit.register(self.close)
        self._started = True
        self.work_dir.mkdir(parents=True, exist_ok=True)
        shutil.rmtree(self.work_dir / "program", ignore_errors=True)
        # Suites that run only the helper tools (transfer) need no program.
        if (self.bin_dir / PROGRAM_EXE).exists():
            self.program_copy()
        shutil.rmtree(self.logs_dir, ignore_errors=True)
        self.logs_dir.mkdir(parents=True)
        self._start_xvfb()
        self._create_prefix()
        return self

    def close(self) -> None:
        if self._closed or not self._started:
            return
        self._closed = True
        # Each step on its own: one that fails must not leave the rest running.
        steps = [lambda letter=letter: self.remove_drive(letter) for letter in sorted(self._drives)]
        steps += [self._stop_server, self._end_unix_processes, self._stop_xvfb, self._restore_permissions,
                  # The prefix normally stays for a look after the run; its
                  # copy is of use only within the run.
                  lambda: shutil.rmtree(self.pristine, ignore_errors=True), self._closed_port.close]
        if not self.keep_prefix:
            steps.append(lambda: shutil.rmtree(self.prefix, ignore_errors=True))
        for step in steps:
            try:
                step()
            except Exception as error:  # noqa: BLE001 - best effort clean-up
                print(f"[e2e] clean-up step failed: {error}", flush=True)

    def _end_unix_processes(self) -> None:
        for proc in self._helpers + [p.popen for p in self._programs]:
            if proc.poll() is None:
                proc.kill()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    pass

    def _stop_xvfb(self) -> None:
        if self._xvfb is not None and self._xvfb.poll() is None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait(timeout=5)
        (self.work_dir / "xvfb.pid").unlink(missing_ok=True)

    def _stop_stale_xvfb(self) -> None:
        """Ends the Xvfb of an earlier run of this work folder that was killed
        before it could clean up (its process id is kept in xvfb.pid)."""
        pid_file = self.work_dir / "xvfb.pid"
        try:
            pid = int(pid_file.read_text())
            cmdline = Path(f"/proc/{pid}/cmdline").read_bytes()
        except (OSError, ValueError):
            pid_file.unlink(missing_ok=True)
            return
        if cmdline.startswith(b"Xvfb\0"):
            os.kill(pid, signal.SIGTERM)
        pid_file.unlink(missing_ok=True)

    def __enter__(self) -> "WineSession":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.close()

    @property
    def ansi(self) -> str:
        """The ANSI code page of the session's locale, as Python names it."""
        return LOCALE_CODE_PAGES[self.locale]

    def log(self, message: str) -> None:
        if self.verbose:
            print(f"[e2e] {message}", flush=True)

    def _start_xvfb(self) -> None:
        self._stop_stale_xvfb()
        width, height = DESKTOP_SIZE
        for number in range(91, 131):
            if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            read_fd, write_fd = os.pipe()
            proc = subprocess.Popen(
                ["Xvfb", f":{number}", "-nolisten", "tcp", "-screen", "0", f"{width}x{height}x24",
                 "-displayfd", str(write_fd)],
                pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True)
            os.close(write_fd)
            ready = b""
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline and proc.poll() is None:
                readable, _, _ = select.select([read_fd], [], [], 0.2)
                if readable:
                    chunk = os.read(read_fd, 64)
                    if not chunk:
                        break
                    ready += chunk
                    if b"\n" in ready:
                        break
            os.close(read_fd)
            if ready.strip() and proc.poll() is None:
                self._xvfb = proc
                self.display = f":{number}"
                (self.work_dir / "xvfb.pid").write_text(str(proc.pid))
                self.log(f"Xvfb on {self.display}")
                return
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        raise E2EError("could not start Xvfb on any display from :91 to :130")

    # ---- environment and running Wine programs

    def env(self, wine_errors: bool = False) -> dict[str, str]:
        """The environment of every Wine process of the session; with
        wine_errors, Wine's own error messages are kept (on stderr)."""
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE", "WINEARCH", "WINELOADER")}
        # Every Wine process runs in the session's locale (code page 936
        # unless a suite chose another). Wine rewrites the user's regional
        # settings whenever a process starts in another locale, so
        # housekeeping runs in the same one and its output is decoded so.
        env.update(
            LANG=self.locale,
            WINEARCH=self.build.arch,
            WINEPREFIX=str(self.prefix),
            WINEDEBUG="-all,err+all" if wine_errors else "-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",
            DISPLAY=self.display or "",
        )
        return env

    def _drive_c(self) -> Path:
        return self.prefix / "drive_c"

    def run(self, args: list[str], timeout: float = 60, check: bool = True) -> subprocess.CompletedProcess:
        """Runs a Wine program to its end, once; stdout and stderr as bytes.
        Wine's own errors go to its stderr, so that a program that Wine could
        not start says why."""
        cwd = self._drive_c() if self._drive_c().exists() else self.work_dir
        # Output goes to files, not pipes: Wine's system processes (services,
        # the desktop's explorer) may be started by this process and inherit
        # its handles, and a pipe would then stay open for the whole run.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.run([self.wine, *args], env=self.env(wine_errors=True), cwd=cwd, stdout=out,
                                  stderr=err, stdin=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())
        if check and result.returncode != 0:
            said = (result.stdout + result.stderr).decode(self.ansi, "replace").strip()
            raise E2EError(f"{' '.join(args)} failed ({result.returncode}): {said or 'no output'}")
        return result

    def helper_run(self, *args: object, timeout: float = 90, check: bool = True) -> subprocess.CompletedProcess:
        command = [self.tool_path("qmhelper.exe"), *map(str, args)]
        return self.run(command, timeout=timeout, check=check)

    def helper(self, *args: object, timeout: float = 90) -> str:
        """Runs one qmhelper command and returns its output (UTF-8)."""
        return self.helper_run(*args, timeout=timeout).stdout.decode("utf-8", "replace")

    def helper_json(self, *args: object, timeout: float = 90) -> list[dict]:
        return [json.loads(line) for line in self.helper(*args, timeout=timeout).splitlines() if line.strip()]

    def tool_path(self, name: str) -> str:
        """Windows path of a helper tool inside the prefix."""
        return TOOLS_DIR + "\\" + name

    def unix_path(self, windows_path: str) -> Path:
        """Maps a path on drive C: of the prefix to its Unix location."""
        match = re.match(r"^[cC]:\\?(.*)$", windows_path)
        if not match:
            raise E2EError(f"only paths on C: are mapped: {windows_path}")
        parts = [p for p in match.group(1).split("\\") if p]
        path = self._drive_c()
        for part in parts:
            # Wine matches file names without regard to case.
            candidate = path / part
            if not candidate.exists() and path.is_dir():
                for entry in path.iterdir():
                    if entry.name.lower() == part.lower():
                        candidate = entry
                        break
            path = candidate
        return path

    # ---- the prefix

    def _create_prefix(self) -> None:
        self._stop_server()
        for folder in (self.prefix, self.pristine):
            shutil.rmtree(folder, ignore_errors=True)
        started = time.monotonic()
        # A lasting server from the start: without it every Wine command would
        # start and stop the whole Wine system (several seconds each).
        self.prefix.mkdir(parents=True)
        self._start_server()
        result = self.run(["wineboot", "-i"], timeout=300, check=False)
        if not (self._drive_c() / "windows" / "system32").is_dir():
            raise E2EError("wineboot did not create the prefix: "
                           + result.stderr.decode("utf-8", "replace"))
        # wineboot leaves two instances of Wine's system processes behind (two
        # service managers, which then disagree about services): start afresh.
        self._stop_server()
        self._start_server()
        self.log(f"prefix created in {time.monotonic() - started:.1f} s")

        tools = self._drive_c() / "qmtools"
        tools.mkdir(exist_ok=True)
        for name in ("qmhelper.exe", "qmsvc.exe", "qmminwin.exe", "qmfetch.exe"):
            if (self.bin_dir / name).exists():
                shutil.copy2(self.bin_dir / name, tools / name)

        # Wine's own virtual desktop: title bars, a taskbar and a notification
        # area, shared by every process of the run.
        self.reg_add(r"HKCU\Software\Wine\Explorer", "Desktop", "shell")
        self.reg_add(r"HKCU\Software\Wine\Explorer\Desktops", "shell", "%dx%d" % DESKTOP_SIZE)
        # A crashing program should end at once with its exception code; the
        # stock debugger hangs on this kind of kernel.
        self.reg_add(r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "0", "REG_DWORD")
        self.reg_add(r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug", "Debugger",
                     r"C:\windows\system32\cmd.exe /c exit %ld %ld")
        # No program under test reaches the network: every request except
        # those to this machine goes to a proxy on a closed loopback port and
        # fails at once. Above all, the update check that every start-up runs
        # against the default server ends at once instead of when a name
        # lookup of the machine running the tests gives up.
        self.reg_add(INTERNET_SETTINGS, "ProxyEnable", "1", "REG_DWORD")
        self.route_internet_to(None)
        self.reg_add(INTERNET_SETTINGS, "ProxyOverride", "127.0.0.1;localhost;<local>")
        # The program treats every ready drive as its own: Z: (the Linux root)
        # must go before it ever runs.
        self.helper("undefdrive", "z")
        roots = [drive["root"] for drive in self.helper_json("drives")]
        if roots != ["C:\\"] or (self.prefix / "dosdevices" / "z:").exists():
            raise E2EError(f"the prefix should have drive C: alone, it has {roots}")
        # The system's hardware detection service does not exist in Wine.
        self.run(["sc.exe", "create", SERVICE_NAME, "binPath=", self.tool_path("qmsvc.exe"),
                  "type=", "own", "start=", "demand"])
        self.set_service_start_value(3)
        self.read_only_folders_work = self._probe_read_only_folder()
        if self.dpi != DESIGN_DPI:
            self._write_dpi()

        if self.keep_pristine:
            # Keep the configured state for reset_prefix(). The server writes
            # the registry files when it is stopped.
            self._stop_server()
            subprocess.run(["cp", "-a", "--reflink=auto", str(self.prefix), str(self.pristine)], check=True)
            self._start_server()
        self.ensure_desktop()
        self.log(f"prefix ready in {time.monotonic() - started:.1f} s")

    def route_internet_to(self, port: Optional[int]) -> None:
        """Where requests to other machines go, for programs started from
        now on: the proxy at that loopback port, or with None the closed
        port, where they fail at once."""
        port = port or self._closed_port.getsockname()[1]
        self.reg_add(INTERNET_SETTINGS, "ProxyServer", f"127.0.0.1:{port}")

    def _write_dpi(self) -> None:
        for key in DPI_KEYS:
            self.reg_add(key, "LogPixels", str(self.dpi), "REG_DWORD")

    def set_dpi(self, dpi: int) -> None:
        """The system dpi of every program started from now on; the
        wineserver and the desktop start afresh for it."""
        if dpi == self.dpi:
            return
        self.end_started()
        self.dpi = dpi
        self._write_dpi()
        self._stop_server()
        self._start_server()
        self.ensure_desktop()

    def ensure_desktop(self) -> None:
        """The desktop's shell with its notification area, up before any
        program under test adds its tray icon and kept up for the rest of the
        session, as on a real desktop. Wine closes a desktop, shell and all, a
        second after its last program has gone; the next program would start
        a new shell, whose "TaskbarCreated" reaches the program under test at
        a moment no test chose (and rebuilds its tray, drive table and menu
        just then)."""
        # Every caller has just started the server, whose stop ended any keeper.
        self._desktop_keeper, _ = self.start_helper("waittray", 60000, "keep", session_long=True)

    def reset_prefix(self) -> None:
        """Puts back the prefix as it was right after set-up."""
        if not self.pristine.exists():
            raise E2EError("no pristine copy of the prefix was kept")
        self.end_started()
        self._stop_server()
        self._restore_permissions()
        shutil.rmtree(self.prefix, ignore_errors=True)
        subprocess.run(["cp", "-a", "--reflink=auto", str(self.pristine), str(self.prefix)], check=True)
        self._drives.clear()
        self._start_server()
        self.ensure_desktop()

    def _start_server(self) -> None:
        # Wine opens files inside the server process. Run as root, it would
        # ignore Unix permissions; without the override capabilities a folder
        # made read-only with chmod behaves like one Windows cannot write.
        command = [self.wineserver, "-p"]
        if os.geteuid() == 0 and shutil.which("setpriv"):
            command = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--", *command]
        subprocess.run(command, env=self.env(), check=True, timeout=30)

    def _stop_server(self) -> None:
        if not self.prefix.exists():
            return
        env = self.env()
        subprocess.run([self.wineserver, "-k"], env=env, capture_output=True, timeout=30)
        subprocess.run([self.wineserver, "-w"], env=env, capture_output=True, timeout=60)
        if self._desktop_keeper is not None:
            # Ended with the server: the next desktop gets a keeper of its own.
            self.stop_helper(self._desktop_keeper)
            self._desktop_keeper = None

    def _probe_read_only_folder(self) -> bool:
        probe = self._drive_c() / "qmprobe"
        probe.mkdir()
        self.make_read_only(probe)
        try:
            result = self.helper_run("writefile", r"C:\qmprobe\x.txt", "x", check=False)
            return result.returncode != 0 and not (probe / "x.txt").exists()
        finally:
            self._restore_permissions()
            shutil.rmtree(probe)

    def make_read_only(self, path: Path) -> None:
        """chmod 555, which Wine programs of this session are held to when
        read_only_folders_work is True."""
        path.chmod(0o555)
        self._read_only.append(path)

    def _restore_permissions(self) -> None:
        for path in self._read_only:
            try:
                path.chmod(0o755)
            except OSError:
                pass
        self._read_only.clear()

    # ---- registry

    def reg_add(self, key: str, name: str, data: str, kind: str = "REG_SZ") -> None:
        self.run(["reg.exe", "add", key, "/v", name, "/t", kind, "/d", data, "/f"])

    def reg_delete(self, key: str, name: str) -> None:
        """Deletes a value; a missing value is fine."""
        self.run(["reg.exe", "delete", key, "/v", name, "/f"], check=False)

    def reg_get(self, key: str, name: str, view32: bool = False):
        """A registry value (int for REG_DWORD, str for strings, hex text
        otherwise), or None when it does not exist. The 64-bit view, or with
        view32 the one 32-bit programs see."""
        result = self.helper_run("regget", key, name, *(["32"] if view32 else []), check=False)
        if result.returncode == 2:
            return None
        if result.returncode != 0:
            raise E2EError(f"regget {key} {name} failed: {result.stderr.decode('utf-8', 'replace')}")
        return json.loads(result.stdout.decode("utf-8"))["data"]

    # ---- the dummy hardware-detection service

    def service_status(self) -> dict:
        return self.helper_json("svc", SERVICE_NAME, "query")[0]

    def service_start_type(self) -> int:
        """The start type in the service manager's own record, which is
        what it acts on until the next boot."""
        return self.service_status()["start_type"]

    def set_service_start_value(self, start: int) -> None:
        # Through the service manager, which writes the registry itself: a
        # value written into the registry alone would leave the manager's
        # record as it was.
        self.helper("svc", SERVICE_NAME, "config", start)

    def reset_service(self, running: bool = False, start: int = 3) -> None:
        # A disabled service cannot be started: startable first.
        self.set_service_start_value(3)
        self.helper("svc", SERVICE_NAME, "start" if running else "stop", 10000)
        self.set_service_start_value(start)

    def wait_service_state(self, state: str, timeout: float = 60) -> None:
        wait_for(f"service {SERVICE_NAME} {state}",
                 lambda: self.service_status()["state"] == state, timeout=timeout, interval=0.2)

    # ---- drives

    def define_drive(self, letter: str, unix_dir: Path, kind: str = "removable") -> None:
        letter = letter.lower()
        self.helper("defdrive", letter, DRIVE_TYPES[kind], str(Path(unix_dir).resolve()))
        self._drives.add(letter)
        self._letters_changed = time.time()

    def remove_drive(self, letter: str) -> None:
        letter = letter.lower()
        self.helper("undefdrive", letter)
        self._drives.discard(letter)
        self._letters_changed = time.time()

    def wait_letters_known(self) -> None:
        """Waits until every running program maps files back to drive letters
        as they are now. Each Wine process re-reads its table of letters on
        its first look in a new second, so a letter defined in the second of
        a program's last look is not yet in it: the program then names a file
        on it by its Unix path (such as "\\\\?\\unix\\..."), not by the letter."""
        time.sleep(max(0.0, int(self._letters_changed) + 1.05 - time.time()))

    def device_change(self, event: str, letter: str, target: object = "broadcast") -> None:
        self.helper("devchange", target, event, letter)

    def attributes(self, windows_path: str) -> str:
        """The attribute letters (A, S, H, R) that Windows' attrib shows for a
        file or folder, sorted; "" for none."""
        result = self.run(["attrib.exe", windows_path], check=False)
        text = result.stdout.decode(self.ansi, "replace")
        wanted = windows_path.rstrip("\\").lower()
        for line in text.splitlines():
            line = line.rstrip()
            if line.lower().endswith(wanted):
                return "".join(sorted(line[:-len(wanted)].replace(" ", "")))
        raise E2EError(f"attrib {windows_path} listed nothing: {text.strip()!r}")

    # ---- windows and messages

    def send(self, hwnd: int, msg: int, wparam: int = 0, lparam: int = 0,
             timeout: float = 90) -> Optional[int]:
        """SendMessageTimeout; the result, or None when the call failed (the
        reason is printed)."""
        result = self.helper_run("send", hwnd, msg, wparam, lparam, timeout=timeout, check=False)
        if result.returncode == 0:
            return int(result.stdout.decode().strip())
        print(f"[e2e] send {hwnd} {msg} {wparam} {lparam} failed: "
              f"{(result.stderr or b'').decode('utf-8', 'replace').strip()}", flush=True)
        return None

    def answers(self, hwnd: int) -> bool:
        return self.send(hwnd, WM_NULL) is not None

    def post(self, hwnd: int, msg: int, wparam: int = 0, lparam: int = 0, count: int = 1) -> None:
        """PostMessage; with a count, that many copies from one process, all
        queued before the window handles the first."""
        if count == 1:
            self.helper("post", hwnd, msg, wparam, lparam)
        else:
            self.helper("postrepeat", hwnd, msg, wparam, lparam, count)

    def click_label(self, hwnd: int) -> None:
        """A left click on a static control that reports clicks (SS_NOTIFY):
        press and release posted to it."""
        self.helper("clicklabel", hwnd)

    def mouse(self, hwnd: int, *steps: str) -> None:
        """Real mouse input, step by step: "over" (the pointer to the
        middle of the window), "away" (beside its top-level window),
        "press", "release"."""
        self.helper("mouse", hwnd, *steps)

    def keys(self, hwnd: int, *chords: str) -> None:
        """Brings the window's top-level window to the front and types the
        chords ("tab", "shift+tab", "enter", "esc", "alt+r", ...)."""
        self.helper("keys", hwnd, *chords)

    def focus(self, hwnd: int) -> Optional[dict]:
        """The control that has the keyboard in the window's thread."""
        output = self.helper("focus", hwnd).strip()
        return None if output == "null" else json.loads(output)

    def read_popup_menu(self, process: str, timeout: float = 30, keep_open: bool = False,
                        pick: Optional[int] = None, open_at: Optional[int] = None) -> list[dict]:
        """Waits for the popup menu of a process, returns its items and closes
        every menu of the process unless keep_open. Instead of closing it,
        pick chooses the top-level item with that id by the keyboard, and
        open_at opens the submenu at that top-level position and leaves both
        open. Each item: text, id (-1 for a submenu), separator, checked,
        grayed, and for a submenu its items."""
        extra = (["keep"] if keep_open else ["pick", pick] if pick is not None
                 else ["open", open_at] if open_at is not None else [])
        return json.loads(self.helper("menu", process, int(timeout * 1000), *extra, timeout=timeout + 30))

    def windows_of(self, process: str) -> list[dict]:
        return self.helper_json("windows", process)

    def tray_icon(self, hwnd: int, icon_id: int = 1) -> bool:
        """Whether the notification area holds the icon that the window
        added under that id."""
        return self.helper("trayicon", hwnd, icon_id).strip() == "1"

    def broadcast(self, name: str) -> None:
        self.helper("broadcast", name)

    def processes(self) -> list[dict]:
        return self.helper_json("proclist")

    def running_images(self) -> list[str]:
        return [p["exe"].lower() for p in self.processes()]

    def kill_image(self, image: str) -> None:
        self.helper("kill", image)

    def screenshot(self, path: Path) -> None:
        subprocess.run(["import", "-window", "root", "-display", self.display or "", str(path)],
                       check=True, timeout=60, capture_output=True)

    def screenshot_around(self, path: Path, rect: Iterable[int], margin: int = 24) -> None:
        """A screenshot cut down to rect (left, top, right, bottom) and a
        margin around it, kept within the screen."""
        left, top, right, bottom = rect
        width, height = DESKTOP_SIZE
        left, top = max(0, left - margin), max(0, top - margin)
        right, bottom = min(width, right + margin), min(height, bottom + margin)
        with tempfile.TemporaryDirectory() as folder:
            full = Path(folder) / "screen.png"
            self.screenshot(full)
            subprocess.run(["convert", str(full), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                            "+repage", str(path)], check=True, timeout=60, capture_output=True)

    def work_area(self) -> tuple[int, int, int, int]:
        """The desktop less the taskbar, as (left, top, right, bottom): what
        programs get as their work area on the virtual desktop."""
        width, height = DESKTOP_SIZE
        bars = [w["rect"] for w in self.windows_of("explorer.exe")
                if w["class"] == "Shell_TrayWnd" and w["visible"]]
        if len(bars) != 1:
            raise E2EError(f"expected one visible taskbar, found {len(bars)}")
        left, top, right, bottom = bars[0]
        if (left, right) == (0, width) and bottom == height:
            return 0, 0, width, top
        if (left, right) == (0, width) and top == 0:
            return 0, bottom, width, height
        if (top, bottom) == (0, height) and left == 0:
            return right, 0, width, height
        if (top, bottom) == (0, height) and right == width:
            return 0, 0, left, height
        raise E2EError(f"the taskbar {bars[0]} lies along no edge of the desktop")

    # ---- per-test state

    def end_started(self) -> None:
        """Ends the programs and helpers that this session started."""
        for program in self._programs:
            program.kill()
        self._programs.clear()
        for helper in self._helpers:
            self.stop_helper(helper)
        self._helpers.clear()

    def reset_program_state(self) -> None:
        """No program running, no Run value, no locator file, no drive
        letters of earlier tests, no marks left on drive C:."""
        self.end_started()
        self.kill_image(PROGRAM_EXE)  # started some other way, or by a test gone wrong
        for drive in sorted(self._drives):
            self.remove_drive(drive)
        self.reg_delete(RUN_KEY, RUN_VALUE)
        self.unix_path(LOCATOR_FILE).unlink(missing_ok=True)
        autorun = self._drive_c() / "autorun.inf"
        if autorun.is_dir() and not autorun.is_symlink():
            shutil.rmtree(autorun, ignore_errors=True)
        else:
            autorun.unlink(missing_ok=True)

    def fresh_install(self, windows_dir: str = DEFAULT_INSTALL_DIR, with_program: bool = True) -> "Install":
        """Deletes and recreates an install folder holding a copy of the program."""
        install = Install(self, windows_dir.rstrip("\\"))
        self._restore_permissions()
        if install.unix_dir.exists():
            shutil.rmtree(install.unix_dir)
        install.unix_dir.mkdir(parents=True)
        if with_program:
            shutil.copy2(self.program_copy(), install.unix_dir / PROGRAM_EXE)
        return install

    def program_copy(self) -> Path:
        """The program under test, copied once per run: a rebuild during the
        run must not change it, nor a half-written file be installed."""
        copy = self.work_dir / "program" / PROGRAM_EXE
        if not copy.exists():
            source = self.bin_dir / PROGRAM_EXE
            if not source.exists():
                raise E2EError(f"{source} not found: build the test preset first")
            copy.parent.mkdir(parents=True, exist_ok=True)
            data = b""
            for _ in range(50):
                data = source.read_bytes()
                time.sleep(0.1)
                if data[:2] == b"MZ" and source.stat().st_size == len(data):
                    break
            else:
                raise E2EError(f"{source} is not a complete Windows program")
            copy.write_bytes(data)
        return copy

    def start_helper(self, *args: object, session_long: bool = False) -> tuple[subprocess.Popen, str]:
        """Starts a long-running qmhelper command (holdfile, fullscreen) and
        returns it with its first output line, once that has appeared. It
        ends with the test that started it, or with the Wine server when
        session_long."""
        out_path = self.logs_dir / f"helper-{len(self._helper_outputs)}-{args[0]}.out"
        err_path = out_path.with_suffix(".err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.Popen([self.wine, self.tool_path("qmhelper.exe"), *map(str, args)],
                                    env=self.env(wine_errors=True), cwd=self._drive_c(), stdout=out, stderr=err)
        if not session_long:
            self._helpers.append(proc)
        self._helper_outputs[proc.pid] = out_path

        def first_line() -> Optional[str]:
            text = out_path.read_bytes().decode("utf-8", "replace")
            if proc.poll() is not None:
                said = (text + err_path.read_bytes().decode("utf-8", "replace")).strip()
                raise E2EError(f"qmhelper {args[0]} ended early ({proc.returncode}): {said or 'no output'}")
            return text.splitlines()[0] if "\n" in text else None

        line = wait_for(f"qmhelper {args[0]} to start", first_line, timeout=90)
        return proc, line

    def helper_output(self, proc: subprocess.Popen) -> list[str]:
        """Every line a long-running qmhelper command has written so far."""
        return self._helper_outputs[proc.pid].read_bytes().decode("utf-8", "replace").splitlines()

    def stop_helper(self, proc: subprocess.Popen) -> None:
        if proc.poll() is None:
            proc.kill()
            proc.wait(timeout=10)


class Install:
    """An install folder of the program in the prefix."""

    def __init__(self, session: WineSession, windows_dir: str):
        self.session = session
        self.windows_dir = windows_dir
        self.unix_dir = session.unix_path(windows_dir)

    @property
    def exe(self) -> str:
        return self.windows_dir + "\\" + PROGRAM_EXE

    @property
    def setting_ini(self) -> Path:
        return self.unix_dir / "Setting.ini"

    @property
    def log_file(self) -> Path:
        return self.unix_dir / "log.txt"

    @property
    def disk_ini(self) -> Path:
        return self.unix_dir / "Disk.ini"

    def path(self, name: str) -> Path:
        return self.unix_dir / name

    def setting(self, section: str, key: str) -> Optional[str]:
        return ini_value(self.setting_ini, section, key)

    def write_settings(self, data: bytes) -> None:
        self.setting_ini.write_bytes(data)

    def declare_buses(self, buses: dict[str, str]) -> None:
        """Gives drive letters a bus (USB, ATA, ATAPI, SCSI) that Wine cannot
        give them; the program reads it at every refresh. Every other letter
        keeps what Wine answers (SCSI)."""
        lines = "".join(f"{letter.upper()} {bus}\r\n" for letter, bus in sorted(buses.items()))
        self.path(DECLARED_BUSES_FILE).write_bytes(lines.encode("ascii"))

    def log_lines(self) -> list[LogLine]:
        return read_log(self.log_file)

    def log_texts(self) -> list[str]:
        return [line.text for line in self.log_lines()]

    def log_count(self, text: str) -> int:
        return self.log_texts().count(text)

    def wait_log(self, text: str, count: int = 1, timeout: float = 60) -> list[str]:
        return wait_for(f"{count} log line(s) {text!r}",
                        lambda: (t := self.log_texts()).count(text) >= count and t, timeout=timeout)

    def wait_started(self, timeout: float = 60) -> None:
        """Start-up over, its update check included: the version line, after
        which the program handles every message, and the check's outcome,
        which would otherwise land in the log at any moment of a test."""
        version = program_version_text()
        wait_for("the version line", lambda: any(
            text in (LOG_VERSION_PREFIX + version, LOG_VERSION_PREFIX_ENGLISH + version)
            for text in self.log_texts()), timeout=timeout)
        wait_for("the start-up update check to end",
                 lambda: any(text.startswith(LOG_UPDATE_OUTCOMES) for text in self.log_texts()), timeout=timeout)

    def saved_hwnd(self) -> Optional[int]:
        value = self.setting("HWND", "Value")
        try:
            return int(value) if value is not None else None
        except ValueError:
            return None

    def start(self, wine_trace: str = "") -> "Program":
        """Starts the program from this folder; wine_trace adds Wine debug
        channels (such as "fixme+setupapi") to what its stderr file gets."""
        session = self.session
        session._started_programs += 1
        index = session._started_programs
        stderr_path = session.logs_dir / f"program-{index}.stderr"
        command = [session.wine, self.exe]
        err = open(stderr_path, "wb")
        # The working folder is C:\, not the install folder, so that a path
        # taken relative to the working folder shows up as a fault.
        env = session.env()
        # Wine's own error reports land in the program's stderr file, for the
        # rare start that fails before the program runs.
        env["WINEDEBUG"] = "-all,err+all" + ("," + wine_trace if wine_trace else "")
        popen = subprocess.Popen(command, env=env, cwd=session._drive_c(),
                                 stdout=subprocess.DEVNULL, stderr=err, stdin=subprocess.DEVNULL)
        err.close()
        program = Program(self, popen, stderr_path)
        session._programs.append(program)
        return program


class Program:
    """A running (or ended) Quillmoor.exe."""

    def __init__(self, install: Install, popen: subprocess.Popen, stderr_path: Path):
        self.install = install
        self.session = install.session
        self.popen = popen
        self.stderr_path = stderr_path
        self.hwnd: Optional[int] = None

    def running(self) -> bool:
        return self.popen.poll() is None

    def stderr(self) -> str:
        try:
            return self.stderr_path.read_bytes().decode("utf-8", "replace")
        except FileNotFoundError:
            return ""

    def wait_exit(self, timeout: float = 60) -> int:
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise WaitTimeout(f"the program did not exit within {timeout:g} s") from None

    def kill(self) -> None:
        if self.popen.poll() is None:
            self.popen.kill()
            try:
                self.popen.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass

    def _candidate_hwnds(self) -> Iterable[int]:
        saved = self.install.saved_hwnd()
        if saved is not None:
            yield saved
        locator = ini_value(self.session.unix_path(LOCATOR_FILE), "Setting", "HWND")
        if locator and re.fullmatch(r"-?\d+", locator):
            yield int(locator)

    def find_window(self, saved_only: bool = True) -> Optional[int]:
        """The main window: the handle the program saved (Setting.ini, or the
        locator file), provided it is a live window of a running
        Quillmoor.exe. Without saved_only, when nothing could be saved, the
        program's hidden window whose caption is the program's title."""
        if not self.running():
            raise AssertionError(f"the program ended early with code {self.popen.returncode}: {self.stderr()}")
        candidates = list(self._candidate_hwnds())
        if saved_only and not candidates:
            return None
        windows = self.session.windows_of(PROGRAM_EXE)
        live = {w["hwnd"] for w in windows}
        for hwnd in candidates:
            if hwnd in live:
                return hwnd
        if saved_only:
            return None
        titled = [w["hwnd"] for w in windows
                  if not w["visible"] and w["caption"].startswith(MAIN_WINDOW_CAPTION_PREFIX)]
        return min(titled) if titled else None

    def wait_window(self, timeout: float = 60, saved_only: bool = True) -> int:
        self.hwnd = wait_for("the program's main window", lambda: self.find_window(saved_only),
                             timeout=timeout, interval=0.1)
        return self.hwnd

    def window_info(self) -> Optional[dict]:
        for window in self.session.windows_of(PROGRAM_EXE):
            if window["hwnd"] == self.hwnd:
                return window
        return None

    def quit(self, timeout: float = 60) -> int:
        """The installer's quit request, sent once; returns the exit code.

        While the program rebuilds its drive table (at start-up too) it does
        not handle its messages and a request is lost, as for the real
        installer: send it once start-up has finished."""
        if self.hwnd is None:
            self.wait_window()
        self.session.send(self.hwnd, QUIT_REQUEST_MSG, QUIT_REQUEST_CODE, 0)
        return self.wait_exit(timeout)


# ------------------------------------------------------------------ one session per run

_shared: Optional[WineSession] = None
_shared_options: dict = {}


def configure(bin_dir: Path, work_dir: Optional[Path] = None, verbose: bool = False) -> None:
    """Sets where the programs are; called by run_e2e.py before the tests load."""
    _shared_options.update(bin_dir=Path(bin_dir), work_dir=work_dir, verbose=verbose)


_session_dpi = DESIGN_DPI
_session_locale = DESIGN_LOCALE


def use_locale(locale: str) -> None:
    """The locale of the run's session, before it starts (a suite's
    setUpModule): a prefix keeps the regional settings it was made with."""
    global _session_locale
    if _shared is not None and _shared.locale != locale:
        raise E2EError(f"the session already runs in {_shared.locale}")
    _session_locale = locale


def ansi_encoding() -> str:
    """The ANSI code page of the run's session, as Python names it."""
    return LOCALE_CODE_PAGES[_shared.locale if _shared is not None else _session_locale]


def use_dpi(dpi: int) -> None:
    """The system dpi of the run's session from now on: set in the prefix it
    is made with, or in the running one."""
    global _session_dpi
    _session_dpi = dpi
    if _shared is not None:
        _shared.set_dpi(dpi)


def shared_session() -> WineSession:
    """The session of this run, started on first use. Without configure(),
    the programs come from $QM_E2E_BIN_DIR or build/win64/bin."""
    global _shared
    if _shared is None:
        options = dict(_shared_options)
        options.setdefault("bin_dir", Path(os.environ.get("QM_E2E_BIN_DIR", SOURCE_ROOT / "build/win64/bin")))
        session = WineSession(**options)
        session.dpi = _session_dpi
        session.locale = _session_locale
        try:
            session.start()
        except BaseException:
            session.close()
            raise
        _shared = session
    return _shared


def remove_prefixes(work_dir: Path) -> None:
    """Removes the prefix of a finished run (and its pristine copy, if a
    clean-up left one) from work_dir; the logs stay."""
    for name in ("prefix", "prefix.pristine"):
        folder = work_dir / name
        if folder.exists():
            # A test may have left a folder read-only; what it holds must go too.
            subprocess.run(["chmod", "-R", "u+rwX", str(folder)], check=False)
            shutil.rmtree(folder, ignore_errors=True)
            if folder.exists():
                print(f"[e2e] could not remove {folder}", flush=True)


def close_shared_session() -> None:
    global _shared
    if _shared is not None:
        _shared.close()
        _shared = None
