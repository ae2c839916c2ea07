#!/usr/bin/env python3
"""Types conjugated verbs and adjectives in a real SKK client, Emacs SKK
(ddskk) or libskk, with a dictionary brenlow made with --okuri-ari from
each IME's export: Google Japanese Input's names in UTF-8, Microsoft IME's
in Shift_JIS, ATOK's (with registration marks) in UTF-16.

A capital letter marks where the okurigana starts, as SKK users type: the
client must find the word under the okuri-ari key and show the conjugated
form. The same for the verbs and adjectives of the macOS exports in
examples/ (Kotoeri's text, macOS's CSV; every such line must be in
EXAMPLE_WORDS), converted on the README's recipe for the client; the
property list, which has no part of speech, must convert with no
okuri-ari entry and its words found by typing their readings. Then, with
Debian's mecab-ipadic present, its verbs and adjectives
(as in okuri_ari_round_trip.py) make one large sorted dictionary, in which
a sample of them is typed up to the first okurigana kana: the client must
offer the word's stem, found by its binary search. Failures name the
dictionary, the keys typed, what was expected and what the client showed.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
from client_suite import KANA, RECIPES, missing_client  # noqa: E402
import okuri_ari_round_trip  # noqa: E402
import typed_readings_suite  # noqa: E402

SKIP = 77
EXAMPLES = typed_readings_suite.EXAMPLES
# Words of the large dictionary typed, at most.
SAMPLE = 150
LIBSKK_OPTIONS = ["--sort=bytes", "--eol", "lf"]

# reading, word, part of speech as Google Japanese Input, Microsoft IME and
# ATOK export it (None: that IME has no name for it), [(keys, text shown)].
WORDS = [
    ("かく", "書く", "動詞カ行五段", "か行五段", "カ行五段*",
     [("KaKu", "書く"), ("KaIta", "書いた")]),
    ("たべる", "食べる", "動詞一段", "一段動詞", "一段動詞",
     [("TaBeta", "食べた")]),
    ("みる", "見る", "動詞一段", "一段動詞", "一段動詞$", [("MiNai", "見ない")]),
    ("わらう", "笑う", "動詞ワ行五段", "あわ行五段", "ワ行五段",
     [("WaraTta", "笑った"), ("WaraWanai", "笑わない")]),
    ("うつくしい", "美しい", "形容詞", "形容詞", "形容詞イ",
     [("UtsukuShii", "美しい")]),
    ("たかい", "高い", "形容詞", "形容詞", "形容詞*",
     [("TakaKatta", "高かった")]),
    ("かんじる", "感じる", "動詞一段", "一段動詞", "一段動詞",
     [("KanJiru", "感じる")]),
    ("くる", "来る", "動詞カ変", None, "カ変動詞",
     [("KuReba", "来れば"), ("KoNai", "来ない")]),
    ("ぐぐる", "ググる", "動詞ラ行五段", "ら行", "ラ行五段$",
     [("GuguTta", "ググった"), ("GuguRanai", "ググらない")]),
    # Hostile stems, which must come back as text: the first reads as Lisp,
    # which Emacs SKK would run (Emacs would exit with status 42); the
    # second starts with "[", which Emacs SKK would read as an okurigana
    # block, losing it and the candidates after it (乙 must be offered too).
    ("ぽにょく", "(kill-emacs 42)く", "動詞カ行五段", "か行五段", "カ行五段",
     [("PonyoKu", "(kill-emacs 42)く"), ("PonyoKi", "(kill-emacs 42)き")]),
    ("ほげる", "[甲る", "動詞一段", "一段動詞", "一段動詞",
     [("HogeRu", "[甲る", "乙"), ("HogeNai", "[甲ない")]),
    ("ほげる", "乙る", "動詞一段", "一段動詞", "一段動詞", []),
]


# The verbs and adjectives of the macOS exports in examples/, as each
# names them: (example, reading, word, part of speech, [(keys, text shown)]),
# typed in the forms used above for the same classes.
EXAMPLE_WORDS = [
    ("kotoeri.txt", "はしる", "走る", "ラ行五段",
     [("HasiRu", "走る"), ("HasiTta", "走った"), ("HasiRanai", "走らない")]),
    ("kotoeri.txt", "かく", "書く", "カ行五段",
     [("KaKu", "書く"), ("KaIta", "書いた")]),
    ("kotoeri.txt", "たべる", "食べる", "一段",
     [("TaBeru", "食べる"), ("TaBeta", "食べた")]),
    ("kotoeri.txt", "うつくしい", "美しい", "形容詞",
     [("UtsukuShii", "美しい"), ("UtsukuShikatta", "美しかった")]),
    ("macos.csv", "かける", "掛ける", "一段",
     [("KaKeru", "掛ける"), ("KaKeta", "掛けた")]),
    ("macos.csv", "つかう", "使う", "ア行五段",
     [("TukaU", "使う"), ("TukaTta", "使った"), ("TukaWanai", "使わない"),
      ("TukaEba", "使えば")]),
]
# The names of verbs and adjectives among macOS's parts of speech (サ変名詞
# stays okuri-nasi, as in SKK's dictionaries).
MACOS_CONJUGATED = ("五段", "一段", "形容詞")


def example_words_listed():
    """Failures: a verb or adjective line of the examples missing from
    EXAMPLE_WORDS, or a row of it the example does not hold."""
    listed = {(e, r, w, pos) for e, r, w, pos, _ in EXAMPLE_WORDS}
    held = {(name, fields[0], fields[1], fields[2])
            for name in {e for e, *_ in EXAMPLE_WORDS}
            for _, fields in typed_readings_suite.example_fields(name)
            if len(fields) > 2 and fields[2].endswith(MACOS_CONJUGATED)}
    return ([f"examples/{e}: {r} {w} {pos} is not typed here"
             for e, r, w, pos in sorted(held - listed)] +
            [f"examples/{e} holds no line {r} {w} {pos}"
             for e, r, w, pos in sorted(listed - held)])


def okuri_ari_lines(dictionary):
    """The entry lines of a dictionary's okuri-ari section."""
    with open(dictionary, encoding="utf-8") as f:
        lines = f.read().splitlines()
    start = lines.index(";; okuri-ari entries.")
    end = lines.index(";; okuri-nasi entries.")
    return [line for line in lines[start + 1:end] if not line.startswith(";")]


def write_exports(work):
    """(name, path, output coding) of one export per IME."""
    google = "".join(f"{r}\t{w}\t{g}\t\n" for r, w, g, _, _, _ in WORDS)
    microsoft = "!Microsoft IME Dictionary Tool\r\n" + "".join(
        f"{r}\t{w}\t{m}\r\n" for r, w, _, m, _, _ in WORDS if m)
    atok = "!!ATOK_TANGO_TEXT_HEADER_1\r\n" + "".join(
        f"{r}\t{w}\t{a}\r\n" for r, w, _, _, a, _ in WORDS)
    exports = [("Google Japanese Input", google.encode("utf-8"), 2, "utf-8"),
               ("Microsoft IME", microsoft.encode("cp932"), 3, "cp932"),
               ("ATOK", b"\xff\xfe" + atok.encode("utf-16-le"), 4, "utf-8")]
    out = []
    for name, data, column, coding in exports:
        path = os.path.join(work, name.replace(" ", "_") + ".txt")
        with open(path, "wb") as f:
            f.write(data)
        typed = [t for word in WORDS if word[column] for t in word[5]]
        out.append((name, path, coding, typed))
    return out


def convert(program, source, options, out=None):
    """The dictionary brenlow --okuri-ari writes (to out, by default beside
    the source)."""
    out = out or source + ".skk"
    proc = subprocess.run([program, "--okuri-ari"] + options +
                          ["-o", out, source], capture_output=True)
    if proc.returncode != 0:
        sys.exit(f"brenlow failed on {source}: {proc.stderr.decode()}")
    return out


def type_in_emacs(dictionary, coding, typed):
    """{keys: (text shown, [candidates of the conversion under way])}"""
    proc = subprocess.run(
        ["emacs", "-Q", "--batch", "-l",
         os.path.join(HERE, "okuri_ari_typing.el"), dictionary, coding] +
        [keys for keys, *_ in typed], capture_output=True, timeout=600)
    shown = {}
    for line in proc.stdout.decode().splitlines():
        if "\t" in line:
            keys, *texts = line.split("\t")
            texts = [bytes.fromhex(t).decode("utf-8") for t in texts]
            shown[keys] = (texts[0], texts[1:])
    return shown, proc


def type_in_libskk(dictionary, coding, typed):
    """{keys: (text shown, [candidates offered when conversion began])}"""
    encoding = "CP932" if coding == "cp932" else "UTF-8"
    proc = subprocess.run(
        ["/usr/bin/python3", os.path.join(HERE, "okuri_ari_typing.py"),
         dictionary, encoding] + [keys for keys, *_ in typed],
        capture_output=True, timeout=600)
    shown = {}
    for line in proc.stdout.decode("utf-8").splitlines():
        keys, offered, text = json.loads(line)
        # Without candidates the keys stand as kana: no conversion happened.
        shown[keys] = (text if offered else f"{text} (no candidates)",
                       offered)
    return shown, proc


def romaji(kana):
    """How the kana are typed, or None."""
    try:
        return "".join(KANA[c] for c in kana)
    except KeyError:
        return None


def typed_to_first_okurigana(reading, word):
    """(keys, stem) typing the word's stem and its first okurigana kana
    (っ with the kana after it), or None when the word has no okurigana or
    cannot be typed so."""
    run = len(word)
    while run > 0 and "ぁ" <= word[run - 1] <= "ん":
        run -= 1
    okurigana = word[run:]
    if run == 0 or not okurigana or not reading.endswith(okurigana):
        return None
    stem = romaji(reading[:-len(okurigana)])
    first = okurigana[:2] if okurigana[0] == "っ" else okurigana[:1]
    if okurigana[0] == "っ" and len(first) == 2:
        letters = romaji(first[1])
        letters = letters and letters[0] + letters
    else:
        letters = romaji(first)
    if not stem or not letters or not letters[0].isalpha() or \
            first[0] in "ぁぃぅぇぉゃゅょゎっん":
        return None
    return (stem[0].upper() + stem[1:] + letters[0].upper() + letters[1:],
            word[:run])


def large_dictionary(work):
    """(path, [(keys, stem)]): mecab-ipadic's verbs and adjectives as one
    Google Japanese Input export, and a sample of them to type."""
    entries = [(r, w, pos) for pos, words in
               sorted(okuri_ari_round_trip.ime_entries().items())
               for r, w in words]
    path = os.path.join(work, "ipadic.txt")
    with open(path, "w", encoding="utf-8") as f:
        f.write("".join(f"{r}\t{w}\t{pos}\t\n" for r, w, pos in entries))
    typable = {}
    for r, w, pos in entries:
        typed = typed_to_first_okurigana(r, w)
        if typed and pos != "動詞サ変" and typed[0] not in typable:
            typable[typed[0]] = typed[1]
    step = max(1, len(typable) // SAMPLE)
    return path, sorted(typable.items())[::step][:SAMPLE]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"],
                        required=True)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    missing = missing_client(args.client)
    if missing:
        print(f"skip: {missing} not installed")
        return SKIP
    failures = checked = 0
    with tempfile.TemporaryDirectory() as work:
        for name, source, coding, typed in write_exports(work):
            if args.client == "emacs":
                # Emacs SKK searches a small file from end to end: the
                # order of first appearance serves.
                shown, proc = type_in_emacs(convert(program, source, []),
                                            coding, typed)
            else:
                # libskk's recipe: byte order, LF line ends.
                shown, proc = type_in_libskk(
                    convert(program, source, LIBSKK_OPTIONS), coding, typed)
            if proc.returncode != 0:
                print(proc.stderr.decode()[-2000:])
                failures += 1
            for keys, expected, *also in typed:
                checked += 1
                got, offered = shown.get(keys, (None, []))
                if got is None or got.replace("▼", "") != expected:
                    failures += 1
                    print(f"FAIL {args.client}, {name}: typed {keys}: "
                          f"expected {expected}, the client showed {got}")
                if also and also[0] not in offered:
                    failures += 1
                    print(f"FAIL {args.client}, {name}: typed {keys}: "
                          f"expected {also[0]} among the candidates, the "
                          f"client offered {offered}")
            print(f"{args.client}, {name}: {len(typed)} words typed")
        # The macOS exports in examples/ (UTF-8 output), on the README's
        # recipe for the client.
        options = RECIPES[(args.client, "utf-8")][0]
        for failure in example_words_listed():
            failures += 1
            print(f"FAIL {args.client}: {failure}")
        for name in sorted({e for e, *_ in EXAMPLE_WORDS}):
            typed = [t for e, *_, forms in EXAMPLE_WORDS if e == name
                     for t in forms]
            skk = convert(program, os.path.join(EXAMPLES, name), options,
                          os.path.join(work, name + ".skk"))
            typist = type_in_emacs if args.client == "emacs" else \
                type_in_libskk
            shown, proc = typist(skk, "utf-8", typed)
            if proc.returncode != 0:
                print(proc.stderr.decode()[-2000:])
                failures += 1
            for keys, expected in typed:
                checked += 1
                got = shown.get(keys, (None, []))[0]
                if got is None or got.replace("▼", "") != expected:
                    failures += 1
                    print(f"FAIL {args.client}, examples/{name} --okuri-ari: "
                          f"typed {keys}: expected {expected}, the client "
                          f"showed {got}")
            print(f"{args.client}, examples/{name} --okuri-ari: "
                  f"{len(typed)} words typed")
        # A property list has no part of speech: no okuri-ari key, and its
        # words are still found by their readings.
        skk = convert(program, os.path.join(EXAMPLES, "macos.plist"),
                      options, os.path.join(work, "macos.plist.skk"))
        keys = okuri_ari_lines(skk)
        if keys:
            failures += 1
            print(f"FAIL {args.client}, examples/macos.plist --okuri-ari: "
                  f"okuri-ari entries {keys}, expected none")
        rows = typed_readings_suite.example_rows("macos.plist")
        typed, found, words, words_found, _, failed = \
            typed_readings_suite.check(args.client, "examples/macos.plist "
                                       "--okuri-ari", skk, "utf-8", rows, work)
        checked += words
        failures += len(failed)
        for failure in failed:
            print(f"FAIL {args.client}: {failure}")
        print(f"{args.client}, examples/macos.plist --okuri-ari: {typed} "
              f"readings typed, {found} found with all their words "
              f"({words_found} of {words} words)")
        if not os.path.exists(
                os.path.join(okuri_ari_round_trip.IPADIC, "Verb.csv")):
            print("mecab-ipadic is not installed: no large dictionary typed")
        else:
            source, typed = large_dictionary(work)
            # Sorted as each client's recipe says: both binary-search a
            # dictionary this large.
            if args.client == "emacs":
                skk = convert(program, source, ["--sort"])
                client = type_in_emacs
            else:
                skk = convert(program, source, LIBSKK_OPTIONS)
                client = type_in_libskk
            shown, proc = client(skk, "utf-8", typed)
            if proc.returncode != 0:
                print(proc.stderr.decode()[-2000:])
                failures += 1
            for keys, stem in typed:
                checked += 1
                text, candidates = shown.get(keys, (None, []))
                if stem not in candidates:
                    failures += 1
                    print(f"FAIL {args.client}, mecab-ipadic: typed {keys}: "
                          f"expected {stem} among the candidates, the client "
                          f"showed {text} and offered {candidates}")
            print(f"{args.client}, mecab-ipadic verbs and adjectives: "
                  f"{len(typed)} words typed")
    print(f"{args.client}: {checked} words typed, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
