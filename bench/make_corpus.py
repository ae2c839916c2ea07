#!/usr/bin/env python3
"""Builds the benchmark corpus: an IME text dictionary (CP932, CR LF).

From real vocabulary when Debian's skkdic and skkdic-extra are installed:
SKK-JISYO.L and the package's other large dictionaries, every candidate one
line, the lines shuffled with a fixed seed so that a reading recurs far from
its first appearance. Without them, a synthetic dictionary of similar shape.
--copies N repeats the corpus N times, the readings of each copy made
distinct.
"""
import argparse
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "tests"))
from skk_text import decode_candidate  # noqa: E402

SOURCES = ["L", "jinmei", "geo", "station", "propernoun", "fullname",
           "zipcode", "office.zipcode", "law", "edict"]
SEED = 20261207


def real_lines(folder):
    lines = []
    for name in SOURCES:
        path = os.path.join(folder, "SKK-JISYO." + name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            text = f.read().decode("euc_jis_2004", errors="replace")
        for line in text.split("\n"):
            if line.startswith(";") or " /" not in line:
                continue
            reading, rest = line.split(" /", 1)
            if reading.startswith("!"):
                continue
            try:
                reading_bytes = reading.encode("cp932")
            except UnicodeEncodeError:
                continue
            for candidate in rest.rstrip("/").split("/"):
                word = decode_candidate(candidate.split(";", 1)[0])
                if not word or "\t" in word:
                    continue
                try:
                    word_bytes = word.replace('"', '""').encode("cp932")
                except UnicodeEncodeError:
                    continue
                lines.append((reading_bytes, word_bytes))
    return lines


def synthetic_lines(count):
    rng = random.Random(SEED)
    kana = [bytes([0x82, b]) for b in range(0x9F, 0xF2)]
    kanji = [bytes([hi, lo]) for hi in range(0x88, 0x98)
             for lo in range(0x40, 0xFC) if lo != 0x7F]
    readings = [b"".join(rng.choice(kana) for _ in range(rng.randint(2, 8)))
                for _ in range(count // 4)]
    lines = []
    for _ in range(count):
        reading = readings[min(int(rng.paretovariate(1.2)) - 1,
                               len(readings) - 1) if rng.random() < 0.3
                           else rng.randrange(len(readings))]
        word = b"".join(rng.choice(kanji) for _ in range(rng.randint(1, 6)))
        if rng.random() < 0.01:
            word += b"/x"
        lines.append((reading, word))
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--copies", type=int, default=1)
    parser.add_argument("--skk-folder", default="/usr/share/skk")
    parser.add_argument("--synthetic", action="store_true")
    args = parser.parse_args()
    lines = None if args.synthetic else real_lines(args.skk_folder)
    kind = "SKK-JISYO.L + skkdic-extra"
    if lines is None:
        kind = "synthetic"
        lines = synthetic_lines(650000)
    random.Random(SEED).shuffle(lines)
    with open(args.output, "wb") as out:
        out.write(b"!Microsoft IME Dictionary Tool\r\n")
        for copy in range(args.copies):
            suffix = b"" if copy == 0 else str(copy).encode()
            out.write(b"".join(r + suffix + b"\t" + w + b"\t\x96\xbc\x8e\x8c\r\n"
                               for r, w in lines))
    print(f"{args.output}: {kind}, {len(lines) * args.copies} lines, "
          f"{os.path.getsize(args.output) / 1e6:.1f} MB")


if __name__ == "__main__":
    main()
