#!/usr/bin/env python3
"""What AquaSKK, macSKK, CorvusSKK and skkeleton need of a file made with
`--for PROGRAM`, checked on one export of words that need each kind of
(concat ...) form. None of these programs runs on Debian: the checks are
their readers' rules.

tests/preset_conformance.py --program build/brenlow

- CorvusSKK: UTF-16LE with its mark; the others UTF-8 without a mark, the
  coding line first (skkeleton decodes with the encoding its setting names).
- LF line ends; `;; okuri-ari entries.` then `;; okuri-nasi entries.`, each
  once, after the first line (libskk-based readers look for the boundary
  after a line end); readings in the order of the written bytes; each word
  once.
- AquaSKK shows a (concat ...) form as text: no word may need one, and each
  word that does is left out with a message naming its line.
- macSKK undoes \\057 and \\073 in a one-string (concat "...") only: other
  forms are left out the same way; a kept form must give the word back.
- macSKK reads a file as UTF-8 only when its name holds "utf8": -o without it
  is warned about, with it not.
- `--for help` lists every program.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

# reading, word (as exported), what the word needs in an SKK dictionary:
# "plain", "slash-semicolon" (a one-string concat of \057 and \073 only) or
# "other" (any other concat form).
WORDS = [
    ("かんじ", "漢字", "plain"),
    ("かんじ", "感じ", "plain"),
    ("かんじ", "漢字", "plain"),              # filed twice: written once
    ("ぱす", "C:\\tmp", "plain"),
    ("ぶらうざ", "Firefox/Chrome", "slash-semicolon"),
    ("すらっしゅ", "a/b;c", "slash-semicolon"),
    ("かっこ", "(株)", "slash-semicolon"),   # Emacs would evaluate it bare
    ("おはよう", "おはよう;朝", "other"),    # "…;" and "…" as two strings
    ("てすと", 'say "hi"', "other"),         # \042
    ("えん", "￥100", "plain"),
    ("abc", "ＡＢＣ", "plain"),
]

# program: (codec of the file, mark, what it does with concat forms).
PROGRAMS = {
    "aquaskk": ("utf-8", b"", {"plain"}),
    "macskk": ("utf-8", b"", {"plain", "slash-semicolon"}),
    "corvusskk": ("utf-16-le", b"\xff\xfe",
                  {"plain", "slash-semicolon", "other"}),
    "skkeleton": ("utf-8", b"", {"plain", "slash-semicolon", "other"}),
}
ALL_PROGRAMS = ["emacs-skk", "ibus-skk", "fcitx5-skk", "libskk", "uim-skk",
                "skkserv", "aquaskk", "macskk", "corvusskk", "skkeleton"]

MACSKK_CONCAT = re.compile(r'\(concat "((?:[^"\\]|\\057|\\073)*)"\)')


def export(path):
    lines = ["!Microsoft IME Dictionary Tool"] + [
        f"{r}\t{w}\t名詞" for r, w, _ in WORDS]
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp932"))


def entries(text):
    """{reading: [candidate]} of the okuri-nasi section."""
    out, nasi = {}, False
    for line in text.split("\n"):
        if line == ";; okuri-nasi entries.":
            nasi = True
        elif nasi and line and not line.startswith(";"):
            reading, rest = line.split(" /", 1)
            out[reading] = rest[:-1].split("/")
    return out


def check_program(program, name, work):
    """Failures of `--for name` on the export."""
    codec, mark, shown = PROGRAMS[name]
    source = os.path.join(work, "export.txt")
    export(source)
    out = os.path.join(work, f"SKK-JISYO.{name}.utf8")
    proc = subprocess.run([program, "--for", name, "-o", out, source],
                          capture_output=True, cwd=work)
    messages = proc.stderr.decode("utf-8", "replace").splitlines()
    failures = []
    if proc.returncode != 0:
        return [f"exit status {proc.returncode}: {messages}"]
    with open(out, "rb") as f:
        data = f.read()
    if not data.startswith(mark) or (not mark and data.startswith(
            b"\xef\xbb\xbf")):
        failures.append(f"the file starts {data[:4]!r}, expected the mark "
                        f"{mark!r} and no other")
    try:
        text = data[len(mark):].decode(codec)
    except UnicodeDecodeError as error:
        return failures + [f"not {codec}: {error}"]
    if "\r" in text:
        failures.append("a CR in the file: lines must end in LF alone")
    lines = text.split("\n")
    if lines[-1] != "":
        failures.append("the last line has no line end")
    for boundary in (";; okuri-ari entries.", ";; okuri-nasi entries."):
        if lines.count(boundary) != 1 or lines.index(boundary) == 0:
            failures.append(f"{boundary!r} is not once after the first "
                            f"line: {lines[:4]}")
    if (";; okuri-ari entries." in lines and ";; okuri-nasi entries." in lines
            and lines.index(";; okuri-ari entries.") >
            lines.index(";; okuri-nasi entries.")):
        failures.append("okuri-nasi entries come before okuri-ari ones")
    if codec == "utf-8" and not lines[0].startswith(";; -*-"):
        failures.append(f"no coding line first: {lines[0]!r}")
    if name == "skkeleton":
        said = re.findall(r"\['[^']*', '([^']*)'\]", "\n".join(messages))
        if said != [codec]:
            failures.append(f"skkeleton is told the encoding {said}, the "
                            f"file is {codec}")
    got = entries(text)
    readings = list(got)
    if readings != sorted(readings, key=lambda r: r.encode(codec)):
        failures.append(f"readings not in the order of their bytes: "
                        f"{readings}")
    for number, (reading, word, needs) in enumerate(WORDS, start=2):
        candidates = got.get(reading, [])
        words = [decoded(c, name) for c in candidates]
        named = any(f":{number}: " in m for m in messages)
        if needs in shown:
            if words.count(word) != 1:
                failures.append(f"{reading} /{word}/ ({needs}) should be "
                                f"written once: {candidates}")
            if needs == "plain" and word not in candidates:
                failures.append(f"{reading} /{word}/ written as "
                                f"{candidates}, expected as it is")
        else:
            if word in words:
                failures.append(f"{reading} /{word}/ needs a form {name} "
                                f"cannot read, yet was written: {candidates}")
            if not named:
                failures.append(f"{reading} /{word}/ left out without a "
                                f"message naming line {number}: {messages}")
    concat = [c for cs in got.values() for c in cs if c.startswith("(")]
    if name == "aquaskk" and concat:
        failures.append(f"Lisp forms AquaSKK shows as text: {concat}")
    if name == "macskk" and not all(MACSKK_CONCAT.fullmatch(c)
                                    for c in concat):
        failures.append(f"concat forms macSKK cannot undo: {concat}")
    return failures


def decoded(candidate, name):
    """The word a candidate gives: a concat form undone where the program
    undoes it, else the candidate as the program shows it."""
    found = MACSKK_CONCAT.fullmatch(candidate)
    if found and name != "aquaskk":
        return found.group(1).replace("\\057", "/").replace("\\073", ";")
    if name in ("corvusskk", "skkeleton") and candidate.startswith("(concat"):
        parts = re.findall(r'"((?:[^"\\]|\\[0-7]{3})*)"', candidate)
        return "".join(re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1),
                                                                  8)), p)
                       for p in parts)
    return candidate


def check_macskk_name(program, work):
    """The file-name warning: given without utf8 in the name, not with."""
    source = os.path.join(work, "export.txt")
    export(source)
    failures = []
    for name, warned in [("SKK-JISYO.mine", True),
                         ("SKK-JISYO.mine.utf8", False),
                         ("utf8-SKK-JISYO.mine", False)]:
        proc = subprocess.run([program, "--for", "macskk", "-o", name,
                               source], capture_output=True, cwd=work)
        said = [m for m in proc.stderr.decode().splitlines()
                if "utf8" in m and "file name" in m]
        if bool(said) != warned:
            failures.append(f"-o {name}: file-name warning {said}, expected "
                            f"{'one' if warned else 'none'}")
    return failures


def check_help(program):
    proc = subprocess.run([program, "--for", "help"], capture_output=True,
                          text=True)
    listed = re.findall(r"^  (\S+)\s", proc.stdout, re.M)
    if proc.returncode != 0 or sorted(listed) != sorted(ALL_PROGRAMS):
        return [f"--for help listed {listed} (status {proc.returncode}), "
                f"expected {ALL_PROGRAMS}"]
    return []


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for name in PROGRAMS:
            failed = check_program(program, name, work)
            print(f"{name}: {len(failed)} failures")
            failures += [f"{name}: {f}" for f in failed]
        failures += [f"macskk: {f}" for f in check_macskk_name(program, work)]
        failures += check_help(program)
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
