#!/usr/bin/env python3
"""Converts real vocabulary from SKK's own dictionary and reads it back.

A slice of SKK-JISYO.L (Debian's skkdic, EUC-JP) becomes an IME text
dictionary in CP932 with CR LF, the candidates of each reading spread over
the file; brenlow converts it, and every word must come back under its
reading, in input order, once the concat form is undone.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skk_text import decode_candidate, parse_skk_dictionary  # noqa: E402

SKIP = 77


def load_slice(path, every, limit):
    """(reading, [words]) pairs from every n-th okuri-nasi line."""
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("euc_jis_2004", errors="replace")
    entries = []
    in_nasi = False
    count = 0
    for line in text.split("\n"):
        if line.startswith(";; okuri-nasi entries."):
            in_nasi = True
            continue
        if not in_nasi or line.startswith(";") or " /" not in line:
            continue
        count += 1
        if count % every:
            continue
        reading, rest = line.split(" /", 1)
        if reading.startswith("!"):
            continue  # a comment line in the IME format
        words = []
        for candidate in rest.rstrip("/").split("/"):
            candidate = candidate.split(";", 1)[0]  # annotation
            word = decode_candidate(candidate)
            if word is None or "\t" in word or word == "":
                continue
            try:
                # CP932 maps some characters to others (¢ to ￠): compare
                # with what the bytes read back as.
                word = word.encode("cp932").decode("cp932")
            except UnicodeEncodeError:
                continue
            words.append(word)
        try:
            reading.encode("cp932")
        except UnicodeEncodeError:
            continue
        if words:
            entries.append((reading, words))
        if len(entries) >= limit:
            break
    return entries


def ime_line(reading, word):
    # In the IME format a literal double quote is written twice.
    return (reading + "\t" + word.replace('"', '""') + "\t名詞\r\n").encode(
        "cp932")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--dictionary", default="/usr/share/skk/SKK-JISYO.L")
    parser.add_argument("--every", type=int, default=20)
    parser.add_argument("--readings", type=int, default=3000)
    args = parser.parse_args()
    if not os.path.exists(args.dictionary):
        print(f"skip: {args.dictionary} is missing (Debian package skkdic)")
        return SKIP

    entries = load_slice(args.dictionary, args.every, args.readings)
    # Candidates go out round by round, so that a reading recurs far from
    # its first appearance.
    lines = []
    rounds = max(len(words) for _, words in entries)
    for r in range(rounds):
        for reading, words in entries:
            if r < len(words):
                lines.append(ime_line(reading, words[r]))
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "vocabulary.txt")
        with open(source, "wb") as f:
            f.write(b"!Microsoft IME Dictionary Tool\r\n" + b"".join(lines))
        proc = subprocess.run([args.program, source], capture_output=True)
    # The one warning allowed names readings no key sequence gives (such
    # as "#。#。#": "." converts at once after a digit too).
    warnings = [line for line in proc.stderr.splitlines() if b": readings no "
                b"key sequence gives in Emacs SKK or libskk" not in line]
    if proc.returncode != 0 or warnings:
        print(f"FAIL: exit status {proc.returncode}, stderr {proc.stderr!r}")
        return 1
    if b"\r\n" not in proc.stdout or re.search(rb"[^\r]\n", proc.stdout):
        print("FAIL: output lines do not all end in CR LF")
        return 1
    got = parse_skk_dictionary(proc.stdout.decode("cp932"))
    failures = 0
    if [r for r, _ in got] != [r for r, _ in entries]:
        print("FAIL: readings differ from the input's order of appearance")
        failures += 1
    got_words = dict(got)
    for reading, words in entries:
        back = [decode_candidate(c) for c in got_words.get(reading, [])]
        if back != words:
            failures += 1
            if failures < 20:
                print(f"FAIL reading {reading}: expected {words}, got {back}")
    total = sum(len(w) for _, w in entries)
    print(f"{len(entries)} readings, {total} words from {args.dictionary}: "
          f"{'all read back' if not failures else f'{failures} failures'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
