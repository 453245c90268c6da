#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT

"""Runs the README's console examples and compares what they print with
what the README shows.

A ```console block holds commands, each after "$ ", each followed by the
output the README shows for it. A line "..." stands for any lines. The
commands of one block run in one bash, in a scratch folder that has the
repo's examples/, with the built mkentry and mkentry-check first on PATH.
cmake does nothing there: the build under test is already made.

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


def matches(expected, actual):
    pattern = "".join("(?:.*\n)*" if line == "..." else re.escape(line) + "\n" for line in expected)
    return re.fullmatch(pattern, actual) is not None


def main():
    readme, bin_dir = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    env = {"PATH": f"{bin_dir}:/usr/sbin:/usr/bin:/sbin:/bin", "LC_ALL": "C", "HOME": "/nonexistent"}
    failed = passed = 0
    for steps in blocks(readme.read_text()):
        with tempfile.TemporaryDirectory() as scratch:
            os.symlink(readme.parent / "examples", Path(scratch) / "examples")
            os.makedirs(Path(scratch) / "build" / "default")
            os.symlink(bin_dir, Path(scratch) / "build" / "default" / "bin")
            # Each marker keeps the status of the command before it for $?.
            script = "cmake() { :; }\n" + "".join(
                f"status=$?; echo @@step {i}; (exit $status)\n{command}\n"
                for i, (command, _) in enumerate(steps))
            run = subprocess.run(["bash", "-c", script], cwd=scratch, env=env, text=True,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
            outputs = re.split(r"^@@step \d+\n", run.stdout, flags=re.M)[1:]
            for (command, expected), actual in zip(steps, outputs + [""] * len(steps)):
                if matches(expected, actual):
                    passed += 1
                    print(f"ok: $ {command}")
                else:
                    failed += 1
                    print(f"FAIL: $ {command}\n--- README shows\n" + "\n".join(expected) +
                          f"\n--- it printed\n{actual}---")
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed or not passed else 0)


if __name__ == "__main__":
    main()
