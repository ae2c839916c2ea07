#!/usr/bin/env python3
"""Types conjugated verbs and adjectives in a real SKK client, Emacs SKK
(ddskk) or libskk, with a dictionary brenlow made with --okuri-ari from
each IME's export: Google Japanese Input's names in UTF-8, Microsoft IME's
in Shift_JIS, ATOK's (with registration marks) in UTF-16.

A capital letter marks where the okurigana starts, as SKK users type: the
client must find the word under the okuri-ari key and show the conjugated
form. Failures name the dictionary, the keys typed, what was expected and
what the client showed.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP = 77

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
]


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


def convert(program, source, options):
    out = source + ".skk"
    proc = subprocess.run([program, "--okuri-ari"] + options +
                          ["-o", out, source], capture_output=True)
    if proc.returncode != 0:
        sys.exit(f"brenlow failed on {source}: {proc.stderr.decode()}")
    return out


def type_in_emacs(dictionary, coding, typed):
    proc = subprocess.run(
        ["emacs", "-Q", "--batch", "-l",
         os.path.join(HERE, "okuri_ari_typing.el"), dictionary, coding] +
        [keys for keys, _ in typed], capture_output=True, timeout=600)
    shown = {}
    for line in proc.stdout.decode().splitlines():
        if "\t" in line:
            keys, text = line.split("\t", 1)
            shown[keys] = bytes.fromhex(text).decode("utf-8")
    return shown, proc


def type_in_libskk(dictionary, coding, typed):
    encoding = "CP932" if coding == "cp932" else "UTF-8"
    proc = subprocess.run(
        ["/usr/bin/python3", os.path.join(HERE, "okuri_ari_typing.py"),
         dictionary, encoding] + [keys for keys, _ in typed],
        capture_output=True, timeout=600)
    shown = {}
    for line in proc.stdout.decode("utf-8").splitlines():
        keys, offered, text = json.loads(line)
        # Without candidates the keys stand as kana: no conversion happened.
        shown[keys] = text if offered else f"{text} (no candidates)"
    return shown, proc


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"],
                        required=True)
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
    failures = checked = 0
    with tempfile.TemporaryDirectory() as work:
        for name, source, coding, typed in write_exports(work):
            if args.client == "emacs":
                # Emacs SKK searches a small file from end to end: the
                # order of first appearance serves.
                shown, proc = type_in_emacs(convert(program, source, []),
                                            coding, typed)
            else:
                shown, proc = type_in_libskk(
                    convert(program, source, ["--sort", "--eol", "lf"]), coding, typed)
            if proc.returncode != 0:
                print(proc.stderr.decode()[-2000:])
                failures += 1
            for keys, expected in typed:
                checked += 1
                got = shown.get(keys)
                if got is None or got.replace("▼", "") != expected:
                    failures += 1
                    print(f"FAIL {args.client}, {name}: typed {keys}: "
                          f"expected {expected}, the client showed {got}")
            print(f"{args.client}, {name}: {len(typed)} words typed")
    print(f"{args.client}: {checked} words typed, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
