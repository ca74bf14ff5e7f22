#!/usr/bin/env python3
"""Runs inside the terminal under test: `flood.py DATA RESULT MARKER-LENGTH`.

Waits until the terminal answers a first cursor-position request (it is up
and parsing), lets it settle, then times `cat DATA` into the terminal followed
by a marker line of MARKER-LENGTH characters and a cursor-position request
(ESC [ 6 n). A terminal answers only after it has parsed every byte before
the request, and the reply's column must be MARKER-LENGTH + 1: proof that the
marker, and so everything before it, was parsed. Writes one line to RESULT:
    start=<CLOCK_MONOTONIC s> seconds=<elapsed> row=<r> col=<c> expect=<col>
or `error=<why>`.
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
            start = time.monotonic()
            subprocess.run(["cat", data], check=True)
            os.write(1, marker)
            position = ask_position(120)
            elapsed = time.monotonic() - start
            if position is None:
                outcome = "error=no reply after the data"
            else:
                outcome = "start=%.6f seconds=%.6f row=%d col=%d expect=%d" % (
                    start, elapsed, position[0], position[1], length + 1)
    finally:
        termios.tcsetattr(0, termios.TCSANOW, saved)
        with open(result, "w") as out:
            out.write(outcome + "\n")


if __name__ == "__main__":
    main()
