#!/usr/bin/env python3
"""Mutation check of one source file: makes small faults in it one at a time (a comparison turned round,
a logical operator swapped, a boolean flipped, an increment reversed, a statement dropped), rebuilds and runs
the tests, and lists the faults that no test noticed. The file is restored after every mutant, also when the
run is interrupted.

    python3 scripts/mutate.py FILE [--tests REGEX] [--lines FIRST-LAST] [--limit N] [--build-dir DIR]

--tests limits ctest to the tests that cover the file (a ctest -R regular expression); --lines limits the
mutants to part of the file. Every mutant costs a rebuild and a test run: start with a narrow test selection.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

# (pattern, replacement) pairs; each match on a line makes one mutant.
OPERATORS = [
    (r"==", "!="), (r"!=", "=="), (r"<=", "<"), (r">=", ">"), (r"(?<![<>=-])<(?![<=])", "<="),
    (r"(?<![<>=-])>(?![>=])", ">="), (r"&&", "||"), (r"\|\|", "&&"), (r"\btrue\b", "false"),
    (r"\bfalse\b", "true"), (r"\+\+", "--"), (r"\+ 1\b", "- 1"), (r"- 1\b", "+ 1"),
]
SKIP = re.compile(r"^\s*(#|//|\*|/\*)|template\s*<|#include|static_cast<|std::\w+<|SmartPtr<|atomic<")


def mutants(lines, first, last):
    for number in range(first, last + 1):
        line = lines[number - 1]
        if SKIP.search(line) or not line.strip():
            continue
        for pattern, replacement in OPERATORS:
            for match in re.finditer(pattern, line):
                yield number, line[:match.start()] + replacement + line[match.end():]
        stripped = line.strip()
        if stripped.endswith(";") and not stripped.startswith(("return", "break", "continue")) and "=" not in stripped:
            yield number, re.sub(r"\S.*", "; // dropped", line, count=1)


def run(command, timeout):
    try:
        return subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("file")
    parser.add_argument("--tests", default="", help="ctest -R regular expression")
    parser.add_argument("--lines", default="", help="FIRST-LAST")
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--build-dir", default="build/default")
    parser.add_argument("--timeout", type=int, default=600)
    args = parser.parse_args()

    with open(args.file) as source:
        original = source.read()
    lines = original.split("\n")
    first, last = 1, len(lines)
    if args.lines:
        first, last = (int(part) for part in args.lines.split("-"))
    chosen = list(mutants(lines, first, last))
    if args.limit:
        chosen = chosen[:args.limit]
    backup = args.file + ".mutation-backup"
    shutil.copyfile(args.file, backup)
    survivors, killed, unbuildable = [], 0, 0
    test_command = ["ctest", "--test-dir", args.build_dir, "--parallel", "2", "--stop-on-failure"]
    if args.tests:
        test_command += ["-R", args.tests]
    try:
        for index, (number, mutated) in enumerate(chosen, 1):
            changed = lines[:]
            changed[number - 1] = mutated
            with open(args.file, "w") as target:
                target.write("\n".join(changed))
            started = time.time()
            if run(["cmake", "--build", args.build_dir], args.timeout) != 0:
                unbuildable += 1
                verdict = "does not build"
            elif run(test_command, args.timeout) != 0:
                killed += 1
                verdict = "caught"
            else:
                survivors.append((number, mutated.strip()))
                verdict = "SURVIVED"
            print(f"[{index}/{len(chosen)}] line {number}: {verdict} ({time.time() - started:.0f} s)", flush=True)
    finally:
        shutil.move(backup, args.file)
        # The backup is older than the last mutant's objects: without a new time the build would keep them.
        os.utime(args.file)
        run(["cmake", "--build", args.build_dir], args.timeout)
    print(f"\n{killed} caught, {len(survivors)} survived, {unbuildable} did not build")
    for number, text in survivors:
        print(f"  {args.file}:{number}: {text}")
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
