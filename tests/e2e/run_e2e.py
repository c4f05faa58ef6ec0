#!/usr/bin/env python3
"""Runs the Wine end-to-end tests against the programs of one build.

    python3 tests/e2e/run_e2e.py --bin-dir build/win32-test/bin [-v] [-k PATTERN] [--suite startup]

The programs' width (i686 or x86_64, read from them) chooses the Wine
loader and the prefix. The first and the last line of the output name the
build and why it was chosen ($QM_E2E_WHY, which ./scripts/test sets from its
probe of 32-bit Wine). Exits with 0 only when every test passed. ctest calls
it (tests e2e_<suite>).
"""

from __future__ import annotations

import argparse
import json
import os
import signal
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402


class TimedResult(unittest.TextTestResult):
    """Shows how long each test took, to keep an eye on the run's length."""

    def startTest(self, test):
        self._test_started = time.monotonic()
        super().startTest(test)

    def _write_status(self, test, status):
        # A failing module or class set-up reports without a test having started.
        started = getattr(self, "_test_started", None)
        if started is not None:
            status = f"{status} ({time.monotonic() - started:.1f} s)"
        super()._write_status(test, status)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin-dir", required=True, type=Path,
                        help="folder with Quillmoor.exe, qmhelper.exe, qmsvc.exe (a test build)")
    parser.add_argument("--work-dir", type=Path, help="prefix and logs (default: <bin-dir>/../e2e)")
    parser.add_argument("--suite", action="append",
                        help="test module name without test_ (default: startup); may be repeated")
    parser.add_argument("-k", dest="patterns", action="append", help="only tests matching this substring")
    parser.add_argument("-v", "--verbose", action="store_true", help="report session steps")
    args = parser.parse_args()

    # A run stopped from outside (ctest's time-out, a CI job cancelled) must
    # still take Wine and Xvfb down. unittest passes KeyboardInterrupt on
    # instead of recording it as a test error.
    def interrupt(*_):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, interrupt)

    build = harness.program_build(args.bin_dir / "qmhelper.exe")
    tested = f"the {build.describe()} build: {os.environ.get('QM_E2E_WHY') or 'the one --bin-dir names'}"
    print(f"e2e: testing {tested}", flush=True)
    harness.configure(args.bin_dir, args.work_dir, verbose=args.verbose)
    loader = unittest.TestLoader()
    if args.patterns:
        loader.testNamePatterns = [f"*{p}*" for p in args.patterns]
    suite = unittest.TestSuite()
    for name in args.suite or ["startup"]:
        suite.addTests(loader.loadTestsFromName(f"test_{name}"))

    started = time.monotonic()
    try:
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout, resultclass=TimedResult).run(suite)
    except KeyboardInterrupt:
        print("e2e: interrupted", flush=True)
        return 130
    finally:
        harness.close_shared_session()
    work_dir = harness._shared_options.get('work_dir') or args.bin_dir.parent / 'e2e'
    if result.wasSuccessful() and not os.environ.get("QM_E2E_KEEP_PREFIX"):
        # A prefix is some 600 MB and a whole run makes a dozen: only a
        # failed suite's is worth its room, for a look afterwards.
        harness.remove_prefixes(Path(work_dir))
    skipped = len(result.skipped)
    print(f"e2e: {result.testsRun} tests, {skipped} skipped, in {time.monotonic() - started:.1f} s "
          f"(Wine prefix and logs under {work_dir}); tested {tested}")
    # The counts for ./scripts/test's summary.
    Path(work_dir).mkdir(parents=True, exist_ok=True)
    (Path(work_dir) / "result.json").write_text(json.dumps(
        {"tests": result.testsRun, "skipped": skipped, "failures": len(result.failures),
         "errors": len(result.errors)}))
    ok = result.wasSuccessful() and result.testsRun > skipped
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
