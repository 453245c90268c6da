#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT

"""Mutation testing of mkentry-check: makes small changes (mutants) to its
sources one at a time, rebuilds the unit tests, runs them, and reports how
many mutants they kill. Not run by CI: every mutant takes a build.

    tools/mutate.py --list                  # the mutants, none run
    tools/mutate.py --sample 30 --seed 1    # a random 30 of them
    tools/mutate.py --files 'src/gpt/*.h' --json mutants.json

Each mutant is written in place in the checkout (--repo, default this
script's), built with `cmake --build BUILD_DIR --target unit_tests` (BUILD_DIR
is configured if it has no cache yet) and run; the file is then put back
byte for byte, on Ctrl-C too. Only a hard kill leaves a mutant behind.

Outcomes: killed (the tests fail or time out), survived (they pass),
stillborn (no build) and untested (the unit tests do not build that file,
as main.cpp); the last two are not scored. A survivor judged equivalent to
the original goes in tools/mutants-equivalent.txt as a line
`PATH:LINE TEXT | MUTATION` (the "key" in the --json output), from its
report line `PATH:NUMBER: MUTATION: LINE TEXT → MUTATED`; lines that start
with # are comments. Exit status: 0 when the kill rate is at least
--min-score percent, 1 when not, 2 on usage or set-up errors.
"""

import argparse
import dataclasses
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

DEFAULT_FILES = ["src/mkentry-check/**/*.cpp", "src/mkentry-check/**/*.h",
                 "src/gpt/*.h", "src/mbr/*.h"]
EQUIVALENT_FILE = "tools/mutants-equivalent.txt"
COMPARISONS = {"<": ["<=", ">"], "<=": ["<", ">="], ">": [">=", "<"], ">=": [">", "<="],
               "==": ["!="], "!=": ["=="]}


@dataclasses.dataclass
class Mutant:
    path: str  # from the repo's top
    line: int
    mutation: str
    original: str  # the whole line, before and after
    mutated: str
    outcome: str = ""

    def key(self):
        return equivalence_key(f"{self.path}:{self.original} | {self.mutation}")

    def __str__(self):
        return (f"{self.path}:{self.line}: {self.mutation}: "
                f"{self.original.strip()} → {self.mutated.strip()}")


def equivalence_key(text):
    # "PATH:LINE TEXT | MUTATION": no line number, and blind to spacing, so
    # that a judgement holds through edits elsewhere in the file and
    # reformatting.
    return re.sub(r"^([^:]*):\s*", r"\1:", " ".join(text.split()))


def mask_non_code(text):
    """text with comments made spaces and string and char literals made
    underscores, newlines kept: positions in it are positions in text, and
    a literal still ends an operand."""
    def after(mark, start):
        found = text.find(mark, start)
        return len(text) if found < 0 else found + len(mark)

    out, i = list(text), 0
    while i < len(text):
        if text.startswith("//", i):
            end = after("\n", i) - 1
        elif text.startswith("/*", i):
            end = after("*/", i + 2)
        elif text[i] == '"' and text[i - 1:i] == "R":  # R"delimiter( ... )delimiter"
            end = after(")" + text[i + 1:after("(", i) - 1] + '"', i)
        elif text[i] == '"' or text[i] == "'" and not re.search(r"\b\d[\w']*$", text[:i]):
            end = i + 1  # (not the ' of 1'000)
            while end < len(text) and text[end] != text[i]:
                end += 2 if text[end] == "\\" else 1
            end += 1
        else:
            i += 1
            continue
        for k in range(i, end):
            out[k] = "\n" if text[k] == "\n" else " " if text[i] == "/" else "_"
        i = end
    return "".join(out)


def code_lines(text):
    """(number, line, masked line) of the lines worth mutating: not
    preprocessor lines, nor static_assert statements, whose mutants could
    only fail to compile."""
    in_directive, assert_depth = False, None
    masked = mask_non_code(text).split("\n")
    for number, (line, code) in enumerate(zip(text.split("\n"), masked), 1):
        if in_directive or code.lstrip().startswith("#"):
            in_directive = code.rstrip().endswith("\\")
            continue
        if assert_depth is None and "static_assert" in code:
            code, assert_depth = code[code.index("static_assert"):], 0
        if assert_depth is not None:  # until its parentheses close
            assert_depth += code.count("(") - code.count(")")
            if assert_depth <= 0 and ";" in code:
                assert_depth = None
        elif code.strip():
            yield number, line, code


def ends_operand(code, j, step):
    c, before, next_ = code[j], code[j - 1:j], code[j + 1:j + 2]
    return (c in ",;?" or (code[j:j + 2] if step > 0 else before + c) in ("&&", "||")
            or (c == ":" and ":" not in before + next_)
            or (c == "=" and before not in "=!<>" and next_ != "=")  # an assignment
            or (step < 0 and re.search(r"\breturn $", code[:j + 1]) is not None))


def operand_end(code, start, step):
    """Where the operand of && or || that begins at start ends (step 1) or
    starts (step -1); None if it goes on past the line, which is allowed
    only to the left and outside brackets: the condition the line before
    began, as clang-format breaks it after && and ||."""
    opening, closing = ("([{", ")]}")[::step]
    depth, j = 0, start
    while 0 <= j < len(code):
        if code[j] in opening:
            depth += 1
        elif code[j] in closing:
            if depth == 0:
                break
            depth -= 1
        elif depth == 0 and ends_operand(code, j, step):
            break
        j += step
    else:
        if depth != 0 or step > 0:
            return None
    return len(code[:j].rstrip()) if step > 0 else len(code) - len(code[j + 1:].lstrip())


def mutations_of_line(code, line):
    """(mutation, mutated line) for every one-place change to a line."""
    def replaced(start, end, new):
        return line[:start] + new + line[end:]

    # Spaces on both sides keep <<, ->, templates and includes out: here,
    # clang-format puts them around every binary operator.
    for m in re.finditer(r"(?<= )(<=|>=|==|!=|<|>)(?= )", code):
        for new in COMPARISONS[m.group()]:
            yield f"{m.group()} → {new}", replaced(m.start(), m.end(), new)
    # Decimal and hex constants, not the digits of identifiers (uint8_t),
    # floats or octals (none here).
    for m in re.finditer(r"(?<![\w.'])(0[xX][\da-fA-F']+|0|[1-9][\d']*)([uUlLzZ]*)(?![\w.'])",
                         code):
        digits = m.group(1).replace("'", "")
        value, hexadecimal = int(digits, 0), digits[:2] in ("0x", "0X")
        for changed in (value + 1, value - 1) if value > 0 else (1,):
            case = "X" if digits[2:].isupper() else "x"  # as written, as many digits
            new = (digits[:2] + format(changed, f"0{len(digits) - 2}{case}") if hexadecimal
                   else str(changed))
            yield f"{m.group()} → {new}{m.group(2)}", replaced(m.start(1), m.end(1), new)
    # && and || with one side kept.
    for m in re.finditer(r"(?<= )(&&|\|\|)(?= |$)", code):
        left = operand_end(code, m.start() - 2, -1)
        if left is not None and left < m.start():
            right_start = len(code) - len(code[m.end():].lstrip())
            yield f'drop "{line[left:m.end()]}"', replaced(left, right_start, "")
        right = operand_end(code, m.end() + 1, 1)
        if right is not None and right > m.end():
            yield f'drop "{line[m.start():right]}"', replaced(m.start() - 1, right, "")
    for m in re.finditer(r"(?<![\w)\]])!(?!=)", code):
        yield 'drop "!"', replaced(m.start(), m.end(), "")
    for m in re.finditer(r"\breturn (true|false)\b", code):
        new = "false" if m.group(1) == "true" else "true"
        yield f"return {m.group(1)} → return {new}", replaced(m.start(1), m.end(1), new)
    # Not before * / %, where the 1 is not the whole operand.
    for m in re.finditer(r" [+-] 1(?![\w.'])(?!\s*[*/%])", code):
        yield f'drop "{m.group().strip()}"', replaced(m.start(), m.end(), "")


def mutants_of_file(repo, path):
    text = (repo / path).read_bytes().decode("utf-8", "surrogateescape")
    for number, line, code in code_lines(text):
        seen, made = {}, set()
        for mutation, mutated in mutations_of_line(code, line):
            if mutated in made:  # a && b && c without b: dropped from either side
                continue
            made.add(mutated)
            seen[mutation] = seen.get(mutation, 0) + 1
            if seen[mutation] > 1:  # the same change elsewhere on the line: keys must differ
                mutation += f" #{seen[mutation]}"
            yield Mutant(path, number, mutation, line, mutated)


def selected_files(repo, patterns):
    files = set()
    for pattern in patterns:
        pattern = os.path.relpath(pattern, repo) if os.path.isabs(pattern) else pattern
        matches = [p for p in repo.glob(pattern) if p.is_file()]
        if not matches:
            sys.exit(f"mutate.py: no file matches {pattern}")
        files.update(p.relative_to(repo).as_posix() for p in matches)
    return sorted(files)


def read_equivalent_keys(repo):
    path = repo / EQUIVALENT_FILE
    lines = path.read_text(encoding="utf-8").splitlines() if path.exists() else []
    return {equivalence_key(line) for line in lines
            if line.strip() and not line.lstrip().startswith("#")}


def run(command, timeout=None, cwd=None):
    """Whether command exits 0 within timeout seconds, its output dropped.
    It runs in a process group of its own, stopped whole on a timeout or
    Ctrl-C, so that no compiler goes on after the sources are put back."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               cwd=cwd, start_new_session=True)
    try:
        return process.wait(timeout) == 0
    except subprocess.TimeoutExpired:
        return False
    finally:
        for stop in (signal.SIGTERM, signal.SIGKILL):  # SIGTERM first: ninja stops its compilers
            if process.poll() is None:
                os.killpg(process.pid, stop)
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    pass


def builds(build_dir):
    return run(["cmake", "--build", str(build_dir), "--target", "unit_tests"])


def tests_pass(binary, timeout=None):
    return run([str(binary)], timeout, cwd=binary.parent)  # where CTest runs them


def set_up_build(repo, build_dir):
    """The unit tests' binary and the time a run of them may take, once the
    tree as it is builds and passes; exits 2 if not."""
    cache = build_dir / "CMakeCache.txt"
    configure = ["cmake", "-S", str(repo), "-B", str(build_dir), "-G", "Ninja",
                 "-DCMAKE_BUILD_TYPE=Release"]
    if not cache.exists() and not run(configure):
        sys.exit(f"mutate.py: cmake could not configure {build_dir}")
    # A build of another checkout would never see the mutants.
    home = re.search(r"^CMAKE_HOME_DIRECTORY:INTERNAL=(.*)$", cache.read_text(), re.M)
    if not home or Path(home.group(1)).resolve() != repo:
        sys.exit(f"mutate.py: {build_dir} is a build of another source tree than {repo}")
    if not builds(build_dir):
        sys.exit("mutate.py: the unmutated tree does not build: fix that first")
    binary, started = build_dir / "tests" / "unit_tests", time.monotonic()
    if not tests_pass(binary):
        sys.exit("mutate.py: the unit tests fail on the unmutated tree: fix that first")
    # Generous, so that a busy machine does not make a survivor a kill.
    return binary, max(10.0, 10 * (time.monotonic() - started))


def outcome_of(mutant, original, args, binary, timeout):
    lines = original.decode("utf-8", "surrogateescape").split("\n")
    lines[mutant.line - 1] = mutant.mutated
    linked = binary.stat().st_mtime_ns
    (args.repo / mutant.path).write_bytes("\n".join(lines).encode("utf-8", "surrogateescape"))
    if not builds(args.build_dir):
        return "stillborn"
    if binary.stat().st_mtime_ns == linked:  # nothing the tests are made of changed
        return "untested"
    return "survived" if tests_pass(binary, timeout) else "killed"


def run_mutants(args, mutants, files):
    binary, timeout = set_up_build(args.repo, args.build_dir)
    originals = {path: (args.repo / path).read_bytes() for path in files}
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # so that the finally below runs
    try:
        for index, mutant in enumerate(mutants):
            if index > 0 and mutants[index - 1].path != mutant.path:
                # The file just put back is built on its own first, so that a
                # relink of the tests below is this mutant's doing, or none.
                builds(args.build_dir)
            try:
                mutant.outcome = outcome_of(mutant, originals[mutant.path], args, binary, timeout)
            finally:
                (args.repo / mutant.path).write_bytes(originals[mutant.path])
            print(f"[{index + 1}/{len(mutants)}] {mutant.outcome}: {mutant}",
                  file=sys.stderr, flush=True)
    finally:
        for path, content in originals.items():
            if (args.repo / path).read_bytes() != content:
                (args.repo / path).write_bytes(content)


def parse_arguments():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        epilog="example: tools/mutate.py --build-dir /tmp/mutate-build --sample 30")
    add = parser.add_argument
    add("--repo", type=Path, default=Path(__file__).resolve().parent.parent,
        help="the checkout to mutate (default: this script's)")
    add("--build-dir", type=Path, help="its build directory (default: REPO/build/mutate)")
    add("--files", nargs="+", metavar="GLOB",
        help="files to mutate, ** for any folders (default: %s)" % " ".join(DEFAULT_FILES))
    add("--sample", type=int, metavar="N", help="run a random N of the mutants")
    add("--seed", type=int, default=1, help="the seed of --sample (default: 1)")
    add("--list", action="store_true", help="print the mutants, run none")
    add("--json", type=Path, metavar="FILE", help="write the results to FILE as well")
    add("--min-score", type=float, default=90, help="kill rate to pass, in percent (default: 90)")
    args = parser.parse_args()
    args.repo = args.repo.resolve()
    if args.sample is not None and args.sample < 1:
        parser.error("--sample needs a positive number")
    if not (args.repo / "src" / "mkentry-check").is_dir():
        parser.error(f"{args.repo} is not a checkout of mkentry")
    args.build_dir = (args.build_dir or args.repo / "build" / "mutate").resolve()
    return args


def main():
    args, started = parse_arguments(), time.monotonic()
    files = selected_files(args.repo, args.files or DEFAULT_FILES)
    generated = [m for path in files for m in mutants_of_file(args.repo, path)]
    equivalent_keys = read_equivalent_keys(args.repo)
    for mutant in generated:
        mutant.outcome = "equivalent" if mutant.key() in equivalent_keys else ""
    stale = {k for k in equivalent_keys if k.partition(":")[0] in files}
    stale -= {m.key() for m in generated}
    if stale:  # the code under them changed: to be judged again
        print(f"mutate.py: {EQUIVALENT_FILE}: {len(stale)} judged mutants are gone",
              file=sys.stderr)
    chosen = [m for m in generated if not m.outcome]
    if args.sample is not None and args.sample < len(chosen):
        chosen = sorted(random.Random(args.seed).sample(chosen, args.sample),
                        key=lambda m: (m.path, m.line))
    if args.list:
        print("".join(f"{m}\n" for m in chosen) + f"{len(chosen)} of {len(generated)} mutants")
        return 0

    run_mutants(args, chosen, files)
    count = {o: sum(m.outcome == o for m in generated)
             for o in ("killed", "survived", "stillborn", "untested", "equivalent")}
    scored = count["killed"] + count["survived"]
    score = 100.0 * count["killed"] / scored if scored else None
    seconds = time.monotonic() - started
    print("".join(f"{m}\n" for m in chosen if m.outcome == "survived"), end="")
    print(f"mutants: {len(generated)} generated, {len(chosen)} run: {count['killed']} killed, "
          f"{count['survived']} survived, {count['stillborn']} stillborn, "
          f"{count['untested']} untested; {count['equivalent']} equivalent")
    print(f"kill rate: {'n/a' if score is None else f'{score:.1f}%'} "
          f"(minimum {args.min_score:g}%), wall time {seconds:.0f} s")
    if args.json:
        summary = {"generated": len(generated), "run": len(chosen), **count, "kill_rate": score,
                   "min_score": args.min_score, "seconds": round(seconds, 1)}
        mutants = [dataclasses.asdict(m) | {"key": m.key()} for m in chosen]
        args.json.write_text(json.dumps(summary | {"mutants": mutants}, indent=2,
                                        ensure_ascii=False) + "\n")
    return 0 if score is not None and score >= args.min_score else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(130)  # the sources are already back: run_mutants' finally
    except SystemExit as stop:
        if isinstance(stop.code, str):  # sys.exit("message"): a set-up error
            print(stop.code, file=sys.stderr)
            sys.exit(2)
        raise
