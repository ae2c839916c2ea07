#!/usr/bin/env python3
"""Measures brenlow on a large real dictionary and on copies scaled 2x and 4x.

For each corpus: the median wall time of --runs runs, the throughput in
MB/s, the peak resident memory, and the same for `cat FILE > /dev/null`
(the floor: reading the file and nothing else). Then the targets: at least
120 MB/s on the 1x corpus, peak memory at most 2.5 x input + 16 MiB, and 4x
the input in at most 4.6x the time.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def measure(command, runs):
    """Median wall time and peak resident memory of command.

    GNU time reports the peak: the rusage of a child forked from Python
    would count the memory of the Python process before the exec."""
    times, peaks = [], []
    # One untimed run first: the file into the page cache, the program into
    # memory, so that the runs measure the conversion and not the disk.
    with open(os.devnull, "wb") as sink:
        subprocess.run(command, stdout=sink, stderr=subprocess.DEVNULL)
    for _ in range(runs):
        with open(os.devnull, "wb") as sink:
            start = time.perf_counter()
            proc = subprocess.run(["/usr/bin/time", "-f", "%M"] + command,
                                  stdout=sink, stderr=subprocess.PIPE)
            times.append(time.perf_counter() - start)
        if proc.returncode != 0:
            sys.exit(f"{command} failed: {proc.stderr.decode()}")
        peaks.append(int(proc.stderr.split()[-1]) * 1024)  # KiB
    return statistics.median(times), max(peaks)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(
        HERE, "..", "build-bench", "brenlow"))
    parser.add_argument("--corpus-folder", default=os.path.join(
        HERE, "..", "build-bench", "corpus"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--scales", default="1,2,4")
    parser.add_argument("--synthetic", action="store_true")
    args = parser.parse_args()
    os.makedirs(args.corpus_folder, exist_ok=True)

    results = {}
    print(f"{'corpus':>8} {'MB':>7} {'lines':>9} {'brenlow s':>10} "
          f"{'MB/s':>7} {'peak MiB':>9} {'cat s':>7} {'cat MB/s':>9} "
          f"{'cat MiB':>8}")
    for scale in (int(s) for s in args.scales.split(",")):
        name = f"corpus-{scale}x{'-synthetic' if args.synthetic else ''}.txt"
        path = os.path.join(args.corpus_folder, name)
        if not os.path.exists(path):
            make = [sys.executable, os.path.join(HERE, "make_corpus.py"),
                    path, "--copies", str(scale)]
            if args.synthetic:
                make.append("--synthetic")
            subprocess.run(make, check=True, stdout=sys.stderr)
        size = os.path.getsize(path)
        with open(path, "rb") as f:
            lines = sum(chunk.count(b"\n") for chunk in iter(
                lambda: f.read(1 << 24), b""))
        measure(["cat", path], 1)  # into the page cache
        seconds, peak = measure([args.program, path], args.runs)
        cat_seconds, cat_peak = measure(["cat", path], args.runs)
        results[scale] = (size, seconds, peak)
        print(f"{scale:>7}x {size / 1e6:>7.1f} {lines:>9} {seconds:>10.3f} "
              f"{size / 1e6 / seconds:>7.1f} {peak / 2**20:>9.1f} "
              f"{cat_seconds:>7.3f} {size / 1e6 / cat_seconds:>9.1f} "
              f"{cat_peak / 2**20:>8.1f}")

    ok = True
    if 1 in results:
        size, seconds, _ = results[1]
        rate = size / 1e6 / seconds
        verdict = "met" if rate >= 120 else "MISSED"
        ok &= rate >= 120
        print(f"throughput 1x: {rate:.1f} MB/s (target >= 120): {verdict}")
    for scale, (size, seconds, peak) in sorted(results.items()):
        limit = 2.5 * size + 16 * 2**20
        verdict = "met" if peak <= limit else "MISSED"
        ok &= peak <= limit
        print(f"memory {scale}x: {peak / 2**20:.1f} MiB (target <= "
              f"{limit / 2**20:.1f} MiB): {verdict}")
    if 1 in results and 4 in results:
        ratio = results[4][1] / results[1][1]
        verdict = "met" if ratio <= 4.6 else "MISSED"
        ok &= ratio <= 4.6
        print(f"time 4x / 1x: {ratio:.2f} (target <= 4.6): {verdict}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
