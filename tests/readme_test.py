#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT

"""Runs the README's console examples and compares what they print with
what the README shows.

A ```console block holds commands, each after "$ ", each followed by the
output the README shows for it. A line "..." stands for any lines. The
commands of one block run in one bash, in a scratch folder that has the
repo's examples/, with the built mkentry and mkentry-check first on PATH.

A command must exit 0, unless the README shows its status with "echo $?"
right after it. Set-up steps (apt-get, dpkg, sudo, cmake) are not run:
the build under test is already made. Leading steps of a command joined
by "&&" that are set-up are reported as not run, and the rest runs; a
command that is all set-up is not run, and never counts as a pass.

usage: readme_test.py README BIN_DIR
"""

import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path


def blocks(readme):
    """Each console block as a list of (command, expected output lines)."""
    for body in re.findall(r"^```console\n(.*?)^```$", readme, re.S | re.M):
        steps = []
        for line in body.splitlines():
            if line.startswith("$ "):
                steps.append((line[2:], []))
            elif steps:
                steps[-1][1].append(line)
        yield steps


SETUP = re.compile(r"(sudo|apt-get|apt|dpkg|cmake)\b")


def split_setup(command):
    """The leading set-up steps of a command, and the rest of it."""
    parts = command.split(" && ")
    count = 0
    while count < len(parts) and SETUP.match(parts[count]):
        count += 1
    return parts[:count], " && ".join(parts[count:])


def matches(expected, actual):
    pattern = "".join("(?:.*\n)*" if line == "..." else re.escape(line) + "\n" for line in expected)
    return re.fullmatch(pattern, actual) is not None


def main():
    readme, bin_dir = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    env = {"PATH": f"{bin_dir}:/usr/sbin:/usr/bin:/sbin:/bin", "LC_ALL": "C", "HOME": "/nonexistent"}
    failed = passed = not_run = 0
    for steps in blocks(readme.read_text()):
        with tempfile.TemporaryDirectory() as scratch:
            os.symlink(readme.parent / "examples", Path(scratch) / "examples")
            os.makedirs(Path(scratch) / "build" / "default")
            os.symlink(bin_dir, Path(scratch) / "build" / "default" / "bin")
            runs = []
            for command, expected in steps:
                setup, rest = split_setup(command)
                for step in setup:
                    not_run += 1
                    print(f"not run: $ {step}")
                if rest:
                    runs.append((rest, expected))
            # Each marker gives the status of the command before it, and
            # keeps it for $?.
            script = "".join(f"status=$?; echo @@step $status; (exit $status)\n{command}\n"
                             for command, _ in runs) + "echo @@step $?\n"
            run = subprocess.run(["bash", "-c", script], cwd=scratch, env=env, text=True,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
            parts = re.split(r"^@@step (\d+)\n", run.stdout, flags=re.M)
            statuses = [int(status) for status in parts[3::2]]
            outputs = parts[2::2]
            for i, (command, expected) in enumerate(runs):
                actual = outputs[i] if i < len(outputs) else ""
                status = statuses[i] if i < len(statuses) else None
                shown = i + 1 < len(runs) and runs[i + 1][0] == "echo $?"
                if matches(expected, actual) and (status == 0 or shown):
                    passed += 1
                    print(f"ok: $ {command}")
                else:
                    failed += 1
                    print(f"FAIL: $ {command} (status {status})\n--- README shows\n" +
                          "\n".join(expected) + f"\n--- it printed\n{actual}---")
    print(f"{passed} passed, {failed} failed, {not_run} skipped")
    sys.exit(1 if failed or not passed else 0)


if __name__ == "__main__":
    main()
