#!/usr/bin/env python3
"""Whether this machine's Wine runs 32-bit Windows programs.

    python3 tests/e2e/probe_wine32.py <a 32-bit console program> [--timeout 120]

Runs the program (qmhelper.exe of the i686 build: "qmhelper acp" prints the
code pages) in a new 32-bit prefix with the 32-bit loader, and prints one
line saying what happened. Exit code 0 when it printed its answer. Some
machines cannot run 32-bit Linux programs at all ("Exec format error"), or
lack Wine's 32-bit loader; the time-out stops a start that hangs.
"""

from __future__ import annotations

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import WINE32, WINE_BUILDS  # noqa: E402


def probe(program: Path, timeout: float) -> tuple[bool, str]:
    if not Path(WINE32).exists():
        return False, f"no 32-bit Wine loader ({WINE32})"
    with tempfile.TemporaryDirectory(prefix="qm-wine32-probe-") as folder:
        env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "LC_")) and k != "DISPLAY"}
        env.update(WINEPREFIX=str(Path(folder) / "prefix"), WINEARCH="win32", WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=", LANG="C.UTF-8")
        out_path = Path(folder) / "out.txt"
        try:
            # Output to a file: Wine's background processes would hold a pipe.
            with open(out_path, "wb") as out:
                result = subprocess.run([WINE32, str(program), "acp"], env=env, stdout=out,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=timeout)
            said = out_path.read_bytes().decode("utf-8", "replace").strip()
            answer = said.splitlines()[-1].split() if said else []
            if result.returncode == 0 and answer and answer[0].isdigit():
                return True, f"a 32-bit program ran in a 32-bit prefix (code page {answer[0]})"
            return False, f"a 32-bit program failed in a 32-bit prefix (exit code {result.returncode}: " \
                          f"{said[-200:] or 'no output'})"
        except subprocess.TimeoutExpired:
            return False, f"a 32-bit program did not finish within {timeout:g} s"
        except OSError as error:
            return False, f"the 32-bit Wine loader does not start here ({error.strerror})"
        finally:
            # The prefix's server and system processes go with it.
            for server in [s for s in WINE_BUILDS[0x014C].wineservers if "/" in s and Path(s).exists()][:1]:
                for flag, limit in (("-k", 30), ("-w", 60)):
                    try:
                        subprocess.run([server, flag], env=env, capture_output=True, timeout=limit, check=False)
                    except (OSError, subprocess.TimeoutExpired):
                        pass
            shutil.rmtree(Path(folder) / "prefix", ignore_errors=True)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program", type=Path, help="a 32-bit Windows console program (qmhelper.exe)")
    parser.add_argument("--timeout", type=float, default=120, help="seconds for the prefix and the run")
    args = parser.parse_args()
    works, why = probe(args.program.resolve(), args.timeout)
    print(why, flush=True)
    return 0 if works else 1


if __name__ == "__main__":
    sys.exit(main())
