#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Runs inside the terminal under test: `flood.py DATA RESULT MARKER-LENGTH`.

Waits until the terminal answers a first cursor-position request (it is up
and parsing), lets it settle, then times `cat DATA` into the terminal followed
by a marker line of MARKER-LENGTH characters and a cursor-position request
(ESC [ 6 n). A terminal answers only after it has parsed every byte before
the request, and the reply's column must be MARKER-LENGTH + 1: proof that the
marker, and so everything before it, was parsed. Writes one line to RESULT:
    start=<CLOCK_MONOTONIC s> seconds=<elapsed> row=<r> col=<c> expect=<col>
    ppid=<the terminal> cpu=<its CPU s meanwhile> xcpu=<the X server's>
or `error=<why>`. CPU times are those of all threads, from schedstat, and
-1 where there is no such process (BENCH_XVFB_PID names the X server).
"""
import os
import re
import select
import subprocess
import sys
import termios
import time

REPLY = re.compile(rb"\x1b\[(\d+);(\d+)R")


def ask_position(timeout):
    """Sends ESC [ 6 n and returns (row, col), or None after `timeout` s."""
    os.write(1, b"\x1b[6n")
    deadline = time.monotonic() + timeout
    received = b""
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([0], [], [], left)
        if ready:
            chunk = os.read(0, 64)
            if not chunk:
                return None
            received += chunk
            match = REPLY.search(received)
            if match:
                return int(match.group(1)), int(match.group(2))


def cpu_seconds(pid):
    """CPU time of all threads of a process, or -1."""
    total = 0.0
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as stat:
                total += int(stat.read().split()[0]) / 1e9
    except (OSError, ValueError, IndexError):
        return -1.0
    return total


def main():
    data, result, length = sys.argv[1], sys.argv[2], int(sys.argv[3])
    saved = termios.tcgetattr(0)
    quiet = termios.tcgetattr(0)
    # No echo, no line editing on input; output keeps its usual processing
    # (newline becomes CR LF), as for any program run in a terminal.
    quiet[3] &= ~(termios.ICANON | termios.ECHO)
    quiet[6][termios.VMIN] = 1
    quiet[6][termios.VTIME] = 0
    termios.tcsetattr(0, termios.TCSANOW, quiet)
    outcome = "error=no first reply"
    try:
        if ask_position(30) is not None:
            time.sleep(0.5)
            termios.tcflush(0, termios.TCIFLUSH)
            marker = b"\x1b[0m\r\n" + b"#" * length
            terminal = os.getppid()
            xvfb = int(os.environ.get("BENCH_XVFB_PID", "0"))
            cpu0, xcpu0 = cpu_seconds(terminal), cpu_seconds(xvfb)
            start = time.monotonic()
            subprocess.run(["cat", data], check=True)
            os.write(1, marker)
            position = ask_position(120)
            elapsed = time.monotonic() - start
            cpu, xcpu = cpu_seconds(terminal) - cpu0, cpu_seconds(xvfb) - xcpu0
            if position is None:
                outcome = "error=no reply after the data"
            else:
                outcome = ("start=%.6f seconds=%.6f row=%d col=%d expect=%d "
                           "ppid=%d cpu=%.6f xcpu=%.6f") % (
                    start, elapsed, position[0], position[1], length + 1,
                    terminal, cpu, xcpu)
    finally:
        termios.tcsetattr(0, termios.TCSANOW, saved)
        with open(result, "w") as out:
            out.write(outcome + "\n")


if __name__ == "__main__":
    main()
