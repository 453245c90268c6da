#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
"""Drives a program's console as a person at its keyboard would.

tests/readers/label.sh runs qemu through it to talk to U-Boot's and the
UEFI Shell's prompts on the serial line (qemu's stdin and stdout).

usage: console.py LOG SECONDS STEP... -- COMMAND...
Each STEP is "expect:REGEX" (wait until the console's output since the
last match matches) or "send:TEXT" (type TEXT; \\r, \\n and \\e are
understood, and "send" types a character at a time, as slow serial
lines need). All the console's output goes to LOG. When the steps are
done the program is waited for, up to the time left.

Exit status: the program's, or 124 when SECONDS ran out (the program is
killed), or 125 when the program ended before a step's REGEX matched.
"""
import os
import re
import select
import signal
import subprocess
import sys
import time


def main(argv):
    if "--" not in argv or len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    split = argv.index("--")
    log_path, seconds, steps, command = argv[1], float(argv[2]), argv[3:split], argv[split + 1:]
    deadline = time.monotonic() + seconds
    child = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, start_new_session=True)
    seen = b""
    with open(log_path, "wb") as log:

        def read(wait):
            """Reads what the console printed within wait seconds; False at its end."""
            nonlocal seen
            ready, _, _ = select.select([child.stdout], [], [], max(0.0, wait))
            if not ready:
                return True
            data = os.read(child.stdout.fileno(), 65536)
            if not data:
                return False
            log.write(data)
            log.flush()
            seen += data
            return True

        def stop(status):
            try:
                os.killpg(child.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            child.wait()
            return status

        for step in steps:
            kind, _, text = step.partition(":")
            if kind == "expect":
                pattern = re.compile(text.encode())
                while True:
                    match = pattern.search(seen)
                    if match:
                        seen = seen[match.end():]
                        break
                    left = deadline - time.monotonic()
                    if left <= 0:
                        return stop(124)
                    if not read(min(left, 1.0)):
                        return stop(125)
            elif kind == "send":
                keys = text.replace("\\r", "\r").replace("\\n", "\n").replace("\\e", "\x1b")
                for key in keys.encode():
                    child.stdin.write(bytes([key]))
                    child.stdin.flush()
                    # The firmware reads its serial line by polling.
                    read(0.01)
            else:
                sys.stderr.write(f"console.py: unknown step {step!r}\n")
                return stop(2)
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return stop(124)
            if not read(min(left, 1.0)):
                break
        try:
            return child.wait(max(0.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            return stop(124)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
