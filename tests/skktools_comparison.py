#!/usr/bin/env python3
"""brenlow's --merge and --exclude against skkdic-expr2 (skktools), SKK's
own tool for adding and subtracting dictionaries, on real vocabulary.

tests/skktools_comparison.py --program build/brenlow [--corpus EXPORT]...

The export: a Microsoft IME file (Shift_JIS, CR LF, no comments, so no
annotations) of readings of SKK-JISYO.L, .jinmei, .geo and .M, with words
that need SKK's (concat ...) form among them; and, with mecab-ipadic, a
Google Japanese Input export of its verbs and adjectives, converted with
--okuri-ari throughout. B is brenlow's plain conversion of an export (--to
euc-jp). Then, as sets of (section, reading, word):

  brenlow --merge A EXPORT --to euc-jp      = skkdic-expr2 A + B
  brenlow --exclude L EXPORT --to euc-jp    = skkdic-expr2 B - L
  brenlow --exclude L.cdb EXPORT --to euc-jp = skkdic-expr2 B - L

for A = SKK-JISYO.S and SKK-JISYO.M and L = SKK-JISYO.L. The merge must
also keep, for each reading of A, A's words first and in A's order, as
skkdic-expr2 does.

What skkdic-expr2 does, tried on small files first: it ignores annotations
when it compares words (A's "亜;note" and B's "亜" are one word, and a word
subtracted by "阿" goes whatever its annotation), keeps an annotation a
word already had and otherwise takes the added one; it compares (concat
...) forms as written, so (concat "x") and x are two words to it, where
brenlow decodes both to x; it drops okuri-ari blocks unless given -O, and takes a candidate starting
with "[" for a block in the okuri-nasi section too; it reads a CR before
the line end as part of the last word (B is written with --eol lf). So
the words are compared as written, annotations cut, on inputs where the
two tools agree on what a word is: EUC-JP, no okurigana blocks
(SKK-JISYO.S, .M and .L have none), no annotations in A nor in the export,
and words whose concat form brenlow writes as SKK-JISYO.L writes it (a pair
that differs only by the form is listed apart, not counted as a
difference). Differing pairs are printed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skk_text import decode_candidate  # noqa: E402
from skkdic_vocabulary import ime_line, load_slice  # noqa: E402
import okuri_ari_round_trip  # noqa: E402

SKIP = 77
SKK = "/usr/share/skk"
LARGE = os.path.join(SKK, "SKK-JISYO.L")
LARGE_CDB = os.path.join(SKK, "SKK-JISYO.L.cdb")
BASES = [os.path.join(SKK, "SKK-JISYO.S"), os.path.join(SKK, "SKK-JISYO.M")]
# (dictionary, every n-th okuri-nasi line) making the export.
SOURCES = [("SKK-JISYO.L", 12), ("SKK-JISYO.jinmei", 10),
           ("SKK-JISYO.geo", 60), ("SKK-JISYO.M", 3)]
# Words no dictionary has, each needing (concat ...) or close to it.
# ("[y" is left out: brenlow writes it as it is in the okuri-nasi section,
# where Emacs SKK reads it as a word, and skkdic-expr2 takes it for an
# okurigana block, dropping it and the words after it.)
MADE_UP = [("ぶれんろう", "a/b"), ("ぶれんろう", "c;d"), ("ぶれんろう", "(x)"),
           ("ぶれんろう", 'q"r'), ("かんじ", "漢/字"), ("かんじ", "幹;事")]


def okuri_ari_shape(reading):
    """Whether skkdic-expr2 files the reading as okuri-ari, whatever section
    it was in: a lower-case letter after a character that is not ASCII."""
    return (len(reading) > 1 and "a" <= reading[-1] <= "z"
            and not reading[-2].isascii())


def pairs(data, by_shape=False):
    """{(okuri_ari, reading, word)} of an EUC-JP dictionary: each candidate
    as written, its annotation cut (a ";" inside a (concat ...) form is
    written \\073); by_shape, okuri_ari as skkdic-expr2 takes it."""
    out = set()
    okuri_ari = None
    text = data.decode("euc_jis_2004", "surrogateescape")
    for line in text.replace("\r\n", "\n").split("\n"):
        if line == ";; okuri-ari entries.":
            okuri_ari = True
        elif line == ";; okuri-nasi entries.":
            okuri_ari = False
        elif line and not line.startswith(";") and " /" in line:
            reading, rest = line.split(" /", 1)
            for candidate in rest.split("/"):
                if candidate and not candidate.startswith("["):
                    out.add((okuri_ari_shape(reading) if by_shape
                             else okuri_ari, reading, candidate.split(";")[0]))
    return out


def orders(data):
    """{reading: [words as written, annotations cut]} of the okuri-nasi
    section."""
    out = {}
    text = data.decode("euc_jis_2004", "surrogateescape").replace("\r\n",
                                                                   "\n")
    nasi = text.split(";; okuri-nasi entries.\n", 1)[1]
    for line in nasi.split("\n"):
        if line and not line.startswith(";") and " /" in line:
            reading, rest = line.split(" /", 1)
            out[reading] = [c.split(";")[0] for c in rest.split("/") if c]
    return out


def same_word_otherwise_written(only_one, only_other):
    """The pairs of one side that the other holds in another written form
    (a concat form against the plain word): they are one word to brenlow
    and two to skkdic-expr2."""
    decoded = {(a, r, decode_candidate(w)) for a, r, w in only_other}
    return {p for p in only_one if (p[0], p[1], decode_candidate(p[2]))
            in decoded}


def run(command, label):
    proc = subprocess.run(command, capture_output=True)
    if proc.returncode != 0:
        sys.exit(f"{label} failed ({proc.returncode}): "
                 f"{proc.stderr.decode(errors='replace')}")
    return proc.stdout


def compare(label, brenlow_out, expr2_out, by_shape=False):
    """Failures: the pairs one side holds and the other lacks."""
    ours, theirs = pairs(brenlow_out, by_shape), pairs(expr2_out, by_shape)
    only_ours, only_theirs = ours - theirs, theirs - ours
    forms = same_word_otherwise_written(only_ours, only_theirs) | \
        same_word_otherwise_written(only_theirs, only_ours)
    only_ours -= forms
    only_theirs -= forms
    print(f"{label}: brenlow {len(ours)} pairs, skkdic-expr2 {len(theirs)}; "
          f"{len(forms)} differ only in how the word is written")
    for a, r, w in sorted(forms)[:20]:
        print(f"  written otherwise: {'okuri-ari' if a else 'okuri-nasi'} "
              f"{r} {w}")
    failures = []
    for side, found in (("only brenlow", only_ours),
                        ("only skkdic-expr2", only_theirs)):
        for a, r, w in sorted(found):
            failures.append(f"{label}: {side} has "
                            f"{'okuri-ari' if a else 'okuri-nasi'} {r} /{w}/")
    return failures


def export(path):
    rows = []
    for name, every in SOURCES:
        source = os.path.join(SKK, name)
        if os.path.exists(source):
            rows += [(r, w) for r, words in load_slice(source, every, 10**6)
                     for w in words]
    rows += MADE_UP
    with open(path, "wb") as f:
        f.write(b"!Microsoft IME Dictionary Tool\r\n" +
                b"".join(ime_line(r, w) for r, w in rows))
    return len(rows)


def verb_export(path):
    """Google Japanese Input's export of every 8th verb and adjective of
    mecab-ipadic, for --okuri-ari; its line count, 0 without mecab-ipadic."""
    if not os.path.exists(os.path.join(okuri_ari_round_trip.IPADIC,
                                       "Verb.csv")):
        return 0
    rows = [(r, w, pos) for pos, words in
            sorted(okuri_ari_round_trip.ime_entries().items())
            for r, w in words][::8]
    with open(path, "w", encoding="utf-8") as f:
        f.write("".join(f"{r}\t{w}\t{pos}\t\n" for r, w, pos in rows))
    return len(rows)


def without_annotations(source, path):
    """A copy of an EUC-JP dictionary with its annotations cut."""
    with open(source, "rb") as f:
        lines = f.read().split(b"\n")
    out = []
    for line in lines:
        if line and not line.startswith(b";") and b" /" in line:
            reading, rest = line.split(b" /", 1)
            line = reading + b" /" + b"/".join(
                c.split(b";")[0] for c in rest.split(b"/"))
        out.append(line)
    with open(path, "wb") as f:
        f.write(b"\n".join(out))


def compare_export(program, expr2, work, label, source, options,
                   by_shape=False):
    """Failures of one export, merged into each base and excluded."""
    failures = []
    plain = os.path.join(work, "B")
    with open(plain, "wb") as f:
        f.write(run([program, *options, "--to", "euc-jp", "--eol", "lf",
                     source], "brenlow"))
    for base in BASES:
        name = os.path.basename(base)
        a = os.path.join(work, name)
        without_annotations(base, a)
        ours = run([program, *options, "--merge", a, "--to", "euc-jp",
                    source], "brenlow --merge")
        theirs = run([expr2, "-d", work, a, "+", plain], "skkdic-expr2")
        failures += compare(f"{name} + {label}", ours, theirs, by_shape)
        # A's words first, in A's order.
        old, merged = orders(open(a, "rb").read()), orders(ours)
        for reading, words in old.items():
            if merged.get(reading, [])[:len(words)] != words:
                failures.append(f"{name} + {label}: {reading} was {words}, "
                                f"brenlow wrote {merged.get(reading)}")
    theirs = run([expr2, "-d", work, plain, "-", LARGE], "skkdic-expr2")
    for dictionary in (LARGE, LARGE_CDB):
        if not os.path.exists(dictionary):
            print(f"{dictionary} is missing: not compared")
            continue
        ours = run([program, *options, "--exclude", dictionary, "--to",
                    "euc-jp", source], "brenlow --exclude")
        failures += compare(f"{label} - {os.path.basename(dictionary)}",
                            ours, theirs, by_shape)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--corpus", action="append", default=[],
                        help="an IME export compared as well, such as the "
                        "benchmark's corpus (bench/make_corpus.py)")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    expr2 = shutil.which("skkdic-expr2")
    if not expr2:
        print("skip: skkdic-expr2 is not installed (Debian package skktools)")
        return SKIP
    if not all(os.path.exists(p) for p in [LARGE] + BASES):
        print("skip: skkdic is not installed")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory() as work:
        nouns = os.path.join(work, "nouns.txt")
        verbs = os.path.join(work, "verbs.txt")
        exports = [("nouns", nouns, export(nouns), []),
                   ("verbs --okuri-ari", verbs, verb_export(verbs),
                    ["--okuri-ari"])]
        for label, source, lines, options in exports:
            if not lines:
                print(f"{label}: mecab-ipadic is not installed: not compared")
                continue
            print(f"{label}: {lines} lines")
            failures += compare_export(program, expr2, work, label, source,
                                       options)
        # An export made from SKK dictionaries may hold readings such as
        # うりおしm: brenlow files them as the export gives them, under
        # okuri-nasi, and skkdic-expr2 by their shape, under okuri-ari.
        for corpus in args.corpus:
            print(f"{corpus}: sections as skkdic-expr2 tells them")
            failures += compare_export(program, expr2, work, corpus,
                                       os.path.abspath(corpus), [], True)
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
