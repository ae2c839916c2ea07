#!/usr/bin/env python3
"""What each printable ASCII key does in a reading, typed in the two real
SKK clients on their default settings: Emacs SKK (ddskk) and libskk.

For each key K (0x21..0x7E, and "wo" for を) four key sequences are typed,
each from a fresh buffer or context in hiragana mode:

  start   Q K a     K as the first character of a ▽ reading
  inside  Q a K i   K within a ▽ reading
  end     Q a K SPC K last in a ▽ reading, then conversion asked for
  abbrev  / a K b   K within an abbrev-mode reading

The clients have a small dictionary (あ /亜/, あい /愛/, あk /開/), so a
conversion K starts on its own shows as 亜. A cell is the text the client
shows after the keys (committed text, then the preedit or the ▽/▼ text;
a space shown as ␣), then markers:

  !look:R,...  readings looked up, in order (libskk: conversions that
               offered candidates or asked for registration)
  !reg:R       registration asked for reading R (no candidate)
  !mode:M      the input mode left on, when not hiragana (abbrev in the
               abbrev column): latin, zenkaku, katakana
  !menu        Emacs showed another buffer (the code-input menu)
  !err:E       Emacs stopped the keys with error E

Output: a header, then one TAB-separated line per key: the key, the four
cells of Emacs SKK, the four of libskk. key_table.expected next to this
file holds the output as found; --check types everything again and names
the keys whose lines differ (exit 1); exit 77 when a client is missing.

  python3 tests/clients/key_table.py            # print the table
  python3 tests/clients/key_table.py --check    # compare with expected
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXPECTED = os.path.join(HERE, "key_table.expected")
SKIP = 77

DICTIONARY = (";; -*- coding: utf-8 -*-\n"
              ";; okuri-ari entries.\n"
              "あk /開/\n"
              ";; okuri-nasi entries.\n"
              "あ /亜/\n"
              "あい /愛/\n")

KEYS = [chr(c) for c in range(0x21, 0x7F)] + ["wo"]
CONTEXTS = [
    ("start", "Q{}a", ""),
    ("inside", "Qa{}i", ""),
    ("end", "Qa{} ", ""),
    ("abbrev", "/a{}b", "abbrev"),
]
CLIENTS = ["emacs", "libskk"]


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


def unhex(text):
    return bytes.fromhex(text).decode("utf-8")


def unhex_list(text):
    return [unhex(item) for item in text.split(",")] if text else []


def run_emacs(dictionary, sequences):
    """Each sequence's report from key_table.el, as a dict."""
    proc = subprocess.run(
        ["emacs", "-Q", "--batch", "-l", os.path.join(HERE, "key_table.el"),
         dictionary] + sequences,
        stdin=subprocess.DEVNULL, capture_output=True, timeout=600)
    if proc.returncode != 0:
        sys.exit(f"emacs failed: {proc.stderr.decode()[-2000:]}")
    reports = {}
    for line in proc.stdout.decode().splitlines():
        fields = line.split("\t")
        if len(fields) != 8:
            continue
        typed, text, henkan, modes, looked, registering, menu, failure = fields
        reports[unhex(typed)] = {
            "text": unhex(text),
            "modes": modes.split(",") if modes else [],
            "look": unhex_list(looked),
            "reg": unhex_list(registering),
            "menu": menu == "menu",
            "err": unhex(failure),
        }
    return reports


def libskk_worker(dictionary, sequences):
    """Types each sequence in a fresh libskk context; prints one report a
    line as TAB-separated hex fields: typed, text, input mode, readings
    looked up, readings offered for registration."""
    import gi
    gi.require_version("Skk", "1.0")
    from gi.repository import Skk
    Skk.init()
    context = Skk.Context.new([Skk.FileDict.new(dictionary, "UTF-8")])
    registering_re = re.compile(r"^▼(.*?)【")
    for typed in sequences:
        context.reset()
        committed, looked, registering = "", [], []
        for key in typed:
            context.process_key_event(
                Skk.KeyEvent.from_string("space" if key == " " else key))
            committed += context.poll_output()
            candidates = context.get_candidates()
            preedit = context.get_preedit()
            # A conversion offers candidates of one reading; registration
            # shows its reading before 【.
            reading = None
            if candidates.get_size():
                reading = candidates.get(0).props.midasi
            match = registering_re.match(preedit)
            if match:
                reading = match.group(1)
                if reading not in registering:
                    registering.append(reading)
            if reading is not None and (not looked or looked[-1] != reading):
                looked.append(reading)
        text = committed + context.get_preedit()
        mode = context.props.input_mode.value_nick
        print("\t".join([typed.encode().hex(), text.encode().hex(),
                         "" if mode == "hiragana" else mode,
                         ",".join(r.encode().hex() for r in looked),
                         ",".join(r.encode().hex() for r in registering)]))


def run_libskk(dictionary, sequences):
    proc = subprocess.run(
        ["/usr/bin/python3", os.path.abspath(__file__), "--libskk-worker",
         dictionary] + sequences,
        stdin=subprocess.DEVNULL, capture_output=True, timeout=600)
    if proc.returncode != 0:
        sys.exit(f"libskk failed: {proc.stderr.decode()[-2000:]}")
    reports = {}
    for line in proc.stdout.decode().splitlines():
        typed, text, mode, looked, registering = line.split("\t")
        reports[unhex(typed)] = {
            "text": unhex(text),
            "modes": [mode] if mode else [],
            "look": unhex_list(looked),
            "reg": unhex_list(registering),
            "menu": False,
            "err": "",
        }
    return reports


DATE_RE = re.compile(r"[0-9０-９〇一二三四五六七八九十元]+年")


def cell(report, expected_mode):
    # No dictionary entry here gives a date; should one ever, the table
    # must not change with the day it is typed on.
    text = DATE_RE.sub("<date>", report["text"]).replace(" ", "␣")
    parts = [text]
    if report["look"]:
        parts.append("!look:" + ",".join(report["look"]))
    if report["reg"]:
        parts.append("!reg:" + ",".join(report["reg"]))
    modes = [m for m in report["modes"] if m != expected_mode]
    if modes:
        parts.append("!mode:" + ",".join(modes))
    if report["menu"]:
        parts.append("!menu")
    if report["err"]:
        parts.append("!err:" + report["err"].replace("\t", " "))
    return " ".join(parts)


def table():
    sequences = [pattern.format(key) for key in KEYS
                 for _, pattern, _ in CONTEXTS]
    with tempfile.TemporaryDirectory() as work:
        utf8 = os.path.join(work, "SKK-JISYO.utf8")
        euc = os.path.join(work, "SKK-JISYO.euc")
        with open(utf8, "w", encoding="utf-8") as out:
            out.write(DICTIONARY)
        with open(euc, "w", encoding="euc_jp") as out:
            out.write(DICTIONARY.replace("utf-8", "euc-jp"))
        reports = {"emacs": run_emacs(euc, sequences),
                   "libskk": run_libskk(utf8, sequences)}
    lines = ["key\t" + "\t".join(f"{client}:{name}" for client in CLIENTS
                                 for name, _, _ in CONTEXTS)]
    for key in KEYS:
        cells = []
        for client in CLIENTS:
            for _, pattern, expected_mode in CONTEXTS:
                typed = pattern.format(key)
                if typed not in reports[client]:
                    sys.exit(f"{client} gave no report for {typed!r}")
                cells.append(cell(reports[client][typed], expected_mode))
        lines.append(key + "\t" + "\t".join(cells))
    return lines


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--libskk-worker":
        libskk_worker(sys.argv[2], sys.argv[3:])
        return 0
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    for client in CLIENTS:
        missing = missing_client(client)
        if missing:
            print(f"skipped: {missing} not installed", file=sys.stderr)
            return SKIP
    lines = table()
    if not args.check:
        print("\n".join(lines))
        return 0
    with open(EXPECTED, encoding="utf-8") as expected_file:
        expected = expected_file.read().splitlines()
    if lines == expected:
        return 0
    want = {line.split("\t")[0]: line for line in expected}
    got = {line.split("\t")[0]: line for line in lines}
    for key in sorted(set(want) | set(got)):
        if want.get(key) != got.get(key):
            print(f"key {key!r}:\n  expected {want.get(key)}\n"
                  f"  typed    {got.get(key)}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
