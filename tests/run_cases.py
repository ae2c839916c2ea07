#!/usr/bin/env python3
"""Runs the end-to-end cases against a built brenlow.

Each case is a folder holding:
  cmd       a shell command run in the folder, with $BRENLOW naming the
            program (default: "$BRENLOW" input.txt)
  input.txt the dictionary, byte for byte
  stdout    the expected standard output, byte for byte (absent: empty)
  stderr    the expected standard error (absent: empty)
  status    the expected exit status (absent: 0)
"""
import argparse
import os
import subprocess
import sys


def read(path, default=b""):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return default


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def show(name, expected, got):
    at = first_difference(expected, got)
    lo = max(0, at - 40)
    return (f"  {name} differs at byte {at} (expected {len(expected)} bytes, "
            f"got {len(got)})\n"
            f"    expected: {expected[lo:at + 60]!r}\n"
            f"    got:      {got[lo:at + 60]!r}")


def run_case(folder, program, timeout):
    cmd = read(os.path.join(folder, "cmd"), b'"$BRENLOW" input.txt').decode()
    env = dict(os.environ, BRENLOW=program, LC_ALL="C")
    proc = subprocess.run(["sh", "-c", cmd], cwd=folder, env=env,
                          capture_output=True, timeout=timeout)
    problems = []
    expected_status = int(read(os.path.join(folder, "status"), b"0"))
    if proc.returncode != expected_status:
        problems.append(f"  exit status {proc.returncode}, expected "
                        f"{expected_status}")
    for name, got in (("stdout", proc.stdout), ("stderr", proc.stderr)):
        expected = read(os.path.join(folder, name))
        if got != expected:
            problems.append(show(name, expected, got))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True,
                        help="the program to run (set as $BRENLOW)")
    parser.add_argument("--timeout", type=float, default=60)
    parser.add_argument("cases", nargs="+",
                        help="case folders, or folders of case folders")
    args = parser.parse_args()
    program = os.path.abspath(args.program) if os.path.exists(
        args.program) else args.program

    folders = []
    for path in args.cases:
        if os.path.exists(os.path.join(path, "cmd")) or os.path.exists(
                os.path.join(path, "input.txt")):
            folders.append(path)
        else:
            folders += sorted(os.path.join(path, name)
                              for name in os.listdir(path)
                              if os.path.isdir(os.path.join(path, name)))
    failed = 0
    for folder in folders:
        problems = run_case(folder, program, args.timeout)
        name = os.path.basename(folder)
        if problems:
            failed += 1
            print(f"FAIL {name}\n" + "\n".join(problems))
        else:
            print(f"ok   {name}")
    print(f"{len(folders) - failed} of {len(folders)} cases passed")
    return 1 if failed or not folders else 0


if __name__ == "__main__":
    sys.exit(main())
