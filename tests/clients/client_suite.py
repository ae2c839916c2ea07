#!/usr/bin/env python3
"""Converts dictionaries with brenlow and reads every reading back through
a real SKK client: Emacs SKK (ddskk) or libskk.

Each reading must give exactly the words of the input, in input order, as
the client inserts them. Failures name the reading, the word expected, the
word the client gave and the client.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(HERE, ".."))
from skkdic_vocabulary import ime_line, load_slice  # noqa: E402

SKIP = 77
TAB = 0x09


def is_lead(byte):
    return 0x81 <= byte <= 0x9F or byte >= 0xE0


def chars(data):
    """The Shift_JIS characters of data, as byte strings."""
    out, i = [], 0
    while i < len(data):
        n = 2 if is_lead(data[i]) and i + 1 < len(data) else 1
        out.append(data[i:i + n])
        i += n
    return out


def is_trail(byte):
    return 0x40 <= byte <= 0x7E or 0x80 <= byte <= 0xFC


def decodes(line):
    """Whether a Shift_JIS line decodes: every lead byte has a trail byte."""
    i = 0
    while i < len(line):
        if 0x81 <= line[i] <= 0x9F or 0xE0 <= line[i] <= 0xFC:
            if i + 1 >= len(line) or not is_trail(line[i + 1]):
                return False
            i += 2
        elif line[i] >= 0xFD:
            return False
        else:
            i += 1
    return True


def typed(reading):
    """A Shift_JIS reading as an SKK user types it, by Python's tables:
    katakana as hiragana (ヴ as う゛), half-width katakana as hiragana with
    their voicing marks joined, full-width ASCII as ASCII but ：, ； and ？."""
    text = reading.decode("cp932", "surrogateescape")
    out, i = "", 0
    while i < len(text):
        c = text[i]
        if "\uFF61" <= c <= "\uFF9F":
            pair = unicodedata.normalize("NFKC", text[i:i + 2])
            if (len(pair) == 1 and "\u30A1" <= pair <= "\u30F6"
                    and pair != "ヴ" and text[i + 1:i + 2] in ("ﾞ", "ﾟ")):
                c, i = pair, i + 1
            else:
                c = {"ﾞ": "゛", "ﾟ": "゜"}.get(c) or unicodedata.normalize(
                    "NFKC", c)
        if c in "ヴゔ":
            out += "う゛"
        elif c in "ヵヶ":
            out += "かけ"["ヵヶ".index(c)]
        elif "\u30A1" <= c <= "\u30F3" or c in "ヽヾ":
            out += chr(ord(c) - 0x60)
        elif c == "\u3000":
            out += " "
        elif "\uFF01" <= c <= "\uFF5E" and c not in "：；？":
            out += chr(ord(c) - 0xFEE0)
        else:
            out += c
        i += 1
    return out.encode("cp932", "surrogateescape")


def expected_entries(ime_text):
    """{reading: [word]} in order, the words as a client should show them."""
    entries = {}
    lines = ime_text.replace(b"\r\n", b"\n").replace(b"\r", b"\n")
    for number, line in enumerate(lines.split(b"\n")):
        if not line or line.startswith(b"!") or not decodes(line):
            continue
        cs = chars(line)
        if b"\t" not in cs:
            continue
        cut = cs.index(b"\t")
        reading, rest = typed(b"".join(cs[:cut])), cs[cut + 1:]
        word = b"".join(rest[:rest.index(b"\t")] if b"\t" in rest else rest)
        if (not reading or not word or reading.startswith(b";")
                or b"\x81\x40" in chars(reading)
                or any(b < 0x21 or b == 0x7F for b in reading)):
            continue
        entries.setdefault(reading, []).append(word)
    return entries


KANA = {}
for row, romaji in [
        ("あいうえお", "a i u e o"), ("かきくけこ", "ka ki ku ke ko"),
        ("がぎぐげご", "ga gi gu ge go"), ("さしすせそ", "sa si su se so"),
        ("ざじずぜぞ", "za zi zu ze zo"), ("たちつてと", "ta ti tu te to"),
        ("だぢづでど", "da di du de do"), ("なにぬねの", "na ni nu ne no"),
        ("はひふへほ", "ha hi hu he ho"), ("ばびぶべぼ", "ba bi bu be bo"),
        ("ぱぴぷぺぽ", "pa pi pu pe po"), ("まみむめも", "ma mi mu me mo"),
        ("やゆよ", "ya yu yo"), ("らりるれろ", "ra ri ru re ro"),
        ("わをん", "wa wo nn"), ("ぁぃぅぇぉ", "xa xi xu xe xo"),
        ("ゃゅょっゎ", "xya xyu xyo xtu xwa"), ("ー", "-")]:
    KANA.update(zip(row, romaji.split()))


def romaji_of(reading):
    """How a user types a hiragana reading, or None."""
    try:
        return "".join(KANA[c] for c in reading)
    except KeyError:
        return None


def convert(program, source, options, work):
    out = os.path.join(work, os.path.basename(source) + ".skk")
    proc = subprocess.run([program] + options + ["-o", out, source],
                          capture_output=True)
    if proc.returncode != 0:
        sys.exit(f"brenlow failed on {source}: {proc.stderr.decode()}")
    return out


def check_emacs(program, dictionaries, work):
    failures = checked = 0
    for name, source in dictionaries:
        with open(source, "rb") as f:
            expected = expected_entries(f.read())
        skk = convert(program, source, [], work)
        readings = os.path.join(work, "readings.txt")
        with open(readings, "w") as f:
            f.write("".join(r.hex() + "\n" for r in expected))
        proc = subprocess.run(
            ["emacs", "-Q", "--batch", "-l",
             os.path.join(HERE, "emacs_lookup.el"), skk, "cp932", readings],
            capture_output=True, timeout=600)
        got = {}
        for line in proc.stdout.decode().splitlines():
            fields = line.split("\t")
            if fields[0].startswith("R"):
                got[bytes.fromhex(fields[0][1:])] = [
                    bytes.fromhex(w[1:]) for w in fields[1:]]
        for reading, words in expected.items():
            checked += 1
            back = got.get(reading)
            if back != words:
                failures += 1
                report("Emacs SKK", reading.decode("cp932", "replace"),
                       [w.decode("cp932", "backslashreplace") for w in words],
                       None if back is None else
                       [w.decode("cp932", "backslashreplace") for w in back])
        print(f"Emacs SKK, {name}: {len(expected)} readings checked")
        if proc.returncode != 0:
            print(proc.stderr.decode()[-2000:])
            failures += 1
    return failures, checked


def octal_before_non_ascii(word):
    """libskk 1.0.5 garbles a concat word whose octal escape is directly
    followed by a non-ASCII character."""
    concat = ("/" in word or ";" in word or '"' in word or "\\" in word)
    return concat and re.search(r'[/;"\\][^\x00-\x7f]', word) is not None


def check_libskk(program, dictionaries, work):
    failures = checked = expected_failures = 0
    for name, source in dictionaries:
        with open(source, "rb") as f:
            raw = expected_entries(f.read())
        expected, left_out = {}, 0
        for reading, words in raw.items():
            try:
                text = reading.decode("cp932")
                decoded = [w.decode("cp932") for w in words]
            except UnicodeDecodeError:
                left_out += 1  # bytes that are no CP932 text
                continue
            romaji = romaji_of(text)
            if romaji is None:
                left_out += 1  # not typable as romaji
                continue
            # libskk lists a word once, however often it was filed.
            unique = list(dict.fromkeys(decoded))
            expected[romaji] = (text, unique)
        skk = convert(program, source, ["--sort", "--eol", "lf"], work)
        proc = subprocess.run(
            ["/usr/bin/python3", os.path.join(HERE, "libskk_lookup.py"), skk,
             "CP932"], input="".join(r + "\n" for r in expected).encode(),
            capture_output=True, timeout=600)
        if proc.returncode != 0:
            print(proc.stderr.decode()[-2000:])
            return failures + 1, checked, expected_failures
        got = dict(json.loads(line) for line in proc.stdout.decode().splitlines())
        for romaji, (reading, words) in expected.items():
            checked += 1
            back = got.get(romaji)
            if back == words:
                continue
            known = [w for w in words if octal_before_non_ascii(w)]
            if known and back is not None and len(back) == len(words) and all(
                    b == w for b, w in zip(back, words) if w not in known):
                expected_failures += 1
                print(f"expected failure (libskk 1.0.5 octal escape before a "
                      f"non-ASCII character): reading {reading}: {known}")
                continue
            failures += 1
            report("libskk", reading, words, back)
        print(f"libskk, {name}: {len(expected)} readings checked, {left_out} "
              f"left out (not typable as romaji or not CP932)")
    return failures, checked, expected_failures


def report(client, reading, expected, got):
    if got is None:
        print(f"FAIL {client}: reading {reading}: expected {expected}, "
              f"the client found no entry")
        return
    for i in range(max(len(expected), len(got))):
        e = expected[i] if i < len(expected) else "<none>"
        g = got[i] if i < len(got) else "<none>"
        if e != g:
            print(f"FAIL {client}: reading {reading}: word {i + 1} expected "
                  f"{e!r}, the client gave {g!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"],
                        required=True)
    parser.add_argument("--readings", type=int, default=2500)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    if args.client == "emacs" and not os.path.isdir(
            "/usr/share/emacs/site-lisp/ddskk"):
        print("skip: ddskk is not installed")
        return SKIP
    if args.client == "libskk" and subprocess.run(
            ["/usr/bin/python3", "-c", "import gi; gi.require_version('Skk', "
             "'1.0')"], capture_output=True).returncode != 0:
        print("skip: python3-gi and gir1.2-skk-1.0 are not installed")
        return SKIP
    with tempfile.TemporaryDirectory() as work:
        dictionaries = [
            ("examples", os.path.join(ROOT, "examples", "dictionary.txt")),
            ("hard words", os.path.join(HERE, "hard_words.txt"))]
        jisyo = "/usr/share/skk/SKK-JISYO.L"
        if os.path.exists(jisyo):
            entries = load_slice(jisyo, 20, args.readings)
            if args.client == "libskk":
                # Typable readings only, so that the slice stays large.
                entries = [(r, w) for r, w in load_slice(jisyo, 5, 10**6)
                           if romaji_of(r)][:args.readings]
            path = os.path.join(work, "skk-jisyo-l-slice.txt")
            with open(path, "wb") as f:
                f.write(b"".join(ime_line(r, w) for r, ws in entries
                                 for w in ws))
            dictionaries.append((f"SKK-JISYO.L slice", path))
        if args.client == "emacs":
            failures, checked = check_emacs(program, dictionaries, work)
            expected_failures = 0
        else:
            failures, checked, expected_failures = check_libskk(
                program, dictionaries, work)
    print(f"{args.client}: {checked} readings checked, {failures} failures, "
          f"{expected_failures} expected failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
