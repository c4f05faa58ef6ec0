"""What the Wine benchmarks share: where the harness lives, their command
line (the programs of --bin-dir, by default the shipped 32-bit build, which
runs where this machine's Wine can run 32-bit programs; build/win64/bin
elsewhere) and the session they run in.

Not part of ctest: tests never time.
"""

from __future__ import annotations

import argparse
import json
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import WineSession  # noqa: E402


def arguments(doc: str, work_name: str) -> argparse.ArgumentParser:
    """The options every Wine benchmark takes; a script adds its own."""
    parser = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin-dir", type=Path, default=ROOT / "build/win32/bin",
                        help="the programs (default: the shipped 32-bit build)")
    parser.add_argument("--work-dir", type=Path, help=f"prefix and logs (default: <bin-dir>/../{work_name})")
    parser.set_defaults(work_name=work_name)
    return parser


def session(args: argparse.Namespace) -> WineSession:
    """A Wine session for the programs of --bin-dir, its prefix thrown away
    at the end; session.build says which Wine ran them."""
    work_dir = args.work_dir or args.bin_dir.resolve().parent / args.work_name
    return WineSession(args.bin_dir, work_dir=work_dir, keep_pristine=False, keep_prefix=False)


def timed(session: WineSession, *args: object) -> dict:
    """A timing command of qmhelper (sendtimed, clicktimed, drivescan) and
    its JSON answer."""
    return json.loads(session.helper(*args, timeout=600))
