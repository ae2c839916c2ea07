#!/usr/bin/env python3
"""New words merged into the personal dictionary Emacs SKK keeps, then typed
in a real SKK client: Emacs SKK (ddskk, its default skk-search-prog-list,
the merged file as `skk-jisyo`) or libskk (the merged file as an
Skk.UserDict; and, as an Skk.FileDict, which binary-searches, SKK-JISYO.S
with the same exports merged on libskk's recipe, --sort=bytes, in EUC-JP
as shipped and in UTF-8 and Shift_JIS sorted by bytes: its old words and
the new ones; libskk's FileDict loads no file that starts with the
okuri-ari marker, as the personal dictionary Emacs SKK writes does).

tests/clients/merge_suite.py --program build/brenlow --client emacs

The personal dictionary is written by Emacs SKK itself, in EUC-JP (ddskk's
default), in UTF-8 and in Shift_JIS (cp932) (`skk-jisyo-code`): words converted through
SKK-JISYO.S and confirmed, one picked as a second candidate, words
registered through the minibuffer (one okuri-ari), then M-x skk-save-jisyo:
recency order, okuri-ari lines with `[` blocks, no coding line. Into a copy,
`brenlow --okuri-ari --merge P -o P EXPORT` merges, one after another, every
export in examples/, a Google Japanese Input export of verbs and adjectives
(okuri_ari_suite.WORDS, Lisp-looking and "[" stems among them) and a
Microsoft IME export (Shift_JIS, CR LF) of a few thousand readings of
SKK-JISYO.L, the personal dictionary's readings among them.

The file must stay as it was written where it held words: every old line's
words first, in their order, its blocks kept, LF line ends, the coding line
as it was (Emacs writes none), every line valid in the encoding. Then each reading is typed key by key (an
okuri-ari word with the okurigana's capital, as KaKu): every old and every
new word must come back from the personal dictionary; in Emacs the old words
first, in their order. A larger dictionary would answer after the personal
one: `skk-large-jisyo` is an empty dictionary, so that neither it nor ja-dic
(searched when no large dictionary is set) adds a candidate.

Emacs then registers two words of its own in the same session (one
okuri-ari), saves, and a new session types everything again: the merged and
the registered words must all be there, and the saved file well-formed.
Last, SKK-JISYO.S (EUC-JP as shipped, and in UTF-8 and Shift_JIS in the
same order)
merged into without --sort, its order found, is Emacs SKK's
`skk-large-jisyo`, binary-searched, with an empty personal dictionary that
learns nothing: its old words and the new ones must all be found.
Then the exports are merged with --exclude SKK-JISYO.L into a new personal
dictionary (EUC-JP): every word must come back from it or from SKK-JISYO.L
(each typed with one dictionary alone), and the personal dictionary must
hold no word SKK-JISYO.L has under its reading.
Failures name the encoding, the keys typed, the words expected and the words
the client offered.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
from client_suite import KANA, missing_client  # noqa: E402
from okuri_ari_suite import EXAMPLE_WORDS, WORDS  # noqa: E402
from skkdic_vocabulary import ime_line, load_slice  # noqa: E402
import typed_readings_suite as typed  # noqa: E402

SKIP = 77
SMALL = "/usr/share/skk/SKK-JISYO.S"
LARGE = "/usr/share/skk/SKK-JISYO.L"
# Readings of SKK-JISYO.L in the vocabulary export, about.
VOCABULARY = 3000

# What a user types in Emacs SKK, with SKK-JISYO.S as the large dictionary,
# to fill the personal dictionary: conversions confirmed with C-j (幹事 by a
# second SPC, which files it first), and words no dictionary has registered
# in the minibuffer (q: katakana), one of them okuri-ari.
PERSONAL_KEYS = [
    "Kanji <C-j>", "Kanji  <C-j>", "Nihongo <C-j>", "Henkan <C-j>",
    "Jisho <C-j>", "Katakana <C-j>", "OkuRu<C-j>", "KaKu <C-j>",
    "TakaI<C-j>", "Burenrou qburenrou<RET>", "GuguRuqgugu<RET>",
    "Memo qmemo<RET>",
]
# The okurigana typed for an okuri-ari key's last letter: a kana whose
# romaji starts with it (SKK's keys: つ t, ふ h, づ d).
OKURIGANA_KEYS = {"a": "A", "i": "I", "u": "U", "e": "E", "o": "O",
                  "k": "Ku", "g": "Gu", "s": "Su", "z": "Zu", "t": "Tu",
                  "d": "Du", "n": "Nu", "h": "Hu", "b": "Bu", "p": "Pu",
                  "m": "Mu", "y": "Yu", "r": "Ru", "w": "Wa"}
# Registered after the merge, in the same session: (keys, reading typed
# back, word).
REGISTERED = [("Zuzuzu qzuzuzu<RET>", "Qzuzuzu ", "ズズズ"),
              ("PokoRuqpoko<RET>", "PokoRu", "ポコ")]
CODINGS = {"euc-jp": ("euc_jp", "EUC-JP"), "utf-8": ("utf-8", "UTF-8"),
           "cp932": ("cp932", "CP932")}


# ---------------------------------------------------------------------------
# The dictionary as a file.
def read_lines(path, codec):
    """The file's lines, decoded strictly; None if it does not decode."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        return data.decode(codec).split("\n")
    except UnicodeDecodeError:
        return None


ENTRY = re.compile(r"([^ ]+) /(.*/)?$")


def parse(lines):
    """{(okuri_ari, key): (words, blocks)} and the lines that are neither
    an entry, a comment nor empty."""
    entries, bad, okuri_ari = {}, [], None
    for line in lines:
        if line == ";; okuri-ari entries.":
            okuri_ari = True
            continue
        if line == ";; okuri-nasi entries.":
            okuri_ari = False
            continue
        if not line or line.startswith(";"):
            continue
        found = ENTRY.fullmatch(line)
        if not found or okuri_ari is None:
            bad.append(line)
            continue
        tokens = (found.group(2) or "").split("/")[:-1]
        cut = next((i for i, t in enumerate(tokens) if t.startswith("[")),
                   len(tokens)) if okuri_ari else len(tokens)
        blocks = tokens[cut:]
        # A block: "[" and the okurigana, its words, "]".
        while blocks:
            end = blocks.index("]") if "]" in blocks else -1
            if end < 2 or len(blocks[0]) < 2:
                bad.append(line)
                break
            blocks = blocks[end + 1:]
        entries[(okuri_ari, found.group(1))] = (
            [w for w in tokens[:cut] if w],
            "".join(t + "/" for t in tokens[cut:]))
    return entries, bad


def coding_line(lines):
    """The file's coding line, or None."""
    return lines[0] if "coding:" in lines[0] else None


def well_formed(path, codec, label, first=None):
    """(failures, entries): the file does not decode, lacks a marker, has a
    line of another shape or a CR, or its coding line is not the original's
    first line (first; None: there was none)."""
    lines = read_lines(path, codec)
    if lines is None:
        return [f"{label}: the file does not decode as {codec}"], {}
    failures = []
    for marker in (";; okuri-ari entries.", ";; okuri-nasi entries."):
        if lines.count(marker) != 1:
            failures.append(f"{label}: {marker!r} found "
                            f"{lines.count(marker)} times")
    if any(line.endswith("\r") for line in lines):
        failures.append(f"{label}: CR LF line ends in a file with LF")
    if coding_line(lines) != first:
        failures.append(f"{label}: the coding line is {coding_line(lines)!r}, "
                        f"it was {first!r}")
    entries, bad = parse(lines)
    failures += [f"{label}: malformed line {line!r}" for line in bad]
    return failures, entries


def word_of(candidate):
    """The word a candidate gives: annotation cut, (concat ...) undone."""
    word = candidate.split(";", 1)[0]
    found = re.fullmatch(r'\(concat ((?:"(?:[^"\\]|\\.)*" ?)+)\)', word)
    if not found:
        return word
    strings = re.findall(r'"((?:[^"\\]|\\.)*)"', found.group(1))
    return "".join(re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)),
                          s) for s in strings)


# ---------------------------------------------------------------------------
# The exports.
def vocabulary_export(path):
    """A Microsoft IME export of SKK-JISYO.L's readings typed in kana: a
    slice of them and those of the personal dictionary. [(reading, word)]"""
    entries = load_slice(LARGE, 1, 10**6)
    plain = [(r, ws) for r, ws in entries if all(c in KANA for c in r)]
    chosen = plain[::max(1, len(plain) // VOCABULARY)]
    ours = {"かんじ", "にほんご", "へんかん", "じしょ", "かたかな", "めも"}
    chosen += [(r, ws) for r, ws in plain if r in ours]
    rows = [(r, w) for r, ws in chosen for w in ws]
    with open(path, "wb") as f:
        f.write(b"!Microsoft IME Dictionary Tool\r\n" +
                b"".join(ime_line(r, w) for r, w in rows))
    return rows


def verb_export(path):
    """Google Japanese Input's export of okuri_ari_suite.WORDS;
    [(okuri-ari keys, stem)] of its typed forms."""
    with open(path, "w", encoding="utf-8") as f:
        f.write("".join(f"{r}\t{w}\t{g}\t\n" for r, w, g, *_ in WORDS))
    return [(keys, stem(word)) for _, word, *_, forms in WORDS
            for keys, *_ in forms]


def stem(word):
    """The part of a verb or adjective before its okurigana."""
    return re.sub(r"[ぁ-ん]+$", "", word)


def example_exports():
    """(path, [(reading, word)] okuri-nasi, [(keys, stem)] okuri-ari)"""
    out = []
    for name in sorted(os.listdir(typed.EXAMPLES)):
        path = os.path.join(typed.EXAMPLES, name)
        if name.endswith(".skk") or not os.path.isfile(path):
            continue
        rows = [(r, w) for _, r, w in typed.example_rows(name)]
        verbs = [(keys, stem(word)) for e, _, word, _, forms in EXAMPLE_WORDS
                 if e == name for keys, _ in forms]
        out.append((path, rows, verbs))
    return out


# ---------------------------------------------------------------------------
# The clients.
def emacs_environment(home):
    """Emacs's environment: a HOME of its own (no ~/.skk, no
    ~/.skk-jisyo) and no SKKSERVER, so that no dictionary server answers
    before or after the dictionaries under test."""
    env = dict(os.environ, LC_ALL="C.UTF-8", HOME=home)
    env.pop("SKKSERVER", None)
    return env


def emacs_session(dictionary, coding, large, lines, work,
                  large_coding="euc-jp"):
    """{keys: (text, [words offered])} of one Emacs session."""
    listing = os.path.join(work, "keys.txt")
    with open(listing, "w", encoding="utf-8") as f:
        f.write("".join(line + "\n" for line in lines))
    proc = subprocess.run(
        ["emacs", "-Q", "--batch", "-l", os.path.join(HERE, "merge_session.el"),
         dictionary, coding, large, large_coding, listing],
        capture_output=True, stdin=subprocess.DEVNULL, timeout=900,
        env=emacs_environment(work))
    if proc.returncode != 0:
        sys.exit(f"Emacs failed: {proc.stderr.decode(errors='replace')[-2000:]}")
    shown = {}
    for line in proc.stdout.decode().splitlines():
        if line.startswith("["):
            keys, text, offered = json.loads(line)
            shown[keys] = (text, offered)
    return shown


def libskk_lookup(kind, dictionary, encoding, keys, work):
    listing = os.path.join(work, "keys.txt")
    with open(listing, "w", encoding="utf-8") as f:
        f.write("".join(k + "\n" for k in keys))
    proc = subprocess.run(
        ["/usr/bin/python3", os.path.join(HERE, "merge_libskk.py"), kind,
         dictionary, encoding, listing],
        capture_output=True, stdin=subprocess.DEVNULL, timeout=900,
        env=dict(os.environ, LC_ALL="C.UTF-8", HOME=work))
    if proc.returncode != 0:
        sys.exit(f"libskk failed: {proc.stderr.decode(errors='replace')[-2000:]}")
    return {k: ("", offered) for k, offered in
            (json.loads(line) for line in proc.stdout.decode().splitlines())}


# ---------------------------------------------------------------------------
def typable(client, reading):
    """The keys typing the reading in the client, or None."""
    form, kana_mode = typed.typed_form(reading)
    reasons = typed.untypable(form, kana_mode)
    if {r for r in reasons if client in typed.REASONS[r][1]}:
        return None
    return typed.keys_for(form, kana_mode)


def okuri_ari_keys(key):
    """The keys typing an okuri-ari key (おくr: OkuRu), or None."""
    stem = "".join(KANA.get(c, "?") for c in key[:-1])
    if "?" in stem or not stem or key[-1] not in OKURIGANA_KEYS:
        return None
    return stem[0].upper() + stem[1:] + OKURIGANA_KEYS[key[-1]]


def expected_words(client, codec, old, merged_rows, verbs):
    """{keys: (old words, every word)}: each reading of the personal
    dictionary and of the exports as the client types it."""
    want = {}

    def add(keys, word, is_old):
        olds, words = want.setdefault(keys, ([], []))
        for listed in ((olds, words) if is_old else (words,)):
            if word not in listed:
                listed.append(word)

    for (okuri_ari, key), (words, _) in old.items():
        keys = okuri_ari_keys(key) if okuri_ari else typable(client, key)
        if not keys:
            continue
        for word in words:
            word = word_of(word)
            if client == "emacs" and codec == "euc_jp":
                # The dictionary's words as Emacs reads them: its euc-jp
                # has U+2014 at A1BD, where Python's codec has U+2015.
                word = word.replace("\u2015", "\u2014")
            add(keys, word, True)
    for reading, word in merged_rows:
        keys = typable(client, reading)
        if not keys:
            continue
        try:
            (reading + word).encode(codec)
        except UnicodeEncodeError:
            continue  # brenlow leaves it out, with a warning
        add(keys, word, False)
    for keys, word in verbs:
        add(okurigana_started(keys), word, False)
    return want


def okurigana_started(keys):
    """The keys up to the first kana of the okurigana, at which Emacs SKK
    and libskk start the conversion (keys after it confirm the word)."""
    start = next(i for i, c in enumerate(keys) if i and c.isupper())
    end = start
    while keys[end].lower() not in "aiueo":
        end += 1
    return keys[:end + 1]


def compare(label, want, shown, old_first):
    """(words expected, words found, failures)"""
    total = found = 0
    failures = []
    for keys, (olds, words) in want.items():
        offered = shown.get(keys, ("<not typed>", []))[1]
        total += len(words)
        found += sum(w in offered for w in words)
        missing = [w for w in words if w not in offered]
        if missing:
            failures.append(f"{label}: typed {keys!r}: {missing} not among "
                            f"the candidates {offered}")
        elif old_first and offered[:len(olds)] != olds:
            failures.append(f"{label}: typed {keys!r}: the personal "
                            f"dictionary's words {olds} must come first, "
                            f"in their order; offered {offered}")
    return total, found, failures


def kept_as_written(label, old, merged):
    """Failures: an old line whose words are not first in their order, or
    whose blocks changed."""
    failures = []
    for entry, (words, blocks) in old.items():
        now, now_blocks = merged.get(entry, ([], None))
        if [word_of(w) for w in now[:len(words)]] != \
                [word_of(w) for w in words] or now_blocks != blocks:
            failures.append(f"{label}: {entry[1]} was /{'/'.join(words)}/"
                            f"{blocks}, now /{'/'.join(now)}/{now_blocks}")
    return failures


def merge_all(program, dictionary, exports, label, options=()):
    """Merges every export into the dictionary, in place, one after another.
    (failures, [(reading, word)] okuri-nasi, [(keys, stem)] okuri-ari)"""
    failures, merged_rows, verbs = [], [], []
    for path, rows, verb_forms in exports:
        proc = subprocess.run([program, "--okuri-ari", *options, "--merge",
                               dictionary, "-o", dictionary, path],
                              capture_output=True)
        if proc.returncode != 0:
            failures.append(f"{label}: brenlow --merge on {path}: status "
                            f"{proc.returncode}: "
                            f"{proc.stderr.decode(errors='replace')}")
        merged_rows += rows
        verbs += verb_forms
    return failures, merged_rows, verbs


def sorted_small(coding, path, by_bytes=True):
    """SKK-JISYO.S in the encoding, sorted as it is in EUC-JP (JIS code
    order, which is Emacs SKK's), or by_bytes in the encoding as libskk
    searches it: okuri-ari keys descending, okuri-nasi ascending."""
    with open(SMALL, "rb") as f:
        lines = f.read().decode("euc_jis_2004").split("\n")
    if coding == "euc-jp":
        shutil.copy(SMALL, path)
        return
    # No coding line in Shift_JIS, as brenlow writes it (libskk knows no
    # coding named cp932).
    lines[0] = lines[0].replace("euc-jp", coding) if coding != "cp932" else \
        ";; SKK-JISYO.S in Shift_JIS"
    if not by_bytes:
        with open(path, "w", encoding=coding) as f:
            f.write("\n".join(lines))
        return
    ari = lines.index(";; okuri-ari entries.")
    nasi = lines.index(";; okuri-nasi entries.")
    entries = [line for line in lines[nasi + 1:] if line]

    def key(line):
        return line.split(" ", 1)[0].encode(coding)

    out = (lines[:ari + 1] +
           sorted(lines[ari + 1:nasi], key=key, reverse=True) +
           [lines[nasi]] + sorted(entries, key=key))
    with open(path, "w", encoding=coding) as f:
        f.write("\n".join(out) + "\n")


def exclusion_check(client, program, exports, work):
    """The exports merged with --exclude SKK-JISYO.L into a new personal
    dictionary in EUC-JP (the README's recipe for both at once): each word
    must come back from it or from SKK-JISYO.L, typed in the client with
    each dictionary alone (Emacs SKK: as skk-jisyo, learning nothing, and
    as skk-large-jisyo; libskk: as Skk.UserDict and as Skk.FileDict), and
    no word of the personal dictionary may be one SKK-JISYO.L has under its
    reading. (failures, words, words found, words the client found in the
    personal dictionary's session)"""
    home = os.path.join(work, "exclusion")
    os.mkdir(home)
    mine = os.path.join(home, "jisyo")
    with open(mine, "w") as f:
        f.write(";; -*- coding: euc-jp -*-\n;; okuri-ari entries.\n"
                ";; okuri-nasi entries.\n")
    failures, rows, verbs = merge_all(program, mine, exports, "excluded",
                                      ["--exclude", LARGE])
    want = expected_words(client, "euc_jp", {}, rows, verbs)
    keys = list(want)
    if client == "emacs":
        empty = os.path.join(home, "SKK-JISYO.empty")
        with open(empty, "w") as f:
            f.write(";; okuri-ari entries.\n;; okuri-nasi entries.\n")
        from_mine = emacs_session(mine, "euc-jp", empty,
                                  ["!unlearned"] + keys, home)
        from_large = emacs_session(os.path.join(home, "empty-jisyo"),
                                   "euc-jp", LARGE, ["!unlearned"] + keys,
                                   home)
    else:
        from_mine = libskk_lookup("user", mine, "EUC-JP", keys, home)
        from_large = libskk_lookup("file", LARGE, "EUC-JP", keys, home)
    large = parse(read_lines(LARGE, "euc_jis_2004"))[0]
    # Words SKK-JISYO.L has under a reading, as its file holds them: what a
    # client shows of them is the client's own (Emacs SKK's numeric
    # conversion lists the "#" entry's words for "0" instead of 零).
    held_by_keys = {keys: set() for keys in want}
    for reading, _ in rows:
        keys = typable(client, reading)
        if keys in held_by_keys:
            held_by_keys[keys] |= {
                word_of(w) for w in large.get((False, reading), ([], ""))[0]}
    total = found = kept = 0
    for typed_keys, (_, words) in want.items():
        mine_words = from_mine.get(typed_keys, ("", []))[1]
        large_words = from_large.get(typed_keys, ("", []))[1]
        total += len(words)
        kept += sum(w in mine_words for w in words)
        missing = [w for w in words
                   if w not in mine_words and w not in large_words and
                   w not in held_by_keys[typed_keys]]
        found += len(words) - len(missing)
        if missing:
            failures.append(f"--exclude: typed {typed_keys!r}: {missing} "
                            f"neither in the personal dictionary "
                            f"{mine_words} nor in SKK-JISYO.L {large_words}")
    # No pair of the personal dictionary is one SKK-JISYO.L has, read from
    # the files: Emacs SKK falls back on ja-dic (made of SKK-JISYO.L) for a
    # reading its dictionaries lack, so what it offers cannot tell.
    for entry, (words, _) in parse(read_lines(mine, "euc_jis_2004"))[0].items():
        held = {word_of(w) for w in large.get(entry, ([], ""))[0]}
        twice = [w for w in words if word_of(w) in held]
        if twice:
            failures.append(f"--exclude: {entry[1]}: {twice} SKK-JISYO.L "
                            f"has, kept too")
    return failures, total, found, kept


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"], required=True)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    for missing in (missing_client(args.client), missing_client("emacs")):
        if missing:
            # Emacs SKK writes the personal dictionary for both clients.
            print(f"skip: {missing} not installed")
            return SKIP
    if not (os.path.exists(SMALL) and os.path.exists(LARGE)):
        print("skip: skkdic is not installed")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory() as work:
        empty = os.path.join(work, "SKK-JISYO.empty")
        with open(empty, "w") as f:
            f.write(";; okuri-ari entries.\n;; okuri-nasi entries.\n")
        vocabulary = os.path.join(work, "vocabulary.txt")
        vocabulary_rows = vocabulary_export(vocabulary)
        verbs_path = os.path.join(work, "verbs.txt")
        verb_rows = verb_export(verbs_path)
        exports = example_exports() + [(verbs_path, [], verb_rows),
                                       (vocabulary, vocabulary_rows, [])]
        for coding, (codec, libskk_encoding) in CODINGS.items():
            home = os.path.join(work, coding)
            os.mkdir(home)
            personal = os.path.join(home, "jisyo")
            emacs_session(personal, coding, SMALL, PERSONAL_KEYS + ["!save"],
                          home)
            problems, old = well_formed(personal, codec,
                                        f"{coding}, Emacs's own file")
            if problems or not any(blocks for _, blocks in old.values()):
                sys.exit(f"Emacs SKK wrote no usable personal dictionary: "
                         f"{problems} {old}")
            shutil.copy(personal, personal + ".before")
            problems, merged_rows, verbs = merge_all(program, personal,
                                                     exports, coding)
            failures += problems
            label = f"{coding}, merged"
            problems, merged = well_formed(personal, codec, label)
            failures += problems + kept_as_written(label, old, merged)
            want = expected_words(args.client, codec, old, merged_rows, verbs)
            if args.client == "emacs":
                # Every word typed, two words registered, the file saved;
                # then a new session.
                shown = emacs_session(
                    personal, coding, empty, list(want) +
                    [keys for keys, _, _ in REGISTERED] + ["!save"], home)
                total, found, problems = compare(label, want, shown, True)
                failures += problems
                print(f"emacs, {coding}: {found}/{total} words found after "
                      f"the merge ({len(want)} readings typed)")
                problems, saved = well_formed(personal, codec,
                                              f"{coding}, saved by Emacs")
                failures += problems
                for keys, again, word in REGISTERED:
                    want[again] = ([], [word])
                shown = emacs_session(personal, coding, empty, list(want),
                                      home)
                total, found, problems = compare(f"{coding}, saved by Emacs",
                                                 want, shown, False)
                failures += problems
                print(f"emacs, {coding}: {found}/{total} words found after "
                      f"registering {len(REGISTERED)} words and saving")
                # SKK-JISYO.S, in Emacs SKK's order, merged into and
                # binary-searched as skk-large-jisyo; the personal
                # dictionary empty and left so.
                system = os.path.join(home, "SKK-JISYO.S")
                sorted_small(coding, system, by_bytes=False)
                first = coding_line(read_lines(system, codec))
                old = well_formed(system, codec, "", first)[1]
                problems, merged_rows, verbs = merge_all(program, system,
                                                         exports, coding)
                failures += problems
                label = f"{coding}, SKK-JISYO.S merged"
                problems, merged = well_formed(system, codec, label, first)
                failures += problems + kept_as_written(label, old, merged)
                want = expected_words(args.client, codec, old, merged_rows,
                                      verbs)
                os.remove(personal)
                shown = emacs_session(os.path.join(home, "empty-jisyo"),
                                      coding, system, ["!unlearned"] + list(want),
                                      home, coding)
                total, found, problems = compare(
                    f"{label}, skk-large-jisyo", want, shown, True)
                failures += problems
                print(f"emacs, {coding}, SKK-JISYO.S as skk-large-jisyo: "
                      f"{found}/{total} words found ({len(want)} readings "
                      f"typed)")
            else:
                # The personal dictionary as libskk's user dictionary.
                shown = libskk_lookup("user", personal, libskk_encoding,
                                      list(want), home)
                total, found, problems = compare(f"{label}, Skk.UserDict",
                                                 want, shown, True)
                failures += problems
                print(f"libskk, {coding}, personal dictionary as "
                      f"Skk.UserDict: {found}/{total} words found "
                      f"({len(want)} readings typed)")
                # Skk.FileDict binary-searches the file: the new readings
                # must land in a sorted dictionary's order, here
                # SKK-JISYO.S's, merged on the README's recipe for libskk
                # (--sort=bytes: in UTF-8, SKK-JISYO.S's readings are in
                # both orders, and Emacs SKK's is taken by default).
                system = os.path.join(home, "SKK-JISYO.S")
                sorted_small(coding, system)
                first = coding_line(read_lines(system, codec))
                old = well_formed(system, codec, "", first)[1]
                problems, merged_rows, verbs = merge_all(
                    program, system, exports, coding, ["--sort=bytes"])
                failures += problems
                label = f"{coding}, SKK-JISYO.S merged"
                problems, merged = well_formed(system, codec, label, first)
                failures += problems + kept_as_written(label, old, merged)
                want = expected_words(args.client, codec, old, merged_rows,
                                      verbs)
                shown = libskk_lookup("file", system, libskk_encoding,
                                      list(want), home)
                total, found, problems = compare(f"{label}, Skk.FileDict",
                                                 want, shown, True)
                failures += problems
                print(f"libskk, {coding}, SKK-JISYO.S as Skk.FileDict: "
                      f"{found}/{total} words found ({len(want)} readings "
                      f"typed)")
        problems, total, found, kept = exclusion_check(args.client, program,
                                                       exports, work)
        failures += problems
        print(f"{args.client}, --exclude SKK-JISYO.L: {found}/{total} words "
              f"found ({kept} offered with the personal dictionary alone) or "
              f"held by SKK-JISYO.L")
    for failure in failures:
        print(f"FAIL {args.client}: {failure}")
    print(f"{args.client}: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
