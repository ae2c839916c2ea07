#!/usr/bin/env python3
"""Measures the okuri-ari keys brenlow derives against SKK's own dictionary.

The verbs and adjectives of a real word list with conjugation classes
(Debian's mecab-ipadic sources, EUC-JP CSV: each word's dictionary form,
reading and class) become a Google Japanese Input export in UTF-8, with
Mozc's part-of-speech names; brenlow --okuri-ari converts it. Of the
unique (key, candidate) pairs written whose candidate SKK-JISYO.L's
okuri-ari section lists under any key, the share it lists under the same
key is printed per class and overall. Fails below 88 % overall; skips
(77) without mecab-ipadic or skkdic.
"""
import argparse
import os
import subprocess
import sys
import tempfile

SKIP = 77
THRESHOLD = 88.0
IPADIC = "/usr/share/mecab/dic/ipadic"
JISYO = "/usr/share/skk/SKK-JISYO.L"

# mecab-ipadic's conjugation type (its prefix before "・" for the rows) to
# Mozc's name. Classical types (上二, 下二) have none.
GODAN_ROWS = {"カ": "カ", "ガ": "ガ", "サ": "サ", "タ": "タ", "ナ": "ナ",
              "バ": "バ", "マ": "マ", "ラ": "ラ", "ワ": "ワ"}


def mozc_name(conjugation):
    kind, _, detail = conjugation.partition("・")
    if kind in ("五段", "四段") and detail[:1] in GODAN_ROWS:
        if kind == "四段" and detail.startswith("ハ"):
            return "動詞ハ行四段"
        return f"動詞{GODAN_ROWS[detail[0]]}行五段"
    if kind == "四段" and detail.startswith("ハ"):
        return "動詞ハ行四段"
    if kind == "一段":
        return "動詞一段"
    if kind == "カ変":
        return "動詞カ変"
    if conjugation == "サ変・−ズル":
        return "動詞ザ変"
    if kind == "サ変":
        return "動詞サ変"
    if kind == "ラ変":
        return "動詞ラ変"
    if kind == "形容詞":
        return "形容詞"
    return None


def hiragana(katakana):
    return "".join(chr(ord(c) - 0x60) if "ァ" <= c <= "ヶ" else c
                   for c in katakana)


def ime_entries():
    """{Mozc name: [(reading, word)]} of the dictionary forms."""
    by_class = {}
    for name in ("Verb.csv", "Adj.csv"):
        with open(os.path.join(IPADIC, name), encoding="euc_jp") as f:
            for line in f:
                fields = line.rstrip("\n").split(",")
                if len(fields) < 12 or fields[9] != "基本形":
                    continue
                pos = mozc_name(fields[8])
                if pos is None or fields[11] == "*":
                    continue
                by_class.setdefault(pos, []).append(
                    (hiragana(fields[11]), fields[0]))
    return by_class


def jisyo_okuri_ari():
    """{(key, candidate)} and {candidate} of SKK-JISYO.L's okuri-ari
    section; candidates of [okurigana/.../] blocks count under the key."""
    pairs, candidates = set(), set()
    with open(JISYO, "rb") as f:
        text = f.read().decode("euc_jis_2004", errors="replace")
    in_ari = False
    for line in text.split("\n"):
        if line.startswith(";; okuri-ari entries."):
            in_ari = True
            continue
        if line.startswith(";; okuri-nasi entries."):
            break
        if not in_ari or line.startswith(";") or " /" not in line:
            continue
        key, rest = line.split(" /", 1)
        for field in rest.split("/"):
            word = field.lstrip("[").split(";", 1)[0]
            if not word or word == "]" or field.startswith("["):
                continue
            pairs.add((key, word))
            candidates.add(word)
    return pairs, candidates


def okuri_ari_written(program, entries, work):
    """The unique (key, candidate) pairs brenlow writes for entries."""
    source = os.path.join(work, "ime.txt")
    with open(source, "w", encoding="utf-8") as f:
        f.write("".join(f"{r}\t{w}\t{pos}\t\n" for r, w, pos in entries))
    proc = subprocess.run([program, "--okuri-ari", "--eol", "lf", source],
                          capture_output=True)
    if proc.returncode != 0:
        sys.exit(f"brenlow failed: {proc.stderr.decode()}")
    written = set()
    section = None
    for line in proc.stdout.decode("utf-8").split("\n"):
        if line.startswith(";;"):
            section = "ari" if "okuri-ari entries." in line else (
                "nasi" if "okuri-nasi entries." in line else section)
            continue
        if section == "ari" and " /" in line:
            key, rest = line.split(" /", 1)
            written.update((key, w) for w in rest.rstrip("/").split("/"))
    return written


def padded(name, width=16):
    """name padded to width columns, wide characters counting two."""
    return name + " " * (width - sum(2 if ord(c) > 0xFF else 1 for c in name))


def share(written, jisyo_pairs, jisyo_candidates):
    listed = [p for p in written if p[1] in jisyo_candidates]
    same_key = sum(1 for p in listed if p in jisyo_pairs)
    return same_key, len(listed), len(written)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    args = parser.parse_args()
    if not os.path.exists(os.path.join(IPADIC, "Verb.csv")):
        print("skip: mecab-ipadic is not installed")
        return SKIP
    if not os.path.exists(JISYO):
        print("skip: skkdic is not installed")
        return SKIP
    program = os.path.abspath(args.program)
    jisyo_pairs, jisyo_candidates = jisyo_okuri_ari()
    everything = set()
    print(f"{'class':<16}{'entries':>8}{'pairs':>8}{'in L':>8}"
          f"{'same key':>10}{'share':>8}")
    with tempfile.TemporaryDirectory() as work:
        for pos, entries in sorted(ime_entries().items()):
            written = okuri_ari_written(
                program, [(r, w, pos) for r, w in entries], work)
            everything |= written
            same, listed, total = share(written, jisyo_pairs,
                                        jisyo_candidates)
            percent = f"{100.0 * same / listed:.1f}%" if listed else "-"
            print(f"{padded(pos)}{len(entries):>8}{total:>8}{listed:>8}"
                  f"{same:>10}{percent:>8}")
    same, listed, total = share(everything, jisyo_pairs, jisyo_candidates)
    overall = 100.0 * same / listed if listed else 0.0
    print(f"{'overall':<16}{'':>8}{total:>8}{listed:>8}{same:>10}"
          f"{overall:>7.1f}%")
    if overall < THRESHOLD:
        print(f"FAIL: {overall:.1f} % of the pairs SKK-JISYO.L can judge "
              f"have its key, below {THRESHOLD:.0f} %")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
