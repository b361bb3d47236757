#!/usr/bin/env python3
"""Starts the window program RUNS times on the current X display and reports, for each start,
the time from launching the process to the window manager mapping its frame, and the process's
peak resident memory and CPU time. The window is closed with Escape once shown; the program must then end with
exit code 0.

    startup_probe.py PROGRAM [RUNS]

Mapping is seen through xev on the root window (SubstructureNotify), so nothing in the program
is instrumented. The first start warms the page cache and is reported on its own.
"""
import os
import queue
import statistics
import subprocess
import sys
import threading
import time


def watch_root(lines):
    xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                           stdout=subprocess.PIPE, text=True)

    def pump():
        for line in xev.stdout:
            lines.put((time.monotonic(), line))

    threading.Thread(target=pump, daemon=True).start()
    return xev


def drain(lines):
    while True:
        try:
            lines.get_nowait()
        except queue.Empty:
            return


def one_start(program, lines, env):
    drain(lines)
    started = time.monotonic()
    child = subprocess.Popen([program], env=env, stderr=subprocess.DEVNULL)
    shown = None
    deadline = started + 20
    while shown is None and time.monotonic() < deadline:
        try:
            when, line = lines.get(timeout=0.5)
        except queue.Empty:
            continue
        if line.startswith("MapNotify event"):
            shown = when
    if shown is None:
        child.kill()
        child.wait()
        raise SystemExit("the window did not appear within 20 s")
    # Let it settle and paint, then close it as a user would.
    time.sleep(0.3)
    subprocess.run(["xdotool", "key", "Escape"], check=True)
    try:
        _, status, usage = os.wait4(child.pid, 0)
    except ChildProcessError:
        raise SystemExit("lost the program's process")
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise SystemExit(f"the program ended with {child.returncode}, not 0")
    return (shown - started) * 1000, usage.ru_maxrss / 1024, (usage.ru_utime + usage.ru_stime) * 1000


def main():
    program = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    lines = queue.Queue()
    xev = watch_root(lines)
    time.sleep(0.3)  # xev selects its input before the first start
    env = dict(os.environ)
    try:
        first_ms, first_rss, _ = one_start(program, lines, env)
        results = [one_start(program, lines, env) for _ in range(runs)]
    finally:
        xev.kill()
    times = sorted(result[0] for result in results)
    peaks = sorted(result[1] for result in results)
    cpu = sorted(result[2] for result in results)
    print(f"first start (cache warming): {first_ms:.0f} ms to window shown, peak RSS {first_rss:.1f} MiB")
    print(f"start to window shown over {runs} starts: median {statistics.median(times):.0f} ms, "
          f"min {times[0]:.0f} ms, max {times[-1]:.0f} ms (goal: 300 ms or less)")
    print(f"peak RSS: median {statistics.median(peaks):.1f} MiB, max {peaks[-1]:.1f} MiB")
    print(f"CPU time of a whole run (start, show, close): median {statistics.median(cpu):.0f} ms "
          f"(the part of the start that does not depend on the machine's load)")


if __name__ == "__main__":
    main()
