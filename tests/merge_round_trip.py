#!/usr/bin/env python3
"""Real SKK dictionaries through --merge, where nothing is new.

Every text dictionary of Debian's skkdic and skkdic-extra (SKK-JISYO.L,
175,000 lines, and the others, in EUC-JP, EUC-JIS-2004 and UTF-8) and a
personal dictionary as Emacs SKK writes it (coding line, okurigana
blocks, comments) is merged with:

- an input that files nothing: the output must be the dictionary byte for
  byte;
- an IME text dictionary made of its own okuri-nasi words (concat forms
  undone, annotations as comments): every word is already there, so the
  output must again be the dictionary byte for byte, and -v must count no
  word added.
"""
import argparse
import glob
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skk_text import decode_candidate  # noqa: E402

SKIP = 77

PERSONAL = """;; -*- mode: fundamental; coding: euc-jis-2004 -*-
;; okuri-ari entries.
おくr /送/贈/[る/送/贈/]/[り/送/]/
かk /書/描/[く/書/]/[か/描/]/
;; okuri-nasi entries.
とうきょう /東京/
せんせい /先生;teacher/(concat "先生\\057師")/
かな /仮名/
"""


def coding_of(raw):
    first = raw.split(b"\n", 1)[0]
    match = re.search(rb"coding: *([-\w]+)", first)
    name = match.group(1).decode() if match else "euc-jp"
    return {"euc-jp": "euc_jp", "euc-jis-2004": "euc_jis_2004",
            "utf-8": "utf-8"}.get(name.replace("-unix", ""), "euc_jp")


def own_words(raw):
    """IME TAB text (UTF-8) of the dictionary's okuri-nasi pairs."""
    text = raw.decode(coding_of(raw), errors="replace")
    lines = []
    in_nasi = False
    for line in text.split("\n"):
        if line == ";; okuri-nasi entries.":
            in_nasi = True
            continue
        if not in_nasi or line.startswith(";") or " /" not in line:
            continue
        reading, rest = line.split(" /", 1)
        for candidate in rest.rstrip("/").split("/"):
            if not candidate or candidate.startswith("["):
                continue
            word, _, annotation = candidate.partition(";")
            word = decode_candidate(word)
            if word is None or "\ufffd" in word or any(c < " " for c in word):
                continue
            note = decode_candidate(annotation) if annotation else ""
            if note is None or "\ufffd" in note or any(c < " " for c in note):
                note = ""
            lines.append(f"{reading}\t{word}\t名詞\t{note}\n")
    return "".join(lines).encode("utf-8")


def run(program, dictionary, ime, folder):
    ime_path = os.path.join(folder, "ime.txt")
    with open(ime_path, "wb") as f:
        f.write(ime)
    proc = subprocess.run(
        [program, "-v", "--raw-readings", "--merge", dictionary, ime_path],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    return proc


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True)
    args = parser.parse_args()
    dictionaries = sorted(
        p for p in glob.glob("/usr/share/skk/SKK-JISYO*")
        if not p.endswith(".cdb") and os.path.isfile(p))
    if "/usr/share/skk/SKK-JISYO.L" not in dictionaries:
        print("skipped: Debian's skkdic is not installed")
        return SKIP
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        personal = os.path.join(folder, "personal.jisyo")
        with open(personal, "wb") as f:
            f.write(PERSONAL.encode("euc_jis_2004"))
        for dictionary in dictionaries + [personal]:
            with open(dictionary, "rb") as f:
                raw = f.read()
            if b";; okuri-nasi entries." not in raw:
                continue  # not an SKK dictionary (a tutorial, a list)
            for name, ime in (("nothing filed", b"\n"),
                              ("its own words", own_words(raw))):
                proc = run(args.program, dictionary, ime, folder)
                same = proc.returncode == 0 and proc.stdout == raw
                added = re.search(rb"; (\d+) words added", proc.stderr)
                if not same or added is None or added.group(1) != b"0":
                    failures += 1
                    at = next((i for i, (a, b) in enumerate(
                        zip(proc.stdout, raw)) if a != b),
                        min(len(proc.stdout), len(raw)))
                    print(f"FAIL {dictionary} ({name}): status "
                          f"{proc.returncode}, {len(proc.stdout)} bytes "
                          f"against {len(raw)}, first difference at byte "
                          f"{at}: {proc.stdout[at - 40:at + 40]!r} against "
                          f"{raw[at - 40:at + 40]!r}")
                    print(proc.stderr.decode(errors="replace")[-2000:])
                else:
                    lines = ime.count(b"\n")
                    print(f"ok   {dictionary} ({name}): {lines} lines, "
                          "byte for byte")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
