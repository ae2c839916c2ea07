#!/usr/bin/env python3
"""Converts dictionaries with brenlow on the command lines of the README's
recipes and reads every reading back through a real SKK client on the
settings users have: Emacs SKK (ddskk's default `skk-search-prog-list`, the
dictionary as `skk-large-jisyo` and, in a second run, in
`skk-extra-jisyo-file-list`) or libskk (an `Skk.FileDict` in an
`Skk.Context`, readings typed).

The dictionaries: the example, the hard words, and more than 20,000
readings of real vocabulary from SKK-JISYO.L and skkdic-extra (readings
with ー, ゛, digits, ASCII and full-width symbols among them), each as
Shift_JIS (Shift_JIS output) and as a UTF-16LE copy (UTF-8 output). Each
reading must give exactly the words of the input, in input order, as the
client inserts them; libskk shows a word once however often it was filed.
Emacs SKK also reads dictionaries with a line just short of and just at the
length its binary search cannot pass. Failures name the reading, the word
expected, the word the client gave and the client.
"""
import argparse
import json
import os
import random
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

# The README's recipes: brenlow's options per client and output encoding,
# and what the client is told the file's encoding is. The README must show
# each as "brenlow OPTIONS -o SKK-JISYO.mine".
RECIPES = {
    ("emacs", "shift_jis"): (["--sort"], "cp932"),
    ("emacs", "utf-8"): (["--sort"], "utf-8"),
    ("libskk", "shift_jis"): (["--sort=bytes", "--eol", "lf"], "CP932"),
    ("libskk", "utf-8"): (["--sort=bytes", "--eol", "lf"], "UTF-8"),
}
# The README's entry for a dictionary Emacs SKK must search linearly.
LINEAR_RECIPE = ("(add-to-list 'skk-search-prog-list '(skk-search-jisyo-file "
                 "'(\"~/SKK-JISYO.mine\" . cp932) 0) t)")
EMACS_LONG_LINE = 5000


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


# What ▽ mode's keys give for the ASCII keys that are no romaji and give
# something else (key_table.expected); every other key gives its character.
KANA_MODE_KEYS = {",": "、", ".": "。", "-": "ー", "[": "「", "]": "」",
                  ":": "：", ";": "；", "?": "？"}


def has_kana(text):
    """Whether a reading is typed in ▽ mode: it holds hiragana, katakana
    (ー and ・ among them), half-width katakana or 、。「」."""
    return any("\u3041" <= c <= "\u30FF" or "\u31F0" <= c <= "\u31FF"
               or "\uFF61" <= c <= "\uFF9F" or c in "、。「」" for c in text)


def typed(reading):
    """A Shift_JIS reading as an SKK user types it, by Python's tables:
    katakana as hiragana (ヴ as う゛), half-width katakana as hiragana with
    their voicing marks joined; ASCII and full-width ASCII as ▽ mode's keys
    give them in a reading with kana (or one starting with a semicolon, which
    abbrev mode cannot file), as ASCII in a reading without."""
    text = reading.decode("cp932", "surrogateescape")
    kana_mode = has_kana(text) or text[:1] in (";", "；")
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
        if "\uFF01" <= c <= "\uFF5E":
            c = chr(ord(c) - 0xFEE0)
        if c in "ヴゔ":
            out += "う゛"
        elif c in "ヵヶ":
            out += "かけ"["ヵヶ".index(c)]
        elif "\u30A1" <= c <= "\u30F3" or c in "ヽヾ":
            out += chr(ord(c) - 0x60)
        elif c == "\u3000":
            out += " "
        elif kana_mode and c in KANA_MODE_KEYS:
            out += KANA_MODE_KEYS[c]
        else:
            out += c
        i += 1
    return out.encode("cp932", "surrogateescape")


def expected_entries(ime_text):
    """{reading: [word]} in order, the words as a client should show them;
    ime_text is CP932 bytes."""
    entries = {}
    lines = ime_text.replace(b"\r\n", b"\n").replace(b"\r", b"\n")
    for number, line in enumerate(lines.split(b"\n")):
        if not line or line.startswith(b"!") or not decodes(line):
            continue
        cs = chars(line)
        if b"\t" not in cs:
            continue
        cut = cs.index(b"\t")
        source, rest = b"".join(cs[:cut]), cs[cut + 1:]
        reading = typed(source)
        word = b"".join(rest[:rest.index(b"\t")] if b"\t" in rest else rest)
        if (not reading or not word or reading.startswith(b";")
                or b"\x81\x40" in chars(reading)
                or any(b < 0x21 or b == 0x7F for b in reading)):
            continue
        filed = entries.setdefault(reading, [])
        # Two source readings that meet in one typed form file a word
        # once; one source filing it twice keeps both.
        first = next((s for s, w in filed if w == word), source)
        if first == source:
            filed.append((source, word))
    return {reading: [w for _, w in filed]
            for reading, filed in entries.items()}


KANA = {}
for row, romaji in [
        ("あいうえお", "a i u e o"), ("かきくけこ", "ka ki ku ke ko"),
        ("がぎぐげご", "ga gi gu ge go"), ("さしすせそ", "sa si su se so"),
        ("ざじずぜぞ", "za zi zu ze zo"), ("たちつてと", "ta ti tu te to"),
        ("だぢづでど", "da di du de do"), ("なにぬねの", "na ni nu ne no"),
        ("はひふへほ", "ha hi hu he ho"), ("ばびぶべぼ", "ba bi bu be bo"),
        ("ぱぴぷぺぽ", "pa pi pu pe po"), ("まみむめも", "ma mi mu me mo"),
        ("やゆよ", "ya yu yo"), ("らりるれろ", "ra ri ru re ro"),
        ("わん", "wa nn"), ("ぁぃぅぇぉ", "xa xi xu xe xo"),
        ("ゃゅょっゎ", "xya xyu xyo xtu xwa"), ("ー", "-"),
        ("0123456789", "0 1 2 3 4 5 6 7 8 9")]:
    KANA.update(zip(row, romaji.split()))


def libskk_request(reading):
    """How a user gives libskk the reading: typed in kana ("T" and the
    romaji), typed in abbrev mode ("A"), or, for what no key sequence
    gives, looked up in the FileDict itself ("L")."""
    if re.fullmatch(r"[A-Za-z][A-Za-z0-9]*", reading):
        return "A" + reading
    if all(c in KANA for c in reading) and not reading.isdigit():
        return "T" + "".join(KANA[c] for c in reading)
    return "L" + reading


# Characters that Emacs SKK and byte order place differently (the first
# six are the CP932 ones Emacs files under other character sets), and
# others common in readings.
SYMBOLS = "～－∥￠￡￢゛゜！＃＆＠＋＝＿・「」♪☆①Ⅰ㈱ｱﾞ"


def vocabulary(readings):
    """(reading, [words]) of real vocabulary: SKK-JISYO.L, slices of
    skkdic-extra dictionaries, and readings with symbols made from it."""
    large = [(r, w) for r, w in load_slice("/usr/share/skk/SKK-JISYO.L", 1,
                                           10**6) if "#" not in r]
    special = re.compile(r"[ー゛0-9A-Za-z\u2000-\u27ff\u3000-\u303f\uff01-\uffef]")
    chosen = [e for e in large if special.search(e[0])]
    # ASCII readings are most of the special ones: keep a share of them.
    chosen = ([e for e in chosen if not re.fullmatch(r"[!-~]+", e[0])] +
              [e for e in chosen if re.fullmatch(r"[!-~]+", e[0])][::6])
    plain = [e for e in large if not special.search(e[0])]
    for name, every in [("jinmei", 8), ("geo", 40), ("station", 12),
                        ("propernoun", 6)]:
        path = f"/usr/share/skk/SKK-JISYO.{name}"
        if os.path.exists(path):
            chosen += load_slice(path, every, 10**6)
    kana = [e for e in plain if re.fullmatch(r"[ぁ-ん]+", e[0])]
    for i, symbol in enumerate(SYMBOLS):
        for k in range(30):
            reading, words = kana[(i * 131 + k * 977) % len(kana)]
            if k % 3 == 0:
                chosen.append((symbol + reading, [symbol + words[0]]))
            elif k % 3 == 1:
                chosen.append((reading + symbol, [words[0] + symbol]))
            else:
                middle = len(reading) // 2
                chosen.append((reading[:middle] + symbol + reading[middle:],
                               [words[0]]))
    want = readings - len({r for r, _ in chosen})
    chosen += plain[::max(1, len(plain) // max(1, want))][:max(0, want)]
    return chosen


def write_ime(path, entries, seed):
    """An IME text dictionary (CP932, CR LF) of entries, lines shuffled, so
    that a reading's words lie far apart."""
    lines = [ime_line(r, w) for r, words in entries for w in words]
    random.Random(seed).shuffle(lines)
    with open(path, "wb") as f:
        f.write(b"!Microsoft IME Dictionary Tool\r\n" + b"".join(lines))


def utf_16_copy(source, work):
    """A UTF-16LE copy of source (with its mark) and the CP932 lines it
    holds: the lines that are CP932 text (the hard words hold some bytes
    that are not)."""
    with open(source, "rb") as f:
        lines = f.read().split(b"\n")
    kept = []
    for line in lines:
        try:
            line.decode("cp932")
            kept.append(line)
        except UnicodeDecodeError:
            pass
    cp932 = b"\n".join(kept)
    path = os.path.join(work, os.path.basename(source) + ".utf16.txt")
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + cp932.decode("cp932").encode("utf-16-le"))
    return path, cp932


def input_for(source, encoding, work):
    """The file brenlow converts for that output encoding, and its text in
    CP932."""
    if encoding == "utf-8":
        return utf_16_copy(source, work)
    with open(source, "rb") as f:
        return source, f.read()


def check_messages(messages, encoding):
    """Only long lines, the lines the hard words hold on purpose (an empty
    word) and the readings no key sequence gives (the vocabulary's symbols
    inside readings) may be reported."""
    for line in messages.splitlines():
        if (b"Emacs SKK's binary search cannot pass" not in line
                and b": readings no key sequence gives in Emacs SKK or "
                b"libskk, filed as they are: " not in line
                and not line.endswith(b"; line skipped")):
            print(f"FAIL brenlow said: {line!r}")
            return 1
        shown = line.decode("cp932" if encoding == "shift_jis" else "utf-8",
                            "backslashreplace")
        print(f"brenlow warned: {shown}")
    return 0


def convert(program, source, options, work):
    """Runs the recipe's command line; returns the file and the messages."""
    out = os.path.join(work, "SKK-JISYO.mine")
    proc = subprocess.run([program] + options + ["-o", out, source],
                          capture_output=True, cwd=work)
    if proc.returncode != 0:
        sys.exit(f"brenlow failed on {source}: {proc.stderr!r}")
    return out, proc.stderr


def in_encoding(entries, encoding):
    """entries with reading and words as bytes of the output encoding."""
    if encoding == "shift_jis":
        return entries
    return {r.decode("cp932").encode(): [w.decode("cp932").encode()
                                         for w in ws]
            for r, ws in entries.items()}


def emacs_lookup(skk, coding, where, readings, work):
    """{reading: [word]} as Emacs SKK gives them, bytes in coding."""
    listing = os.path.join(work, "readings.txt")
    with open(listing, "w") as f:
        f.write("".join(r.hex() + "\n" for r in readings))
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    open(os.path.join(home, ".skk-jisyo"), "a").close()
    proc = subprocess.run(
        ["emacs", "-Q", "--batch", "-l",
         os.path.join(HERE, "emacs_lookup.el"), skk, coding, where, listing],
        capture_output=True, timeout=900, env=dict(os.environ, HOME=home))
    if proc.returncode != 0:
        sys.exit(f"emacs failed: {proc.stderr.decode()[-2000:]}")
    got = {}
    for line in proc.stdout.decode().splitlines():
        fields = line.split("\t")
        if fields[0].startswith("R"):
            got[bytes.fromhex(fields[0][1:])] = [
                bytes.fromhex(w[1:]) for w in fields[1:]]
    return got


def compare(client, expected, got, shown):
    """Counts found readings and failures; prints each failure."""
    found = failures = 0
    for reading, words in expected.items():
        back = got.get(reading)
        if back:
            found += 1
        if back != words:
            failures += 1
            report(client, shown(reading), [shown(w) for w in words],
                   None if back is None else [shown(w) for w in back])
    return found, failures


def check_emacs(program, dictionaries, work):
    failures = 0
    for encoding in ("shift_jis", "utf-8"):
        options, coding = RECIPES[("emacs", encoding)]
        for name, source in dictionaries:
            given, text = input_for(source, encoding, work)
            expected = in_encoding(expected_entries(text), encoding)
            skk, messages = convert(program, given, options, work)
            failures += check_messages(messages, encoding)
            for where in ("large", "extra"):
                got = emacs_lookup(skk, coding, where, expected, work)
                found, failed = compare(
                    f"Emacs SKK ({where}, {encoding})", expected, got,
                    lambda b: b.decode(coding, "backslashreplace"))
                failures += failed
                print(f"Emacs SKK, {name}, {encoding} output, {where}: "
                      f"{len(expected)} readings, {found} found, "
                      f"{failed} failures")
    return failures + check_long_lines(program, work)


def long_line_dictionary(path, characters):
    """A dictionary whose first reading's line has that many characters,
    followed by short lines so that Emacs SKK's search starts a region of
    10,001 characters at it: the smallest region its binary search still
    halves (the limit is 10,000), whose middle falls in a line of 5,000."""
    entries = [("あ", ["x" * (characters - 4)])]
    left = 10001 - (characters + 1)  # after its line feed, to the end
    kana = "あいうえおかきくけこさしすせそたちつてとなにぬねの"
    i = 0
    while left > 0:
        reading = "い" + kana[i // 625 % 25] + kana[i // 25 % 25] + kana[i % 25]
        # A line "いxxx /w/" and its line feed take 9 characters; the last
        # line's word takes up what is left.
        word = "w" if left >= 18 or left == 9 else "w" * (left - 8)
        entries.append((reading, [word]))
        left -= 8 + len(word)
        i += 1
    assert left == 0, left
    write_ime(path, entries, 0)
    return {r.encode("cp932"): [w.encode("cp932") for w in ws]
            for r, ws in entries}


def check_long_lines(program, work):
    """A line of 4,999 characters never stops Emacs SKK's binary search; one
    of 5,000 can, and brenlow names it; the linear-search recipe then finds
    every reading."""
    failures = 0
    options, coding = RECIPES[("emacs", "shift_jis")]
    for characters in (EMACS_LONG_LINE - 1, EMACS_LONG_LINE):
        source = os.path.join(work, f"long{characters}.txt")
        expected = long_line_dictionary(source, characters)
        skk, messages = convert(program, source, options, work)
        warned = b"has %d characters" % characters in messages
        too_long = characters >= EMACS_LONG_LINE
        if warned != too_long:
            print(f"FAIL long line of {characters}: warning {messages!r}")
            failures += 1
        for where in ("large", "linear") if too_long else ("large",):
            got = emacs_lookup(skk, coding, where, expected, work)
            found = sum(1 for r, ws in expected.items() if got.get(r) == ws)
            # Binary search misses the readings from the long line on; the
            # linear search finds them all.
            should_find = (0 if too_long and where == "large"
                           else len(expected))
            if found != should_find:
                print(f"FAIL long line of {characters}, {where}: {found} of "
                      f"{len(expected)} found, expected {should_find}")
                failures += 1
            print(f"Emacs SKK, line of {characters} characters, {where}: "
                  f"{len(expected)} readings, {found} found")
    return failures


def check_libskk(program, dictionaries, work):
    failures = 0
    for encoding in ("shift_jis", "utf-8"):
        options, libskk_encoding = RECIPES[("libskk", encoding)]
        for name, source in dictionaries:
            given, text = input_for(source, encoding, work)
            raw = expected_entries(text)
            expected, left_out = {}, 0
            for reading, words in raw.items():
                try:
                    text = reading.decode("cp932")
                    decoded = [w.decode("cp932") for w in words]
                except UnicodeDecodeError:
                    left_out += 1  # bytes that are no CP932 text
                    continue
                request = libskk_request(text)
                # A conversion lists a word once, however often it was
                # filed; the FileDict itself gives every one.
                expected[request] = (decoded if request[0] == "L" else
                                     list(dict.fromkeys(decoded)))
            skk, messages = convert(program, given, options, work)
            failures += check_messages(messages, encoding)
            proc = subprocess.run(
                ["/usr/bin/python3", os.path.join(HERE, "libskk_lookup.py"),
                 skk, libskk_encoding],
                input="".join(r + "\n" for r in expected).encode(),
                capture_output=True, timeout=900)
            if proc.returncode != 0:
                print(proc.stderr.decode()[-2000:])
                return failures + 1
            got = dict(json.loads(line)
                       for line in proc.stdout.decode().splitlines())
            found, failed = compare(f"libskk ({encoding})", expected, got,
                                    lambda r: r)
            failures += failed
            kinds = {k: sum(1 for r in expected if r[0] == k) for k in "TAL"}
            print(f"libskk, {name}, {encoding} output: {len(expected)} "
                  f"readings ({kinds['T']} typed in kana, {kinds['A']} in "
                  f"abbrev mode, {kinds['L']} looked up), {found} found, "
                  f"{failed} failures; {left_out} left out (not CP932 text)")
    return failures


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


def check_readme(client):
    """The README's recipes are the command lines tested here."""
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    failures = 0
    needed = [f"brenlow {' '.join(options)} -o SKK-JISYO.mine"
              for (c, _), (options, _) in RECIPES.items() if c == client]
    if client == "emacs":
        needed.append(LINEAR_RECIPE)
    words = " ".join(readme.split())
    for text in needed:
        if " ".join(text.split()) not in words:
            print(f"FAIL the README does not give the recipe {text!r}")
            failures += 1
    return failures


def missing_client(client):
    """What the client needs and this machine lacks, or None."""
    if client == "emacs" and not os.path.isdir(
            "/usr/share/emacs/site-lisp/ddskk"):
        return "ddskk is"
    if client == "libskk" and subprocess.run(
            ["/usr/bin/python3", "-c", "import gi; gi.require_version('Skk', "
             "'1.0')"], capture_output=True).returncode != 0:
        return "python3-gi and gir1.2-skk-1.0 are"
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"],
                        required=True)
    parser.add_argument("--readings", type=int, default=24000)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    missing = missing_client(args.client)
    if missing:
        print(f"skip: {missing} not installed")
        return SKIP
    if not os.path.exists("/usr/share/skk/SKK-JISYO.L"):
        print("skip: skkdic is not installed")
        return SKIP
    failures = check_readme(args.client)
    with tempfile.TemporaryDirectory() as work:
        vocabulary_path = os.path.join(work, "vocabulary.txt")
        write_ime(vocabulary_path, vocabulary(args.readings), 1)
        dictionaries = [
            ("examples", os.path.join(ROOT, "examples", "dictionary.txt")),
            ("hard words", os.path.join(HERE, "hard_words.txt")),
            ("SKK-JISYO.L and skkdic-extra", vocabulary_path)]
        check = check_emacs if args.client == "emacs" else check_libskk
        failures += check(program, dictionaries, work)
    print(f"{args.client}: {failures} failures, 0 expected failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
