#!/usr/bin/env python3
"""Runs the end-to-end cases against a built brenlow.

Cases sit in folders by theme (tests/cases/encodings/utf8_with_mark). Each
case is a folder holding:
  cmd       a shell command, with $BRENLOW naming the program (default:
            "$BRENLOW" input.txt)
  input.txt the dictionary, byte for byte
  stdout    the expected standard output, byte for byte (absent: empty)
  stderr    the expected standard error (absent: empty)
  status    the expected exit status (absent: 0)
With --windows, stdout.windows, stderr.windows and status.windows, where a
case has them, hold what the Windows program is expected to do instead.

The command runs in a scratch copy of the case's other files (its inputs,
without cmd and the expectations), removed afterwards, so a case may create
files freely. --update writes the program's stdout, stderr and status as
the cases' expectations (for a new case; read the diff before committing);
the Windows files are left alone.
"""
import argparse
import atexit
import os
import shlex
import shutil
import subprocess
import sys
import tempfile


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


def expectation(folder, name, windows, default=b""):
    if windows and os.path.exists(os.path.join(folder, name + ".windows")):
        name += ".windows"
    return read(os.path.join(folder, name), default)


EXPECTATIONS = ("stdout", "stderr", "status")


def is_case_input(name):
    return name != "cmd" and name.removesuffix(".windows") not in EXPECTATIONS


def remove_tree(path):
    # A case may leave files or folders without write or search permission.
    def retry(function, failed_path, _):
        for p in (os.path.dirname(failed_path), failed_path):
            if os.path.lexists(p) and not os.path.islink(p):
                os.chmod(p, 0o700)
        function(failed_path)
    shutil.rmtree(path, onerror=retry)


def run_in_scratch(folder, program, timeout, locale, scratch_root):
    cmd = read(os.path.join(folder, "cmd"), b'"$BRENLOW" input.txt').decode()
    scratch = os.path.join(scratch_root, os.path.basename(folder))
    shutil.copytree(folder, scratch,
                    ignore=lambda _, names: [n for n in names
                                             if not is_case_input(n)])
    env = dict(os.environ, BRENLOW=program, LC_ALL=locale)
    try:
        return subprocess.run(["sh", "-c", cmd], cwd=scratch, env=env,
                              capture_output=True, timeout=timeout)
    finally:
        remove_tree(scratch)


def update_case(folder, proc):
    """Makes the case expect what proc did; absent files mean empty or 0."""
    status = b"" if proc.returncode == 0 else b"%d\n" % proc.returncode
    for name, got in (("stdout", proc.stdout), ("stderr", proc.stderr),
                      ("status", status)):
        path = os.path.join(folder, name)
        if got:
            with open(path, "wb") as f:
                f.write(got)
        elif os.path.exists(path):
            os.remove(path)


def check_case(folder, proc, windows):
    problems = []
    expected_status = int(expectation(folder, "status", windows, b"0"))
    if proc.returncode != expected_status:
        problems.append(f"  exit status {proc.returncode}, expected "
                        f"{expected_status}")
    for name, got in (("stdout", proc.stdout), ("stderr", proc.stderr)):
        expected = expectation(folder, name, windows)
        if got != expected:
            problems.append(show(name, expected, got))
    return problems


def is_case(path):
    return os.path.exists(os.path.join(path, "cmd")) or os.path.exists(
        os.path.join(path, "input.txt"))


def case_folders(path):
    """The case folders at path: path itself, or those in the folders of
    themes below it, at any depth, in order of their paths."""
    if is_case(path):
        return [path]
    found = []
    for name in sorted(os.listdir(path)):
        if os.path.isdir(os.path.join(path, name)):
            found += case_folders(os.path.join(path, name))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True,
                        help="the program to run (set as $BRENLOW)")
    parser.add_argument("--emulator", default="",
                        help="a command that runs the program (wine)")
    parser.add_argument("--windows", action="store_true",
                        help="expect the Windows program's results")
    parser.add_argument("--locale", default="C",
                        help="LC_ALL for the cases (under Wine it also picks "
                        "the system's code page: ja_JP.UTF-8 gives 932)")
    parser.add_argument("--timeout", type=float, default=60)
    parser.add_argument("--update", action="store_true",
                        help="write what the program does as the cases' "
                        "expected stdout, stderr and status")
    parser.add_argument("cases", nargs="+",
                        help="case folders, or folders holding them (at any "
                        "depth)")
    args = parser.parse_args()
    if args.update and args.windows:
        parser.error("--update writes the Linux expectations only; write "
                     "*.windows files by hand")
    program = os.path.abspath(args.program) if os.path.exists(
        args.program) else args.program
    if args.emulator:
        # Cases name the program as one word; a script stands in for
        # "emulator program".
        folder = tempfile.mkdtemp(prefix="brenlow-")
        atexit.register(shutil.rmtree, folder, ignore_errors=True)
        wrapper = os.path.join(folder, "brenlow")
        with open(wrapper, "w") as f:
            f.write(f"#!/bin/sh\nexec {shlex.quote(args.emulator)} "
                    f"{shlex.quote(program)} \"$@\"\n")
        os.chmod(wrapper, 0o755)
        program = wrapper

    folders = []
    for path in args.cases:
        folders += case_folders(path)
    scratch_root = tempfile.mkdtemp(prefix="brenlow-cases-")
    atexit.register(remove_tree, scratch_root)
    failed = 0
    for folder in folders:
        proc = run_in_scratch(folder, program, args.timeout, args.locale,
                              scratch_root)
        # A case is named with its theme: encodings/utf8_with_mark.
        name = os.path.join(os.path.basename(os.path.dirname(folder)),
                            os.path.basename(folder))
        if args.update:
            update_case(folder, proc)
            print(f"updated {name}")
            continue
        problems = check_case(folder, proc, args.windows)
        if problems:
            failed += 1
            print(f"FAIL {name}\n" + "\n".join(problems))
        else:
            print(f"ok   {name}")
    if args.update:
        print(f"{len(folders)} cases updated")
        return 0 if folders else 1
    print(f"{len(folders) - failed} of {len(folders)} cases passed")
    return 1 if failed or not folders else 0


if __name__ == "__main__":
    sys.exit(main())
