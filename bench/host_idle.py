#!/usr/bin/env python3
"""Processor time of a recording station host with nothing to record.

Starts build/<kind>/bin/station_host on a pseudo-terminal that stays silent,
with a parameter table of 512 parameters, lets it settle for 3 s, then
measures for SECONDS (default 10) the processor time all its threads spend
(from the scheduler's own counts, in nanoseconds) and prints it per second
of recording, and "ratio": that time over the 1 ms per second a waiting
host may spend (at most 1 is the goal). The whole run's user and system
time, start and stop included, follow for reference.

The anchor, measured over the same seconds: a process that does nothing
but wake once a second (the host's cycle is once a second), the least any
waiting host costs on this machine. On a virtual machine a wake-up alone
may cost half a millisecond of accounted time; "over_floor" is the host's
time beyond that anchor's.

    bench/host_idle.py [BUILD_DIR] [SECONDS]
"""

import glob
import select
import signal
import os
import struct
import sys
import tempfile
import time


def text(s):
    return s.encode("cp1251") + b"\0"


def table_bytes(count):
    out = bytearray()
    for i in range(count):
        out += text("Параметр %d" % i) + text("п%d" % i) + text("ед") + text("параметр_станции_%d" % i)
        out += struct.pack("<iffffiB", i % 32, 100.0, 0.0, 0.0, 100.0, 1 + i % 60, 0)
    out += b"\n\0"
    for i in range(count):
        out += struct.pack("<ii", i, 2) + struct.pack("<dddd", 0.0, 0.0, 2.5, 100.0)
    return bytes(out)


def run_ns(pid):
    total = 0
    for path in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            with open(path) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build", "normal")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    host = os.path.join(build, "bin", "station_host")
    if not os.access(host, os.X_OK):
        sys.exit("no %s: build first" % host)
    with tempfile.TemporaryDirectory(prefix="host_idle.") as tmp:
        station = os.path.join(tmp, "station")
        os.makedirs(station)
        with open(os.path.join(station, "params.tbl"), "wb") as f:
            f.write(table_bytes(512))
        master, slave = os.openpty()
        try:
            started = time.monotonic()
            pid = os.fork()
            if pid == 0:
                devnull = os.open(os.devnull, os.O_WRONLY)
                os.dup2(devnull, 1)
                os.dup2(devnull, 2)
                os.execv(host, [host, "--port", os.ttyname(slave), "--well", os.path.join(tmp, "well"),
                                "--station", station, "--seconds", str(seconds + 5)])
            sleeper = os.fork()
            if sleeper == 0:
                try:
                    while True:
                        select.select([], [], [], 1.0)
                finally:
                    os._exit(0)
            time.sleep(3)
            first, floor_first, t0 = run_ns(pid), run_ns(sleeper), time.monotonic()
            time.sleep(seconds)
            spent, floor_spent, measured = run_ns(pid) - first, run_ns(sleeper) - floor_first, time.monotonic() - t0
            os.kill(sleeper, signal.SIGKILL)
            os.waitpid(sleeper, 0)
            _, status, usage = os.wait4(pid, 0)
            wall = time.monotonic() - started
        finally:
            os.close(master)
            os.close(slave)
    per_second = spent / 1e6 / measured
    print("station_host, silent port, 512 parameters: %.1f s, exit %d" % (wall, os.waitstatus_to_exitcode(status)))
    print("whole run: user %.1f ms, system %.1f ms" % (usage.ru_utime * 1000.0, usage.ru_stime * 1000.0))
    print("cpu_ms_per_s=%.3f over %.1f s" % (per_second, measured))
    floor = floor_spent / 1e6 / measured
    print("floor_ms_per_s=%.3f (a process that only wakes once a second)" % floor)
    print("over_floor_ms_per_s=%.3f" % (per_second - floor))
    print("ratio=%.3f" % (per_second / 1.0))


if __name__ == "__main__":
    main()
