#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Runs inside brackenfold as its command: floods the terminal with coloured
text and hostile escape sequences while making brackenfold reload its
configuration, then checks that it still answers and measures its memory.

Usage: stress-child.py RESULT_FILE CONFIG_FILE MEGABYTES RELOADS

The terminal is the program's parent process. Results go to RESULT_FILE as
key=value lines.
"""
import os
import select
import signal
import socket
import sys
import time
import tty

MB = 1 << 20


def rss_kib(pid, field="VmRSS"):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"no {field} for {pid}")


def write_all(data):
    view = memoryview(data)
    while view:
        written = os.write(1, view)
        view = view[written:]


def cursor_position(timeout):
    """Asks for the cursor position; the terminal answers only once it has
    parsed everything written before the question."""
    write_all(b"\033[6n")
    reply = b""
    deadline = time.monotonic() + timeout
    while not reply.endswith(b"R"):
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([0], [], [], left)
        if ready:
            reply += os.read(0, 64)
    start = reply.rfind(b"\033[")
    return reply[start + 2:-1].decode()


def coloured_text():
    lines = []
    for i in range(400):
        lines.append(
            f"\033[1;3{i % 8}m{i:5} bold \033[0;4{(i + 3) % 8}m on colour "
            f"\033[38;5;{i % 256}m256-colour \033[38;2;{i % 256};{(i * 7) % 256};"
            f"{(i * 13) % 256}mtruecolour\033[0m plain https://example.com/{i}?q=a&b=c "
            f"\u00e9\u4e2d\U0001f600\r\n")
    return "".join(lines).encode()


def hostile_sequences(host):
    huge = b"a" * 100_000
    bad_utf8 = b"\xff\xfe\xc3\x28\xe2\x82\xa0\xf0\x28\x8c\xbc\xed\xa0\x80"
    links = [
        b"http://" + huge,
        b"http://example.com/%zz%g%%%",
        b"https://ex\x01am\x7fple.com/\x08\x0b",
        b"https://xn--nxasmq6b.example/" + bad_utf8,
        b"file://" + host + b"/" + huge,
        b"javascript:alert(1)",
        b"",
    ]
    out = []
    for uri in links:
        out.append(b"\033]8;id=" + huge[:300] + b";" + uri + b"\033\\link\033]8;;\033\\ ")
        out.append(b"\033]8;;" + uri + b"\007x\033]8;;\007\r\n")
    titles = [bad_utf8, b"T" * 100_000, b"", b"\x01\x02title\x7f", b"ok title"]
    for title in titles:
        out.append(b"\033]0;" + title + b"\007")
        out.append(b"\033]2;" + title + b"\033\\")
    dirs = [
        b"file://" + host + b"/" + bad_utf8,
        b"file://" + host + b"/" + b"d" * 100_000,
        b"file://other-host/tmp",
        b"file://" + host + b"/tmp/%zz",
        b"not a uri at all " + bad_utf8,
        b"file://" + host + b"/tmp",
    ]
    for uri in dirs:
        out.append(b"\033]7;" + uri + b"\007")
    # Unterminated sequences, cut off by the next one or by plain text.
    out.append(b"\033]8;;http://unterminated" + huge[:5000] + b"\r\n")
    out.append(b"\033]0;" + huge[:5000] + b"\033[0m\r\n")
    return b"".join(out)


CONFIGS = [
    # Valid: colours, a palette entry and open-with programs for the menu.
    "[misc]\nscrollback=5000\nfont=Monospace 11\nallow-hyperlinks=true\n"
    "[colours]\nforeground=#d0d0d0\nbackground=#101010\nnormal.red=#aa0000\n"
    "[open-with]\none=echo %\ntwo=printf %s %\nthree=true --url %\n",
    # Full of problems: every kind of warning.
    "[misc]\ncursor-shape=triangle\ncursor-blink=sometimes\nscrollback=lots\n"
    "allow-hyperlinks=true\n[colours]\nforeground=not-a-colour\nbright.blue=<&>\n"
    "[open-with]\nbroken='unbalanced\nnoarg=echo --url=%\n[nonsense]\nkey=1\n",
]


def reload_with(config_file, index, terminal):
    """Makes the terminal reload and waits until it has: signals that arrive
    together are delivered as one, and the file must not change while it is
    being read. Two answered requests after the signal mean the main loop
    has gone round at least once since it arrived."""
    with open(config_file, "w") as f:
        f.write(CONFIGS[index % len(CONFIGS)])
    os.kill(terminal, signal.SIGUSR1)
    for _ in range(2):
        if cursor_position(60) is None:
            raise RuntimeError("no answer after a reload")


def main():
    result_file, config_file = sys.argv[1], sys.argv[2]
    megabytes, reloads = int(sys.argv[3]), int(sys.argv[4])
    terminal = os.getppid()
    tty.setraw(0)
    host = socket.gethostname().encode()

    block = coloured_text() + hostile_sequences(host)
    results = {"block_bytes": len(block)}

    # Warm up: every kind of output and both configurations once, and enough
    # lines to fill the default scrollback of 10000 lines, so that the
    # baseline includes what the first use of each feature allocates and
    # what a full scrollback holds.
    for i in range(2):
        reload_with(config_file, i, terminal)
        write_all(block * 15)
    if cursor_position(60) is None:
        results["error"] = "no answer after the warm-up"
    time.sleep(1)
    cursor_position(60)
    results["rss_start_kib"] = rss_kib(terminal)

    total = megabytes * MB
    written = 0
    done_reloads = 0
    began = time.monotonic()
    while written < total:
        write_all(block)
        written += len(block)
        due = reloads * written // total
        while done_reloads < due:
            reload_with(config_file, done_reloads, terminal)
            done_reloads += 1
    results["bytes_written"] = written
    results["reloads"] = done_reloads

    position = cursor_position(120)
    results["seconds"] = round(time.monotonic() - began, 2)
    results["answer"] = position if position is not None else "none"
    results["rss_peak_kib"] = rss_kib(terminal, "VmHWM")

    # Let the reloads' notification timers run out, then measure again.
    time.sleep(4)
    cursor_position(60)
    results["rss_end_kib"] = rss_kib(terminal)
    results["alive"] = int(os.path.exists(f"/proc/{terminal}"))

    with open(result_file + ".tmp", "w") as f:
        for key, value in results.items():
            f.write(f"{key}={value}\n")
    os.rename(result_file + ".tmp", result_file)


if __name__ == "__main__":
    main()
