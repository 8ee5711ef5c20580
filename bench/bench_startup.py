#!/usr/bin/env python3
"""Start-up cost of the built program: the time from starting the process to its main window
being mapped on an X server of its own, and the peak resident memory once it stands.

    python3 bench/bench_startup.py BUILD/program [RUNS]

The program is started from a fresh copy of its folder each run and closed with its close box.
Goals on the reference machine: under 250 ms and under 60 MiB.
"""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from run_e2e import Dahdit  # noqa: E402


def vm_hwm_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def one_run(app):
    started = time.monotonic()
    app.proc = subprocess.Popen([app.path("dahdit")], cwd=app.folder, env=app.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    while True:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Dahdit$"], env=app.env,
                             capture_output=True, text=True).stdout.split()
        if out:
            shown = time.monotonic() - started
            break
        if app.proc.poll() is not None or time.monotonic() - started > 20:
            raise SystemExit("the main window did not appear")
    peak = vm_hwm_kib(app.proc.pid)
    app.main = int(out[0])
    app.end()
    return shown * 1000.0, peak / 1024.0


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    runs = int(argv[2]) if len(argv) > 2 else 20
    with Dahdit(argv[1]) as app:
        one_run(app)  # the first run fills the file cache; it is not counted
        times, peaks = [], []
        for _ in range(runs):
            shown, peak = one_run(app)
            times.append(shown)
            peaks.append(peak)
    print("start-up to main window shown, %d runs: median %.0f ms, min %.0f ms, max %.0f ms" %
          (runs, statistics.median(times), min(times), max(times)))
    print("peak resident memory (VmHWM) once shown: median %.1f MiB, max %.1f MiB" %
          (statistics.median(peaks), max(peaks)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
