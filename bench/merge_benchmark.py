#!/usr/bin/env python3
"""Times --merge and --exclude against skkdic-expr2 (skktools) doing the
same jobs, on the benchmark's corpus.

bench/merge_benchmark.py --program build-bench/brenlow \
    --corpus build-bench/corpus/corpus-1x.txt

Runs, all writing to /dev/null:
  brenlow --to euc-jp CORPUS                       (the plain conversion)
  brenlow --exclude SKK-JISYO.L --to euc-jp CORPUS
  brenlow --merge SKK-JISYO.L --to euc-jp CORPUS
  skkdic-expr2 B - SKK-JISYO.L
  skkdic-expr2 SKK-JISYO.L + B
where B is brenlow's plain EUC-JP output of the corpus, written once
beforehand with LF line ends (skkdic-expr2 reads a CR as part of the last
word). brenlow's rows include reading and converting the IME export;
skkdic-expr2's start from B, so the table also gives the plain conversion
plus skkdic-expr2, the whole job done with both tools.

One untimed run of each first (files into the page cache); then the
commands take turns, round after round (--rounds), so that the machine's
drift falls on all alike. Medians of wall time; peak resident memory from
GNU time's %M. Prints a Markdown table.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

LARGE = "/usr/share/skk/SKK-JISYO.L"


def run_once(command):
    """(seconds, peak resident bytes) of one run, its output discarded."""
    with open(os.devnull, "wb") as sink:
        start = time.perf_counter()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M"] + command,
                              stdout=sink, stderr=subprocess.PIPE)
        seconds = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"{command} failed: {proc.stderr.decode(errors='replace')}")
    return seconds, int(proc.stderr.split()[-1]) * 1024


def measure(commands, rounds):
    """[(median seconds, peak bytes)] of each command, run in turns."""
    for command in commands:
        run_once(command)
    times = [[] for _ in commands]
    peaks = [0] * len(commands)
    for _ in range(rounds):
        for k, command in enumerate(commands):
            seconds, peak = run_once(command)
            times[k].append(seconds)
            peaks[k] = max(peaks[k], peak)
    return [(statistics.median(t), p) for t, p in zip(times, peaks)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    expr2 = shutil.which("skkdic-expr2")
    if not os.path.exists(LARGE):
        sys.exit(f"{LARGE} is missing (Debian package skkdic)")
    if not os.path.exists("/usr/bin/time"):
        sys.exit("/usr/bin/time is missing (Debian package time)")
    with tempfile.TemporaryDirectory() as work:
        plain = os.path.join(work, "B")
        subprocess.run([program, "--to", "euc-jp", "--eol", "lf", "-o", plain,
                        args.corpus], check=True, stderr=subprocess.DEVNULL)
        jobs = [
            ("convert", "brenlow --to euc-jp",
             [program, "--to", "euc-jp", args.corpus]),
            ("exclude L", "brenlow --exclude L --to euc-jp",
             [program, "--exclude", LARGE, "--to", "euc-jp", args.corpus]),
            ("merge into L", "brenlow --merge L --to euc-jp",
             [program, "--merge", LARGE, "--to", "euc-jp", args.corpus]),
        ]
        if expr2:
            jobs += [
                ("exclude L", "skkdic-expr2 B - L",
                 [expr2, "-d", work, plain, "-", LARGE]),
                ("merge into L", "skkdic-expr2 L + B",
                 [expr2, "-d", work, LARGE, "+", plain]),
            ]
        else:
            print("skkdic-expr2 is not installed (Debian package skktools): "
                  "brenlow alone")
        results = measure([command for _, _, command in jobs], args.rounds)
    size = os.path.getsize(args.corpus)
    print(f"Corpus: {args.corpus} ({size / 2**20:.1f} MiB), SKK-JISYO.L "
          f"({os.path.getsize(LARGE) / 2**20:.1f} MiB); medians of "
          f"{args.rounds} rounds, output to /dev/null.\n")
    print("| job | command | median s | peak RSS MiB |")
    print("|---|---|---:|---:|")
    for (job, name, _), (seconds, peak) in zip(jobs, results):
        print(f"| {job} | `{name}` | {seconds:.2f} | {peak / 2**20:.1f} |")
    if expr2:
        convert = results[0][0]
        for k in (3, 4):
            job, name, _ = jobs[k]
            print(f"| {job} | `brenlow --to euc-jp` then `{name}` | "
                  f"{convert + results[k][0]:.2f} | "
                  f"{max(results[0][1], results[k][1]) / 2**20:.1f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
