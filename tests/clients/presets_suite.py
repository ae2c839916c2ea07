#!/usr/bin/env python3
"""Converts a dictionary of more than 20,000 readings with `--for PROGRAM`,
takes the setting lines brenlow prints for the user and applies them as the
program applies its settings, then types every reading in the program.

tests/clients/presets_suite.py --program build/brenlow --client emacs

- Emacs SKK (ddskk): Emacs as Debian starts it (its site start files set
  skk-cdb-large-jisyo to SKK-JISYO.cdb), ddskk's default
  skk-search-prog-list, the printed Lisp in ~/.skk, which SKK reads when it
  starts (skk-extra-jisyo-file-list and skk-search-prog-list are not bound
  before that).
- libskk: an Skk.FileDict or Skk.CdbDict with the encoding the lines name.
- ibus-skk: the printed `dconf write /desktop/ibus/engine/skk/dictionaries`
  command run through bash, its value parsed as dconf parses it (a GVariant
  string array), each element as
  ibus-skk 1.4's PList (`\\` escapes, `,` ends a value, `=` ends a key), the
  dictionary opened as its engine opens it (encoding EUC-JP unless given;
  readonly, a name ending in .cdb a CdbDict, else a FileDict). Writing the
  key replaces ibus-skk's default list, so the value must keep the user
  dictionary and SKK-JISYO.L.
- fcitx5-skk: the printed lines read as fcitx5-skk 5.0 reads
  skk/dictionary_list (split at `,`, each piece at its first `=`, mode
  required, encoding EUC-JP unless given, a name ending in .cdb a CdbDict).

Each program reads text output (its preset, and with --to euc-jp and
--to euc-jis-2004) and CDB output (--cdb). Every reading is typed key by key
(a reading with kana as Q, its romaji, SPC; one without as /, its letters,
SPC); those no key sequence gives in that program (key_table.expected) are
searched as the conversion searches (so are readings with characters no
key gives: libskk 1.0.5 crashes on such a key event in ▽ mode). Each must
give exactly its words, in input order, once each (the presets write each
word once), less the lines brenlow named as holding a character the output
encoding lacks; such a line must hold that character, and the client's own
encoder (Emacs's coding system, glibc's iconv for libskk) must lack it too.
libskk cannot search EUC-JIS-2004 (its EUC-JISX0213 converter holds back a
kana a combining mark may follow): brenlow may refuse that run.

The settings must also carry awkward folder names (comma, =, quotes,
backslash, $, space, kana) through each program's quoting, or brenlow must
refuse them.
"""
import argparse
import ast
import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
from client_suite import (expected_entries, missing_client,  # noqa: E402
                          vocabulary, write_ime)
import typed_readings_suite as typing  # noqa: E402

SKIP = 77
PYTHON_GI = "/usr/bin/python3"

# Each run: the name shown, the client that types, how the lines are
# applied, brenlow's options, the file name given to -o, the Python codec of
# the text the client reads.
RUNS = [
    ("emacs-skk", "emacs", "emacs", ["--for", "emacs-skk"],
     "SKK-JISYO.mine", "utf-8"),
    ("emacs-skk --to euc-jp", "emacs", "emacs",
     ["--for", "emacs-skk", "--to", "euc-jp"], "SKK-JISYO.mine", "euc_jp"),
    ("emacs-skk --to euc-jis-2004", "emacs", "emacs",
     ["--for", "emacs-skk", "--to", "euc-jis-2004"], "SKK-JISYO.mine",
     "euc_jis_2004"),
    ("emacs-skk --cdb", "emacs", "emacs", ["--for", "emacs-skk", "--cdb"],
     "SKK-JISYO.mine.cdb", "euc_jp"),
    # The CDB in ddskk's own place for one, in place of Debian's
    # SKK-JISYO.cdb, as a user without that one sets it.
    ("emacs-skk --cdb as skk-cdb-large-jisyo", "emacs", "cdb-large",
     ["--for", "emacs-skk", "--cdb"], "SKK-JISYO.mine.cdb", "euc_jp"),
    ("libskk", "libskk", "libskk", ["--for", "libskk"], "SKK-JISYO.mine",
     "utf-8"),
    ("libskk --to euc-jp", "libskk", "libskk",
     ["--for", "libskk", "--to", "euc-jp"], "SKK-JISYO.mine", "euc_jp"),
    ("libskk --to euc-jis-2004", "libskk", "libskk",
     ["--for", "libskk", "--to", "euc-jis-2004"], "SKK-JISYO.mine",
     "euc_jis_2004"),
    ("libskk --cdb", "libskk", "libskk", ["--for", "libskk", "--cdb"],
     "SKK-JISYO.mine.cdb", "euc_jp"),
    ("ibus-skk", "libskk", "ibus", ["--for", "ibus-skk"], "SKK-JISYO.mine",
     "utf-8"),
    ("ibus-skk --cdb", "libskk", "ibus", ["--for", "ibus-skk", "--cdb"],
     "SKK-JISYO.mine.cdb", "euc_jp"),
    ("fcitx5-skk", "libskk", "fcitx", ["--for", "fcitx5-skk"],
     "SKK-JISYO.mine", "utf-8"),
    ("fcitx5-skk --cdb", "libskk", "fcitx", ["--for", "fcitx5-skk", "--cdb"],
     "SKK-JISYO.mine.cdb", "euc_jp"),
]


# The client's name of each encoding.
ENCODER = {"emacs": {"utf-8": "utf-8", "euc_jp": "euc-jp",
                     "euc_jis_2004": "euc-jis-2004"},
           "libskk": {"utf-8": "UTF-8", "euc_jp": "EUC-JP",
                      "euc_jis_2004": "EUC-JISX0213"}}


class SettingError(Exception):
    pass


class Refused(SettingError):
    pass


# libskk looks a reading up through glibc's EUC-JISX0213 converter, which
# holds back a kana that a combining mark may follow (か き く け こ ...) and
# is never flushed: that reading is not found and the kana is put before the
# next one looked up. brenlow may refuse EUC-JIS-2004 for libskk instead of
# writing a file its users cannot search.
MAY_REFUSE = {"libskk --to euc-jis-2004": "euc-jis-2004"}


# ---------------------------------------------------------------------------
# The programs' own readings of their settings.
def ibus_plist(text):
    """ibus-skk 1.4's PList (src/plist.vala): a backslash takes the next
    character as it is, "=" ends a key, "," ends a value."""
    fields, builder, key, i = {}, "", None, 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            i += 1
            if i == len(text):
                raise SettingError(f"plist {text!r} ends in a backslash")
            builder += text[i]
        elif c == ",":
            if key is None:
                raise SettingError(f"plist {text!r}: a value with no key")
            fields[key], builder, key = builder, "", None
        elif c == "=":
            key, builder = builder, ""
        else:
            builder += c
        i += 1
    if key is None:
        raise SettingError(f"plist {text!r}: a value with no key at the end")
    fields[key] = builder
    return fields


def ibus_dictionary(fields):
    """(kind, path, encoding) as ibus-skk's parse_dict_from_plist opens the
    entry, or None for what is no read-only file dictionary."""
    encoding = fields.get("encoding", "EUC-JP")
    if fields.get("type") != "file" or "file" not in fields:
        return None
    if fields.get("mode", "readonly") != "readonly":
        return None
    path = fields["file"]
    return ("cdb" if path.endswith(".cdb") else "file", path, encoding)


def dconf_value(text):
    """The value of `dconf write KEY VALUE` as dconf parses it."""
    proc = subprocess.run(
        [PYTHON_GI, "-c", "import json, sys\nfrom gi.repository import GLib\n"
         "v = GLib.Variant.parse(None, sys.argv[1], None, None)\n"
         "print(json.dumps([v.get_type_string(), v.unpack()]))", text],
        capture_output=True, text=True)
    if proc.returncode != 0:
        raise SettingError(f"dconf cannot parse {text!r}: {proc.stderr}")
    return json.loads(proc.stdout)


def shell_words(line):
    """The words the user's shell gives dconf for the command line."""
    proc = subprocess.run(
        ["bash", "-c", "dconf() { printf '%s\\0' dconf \"$@\"; }\n" + line],
        capture_output=True)
    if proc.returncode != 0:
        raise SettingError(f"the shell cannot run {line!r}: {proc.stderr!r}")
    return proc.stdout.decode("utf-8").split("\0")[:-1]


def apply_ibus(lines, path):
    """The dictionary ibus-skk opens for path from the printed lines."""
    writes = [shell_words(line) for line in lines
              if line.lstrip().startswith("dconf write")]
    if len(writes) != 1:
        raise SettingError(f"expected one `dconf write` line, got {lines}")
    words = writes[0]
    if len(words) != 4 or words[2] != "/desktop/ibus/engine/skk/dictionaries":
        raise SettingError(f"not ibus-skk's dictionaries key: {words}")
    kind, value = dconf_value(words[3])
    if kind != "as":
        raise SettingError(f"the value is of type {kind}, ibus-skk reads as")
    entries = [ibus_plist(element) for element in value]
    opened = [ibus_dictionary(fields) for fields in entries]
    # The list replaces ibus-skk's default one: the user's own dictionary
    # and SKK-JISYO.L must stay in it.
    if not any(e.get("mode") == "readwrite" and e.get("file", "").endswith(
            "/ibus-skk/user.dict") for e in entries):
        raise SettingError(f"the list drops the user dictionary: {value}")
    if not any(o and o[1] == "/usr/share/skk/SKK-JISYO.L" for o in opened):
        raise SettingError(f"the list drops SKK-JISYO.L: {value}")
    ours = [o for o in opened if o and o[1] == path]
    if len(ours) != 1:
        raise SettingError(f"{len(ours)} entries open {path}: {value}")
    return ours[0]


def fcitx_entry(line):
    """(type, mode, path, encoding) as fcitx5-skk 5.0 reads a line of
    skk/dictionary_list: trimmed, split at commas (empty pieces dropped),
    each piece at its first "="; mode 0 none, 1 readonly, 2 readwrite."""
    fields, mode = {}, 0
    for piece in [p for p in line.strip().split(",") if p]:
        if "=" not in piece:
            continue
        key, value = piece.split("=", 1)
        if key == "mode":
            mode = {"readonly": 1, "readwrite": 2}.get(value, mode)
        elif key in ("file", "type", "host", "port", "encoding"):
            fields[key] = value
    return (fields.get("type", ""), mode, fields.get("file", ""),
            fields.get("encoding") or "EUC-JP")


def apply_fcitx(lines, path, told):
    """The dictionary fcitx5-skk opens for path from the printed lines, as
    the user's ~/.local/share/fcitx5/skk/dictionary_list. That file hides
    the system's list: the lines keep SKK-JISYO.L, or brenlow's own line
    tells the user to start from the system's list."""
    entries = [fcitx_entry(line) for line in lines]
    ours = [e for e in entries if e[0] == "file" and e[2] == path]
    if len(ours) != 1:
        raise SettingError(f"{len(ours)} lines open {path}: {lines}")
    kind, mode, _, encoding = ours[0]
    if mode != 1:
        raise SettingError(f"the line {lines} has no mode=readonly: "
                           "fcitx5-skk skips it")
    keeps_large = any(e[2] == "/usr/share/skk/SKK-JISYO.L" and e[1] == 1
                      for e in entries)
    if not keeps_large and "/usr/share/fcitx5/skk/dictionary_list" not in told:
        raise SettingError("a dictionary_list of these lines drops "
                           "SKK-JISYO.L and brenlow does not say to copy "
                           f"/usr/share/fcitx5/skk/dictionary_list: {lines}")
    return ("cdb" if path.endswith(".cdb") else "file", path, encoding)


def apply_libskk(lines, path, cdb):
    """The dictionary a Python program opens from the printed call
    Skk.FileDict.new(PATH, ENCODING) or Skk.CdbDict.new(...), its arguments
    read as Python reads them."""
    calls = [re.fullmatch(r"\s*Skk\.(FileDict|CdbDict)\.new(\(.*\))\s*", line)
             for line in lines]
    calls = [c for c in calls if c]
    if len(calls) != 1:
        raise SettingError(f"expected one Skk.FileDict.new or "
                           f"Skk.CdbDict.new call: {lines}")
    try:
        given, encoding = ast.literal_eval(calls[0].group(2))
    except (ValueError, SyntaxError, TypeError) as error:
        raise SettingError(f"Python cannot read {lines}: {error}")
    if given != path or (calls[0].group(1) == "CdbDict") != cdb:
        raise SettingError(f"the call {lines} does not open {path}")
    return ("cdb" if cdb else "file", given, encoding)


# ---------------------------------------------------------------------------
SKIPPED = re.compile(r"^brenlow: [^:]*:(\d+): the (reading|word) holds "
                     r"U\+([0-9A-F]{4,6}), which ([-A-Za-z0-9]+) cannot "
                     r"write; line skipped$")


def client_writes(client, coding, characters):
    """The characters the client's own encoder writes in that encoding:
    Emacs's coding system, or glibc's iconv, which libskk converts with."""
    if not characters:
        return set()
    if client == "emacs":
        lisp = ("(dolist (c (string-to-list (car command-line-args-left))) "
                "(princ (if (unencodable-char-position 0 1 '%s nil "
                "(string c)) \"n\" \"y\")))" % coding)
        proc = subprocess.run(["emacs", "-Q", "--batch", "--eval", lisp,
                               "".join(characters)], capture_output=True,
                              text=True, env=dict(os.environ,
                                                  LC_ALL="C.UTF-8"))
        return {c for c, y in zip(characters, proc.stdout) if y == "y"}
    return {c for c in characters
            if subprocess.run(["iconv", "-f", "UTF-8", "-t", coding],
                              input=c.encode(),
                              capture_output=True).returncode == 0}


def skipped_lines(told, ime_text, client, coding):
    """{line number} of the lines brenlow left out as holding a character
    the output's encoding lacks, and the failures: every other message (but
    the one naming readings no key sequence gives) is one, and so is a line
    left out whose character the line does not hold or the client's own
    encoder writes."""
    lines = ime_text.split(b"\r\n")
    numbers, failures, left_out = set(), [], {}
    for message in told:
        found = SKIPPED.match(message)
        if not found:
            if (b": readings no key sequence gives in Emacs SKK or libskk"
                    not in message.encode() and " to use '" not in message):
                failures.append(f"brenlow said {message!r}")
            continue
        number, character = int(found.group(1)), chr(int(found.group(3), 16))
        numbers.add(number)
        line = (lines[number - 1].decode("cp932", "replace")
                if number <= len(lines) else "")
        if character not in line:
            failures.append(f"line {number} {line!r} left out for "
                            f"{character!r}, which it does not hold: "
                            f"{message!r}")
        left_out.setdefault(character, []).append(number)
    for character in client_writes(client, coding, sorted(left_out)):
        # brenlow writes EUC-JP by Emacs's table, which has no code for
        # U+2015: glibc writes it at A1BD, which Emacs reads as U+2014
        # (doc/formats.md).
        if client != "emacs" and character == "\u2015":
            continue
        failures.append(f"lines {left_out[character]} left out for "
                        f"{character!r} (U+{ord(character):04X}), which "
                        f"{client} writes in {coding}")
    return numbers, failures


def readings(ime_text, skipped):
    """{reading: [word]} as the client should give them, text, each word
    once, without the lines brenlow left out."""
    lines = ime_text.split(b"\r\n")
    kept = b"\r\n".join(b"" if n + 1 in skipped else line
                         for n, line in enumerate(lines))
    return {reading.decode("cp932"): list(dict.fromkeys(
        w.decode("cp932") for w in words))
        for reading, words in expected_entries(kept).items()}


def has_keys(form):
    """Whether a keyboard has a key for each character of the typed form:
    ASCII, the kana of the romaji table, う゛ and what ▽ mode's symbol
    keys give. (Anything else comes from another input method; libskk
    1.0.5 crashes on such a key event in ▽ mode.)"""
    i = 0
    while i < len(form):
        if form[i:i + 2] == "う゛":
            i += 2
            continue
        c = form[i]
        if not (" " < c <= "~" or c in typing.ROMAJI or c in typing.KEY_OF
                or c == "ー"):
            return False
        i += 1
    return True


def requests(wanted, client):
    """{request: reading}: each reading typed, or looked up where the key
    table says no key sequence gives it in that client."""
    out = {}
    for reading in wanted:
        form, kana_mode = typing.typed_form(reading)
        reasons = {r for r, (_, clients) in typing.REASONS.items()
                   if client in clients}
        if (form != reading or not has_keys(form)
                or typing.untypable(form, kana_mode) & reasons):
            out["L" + reading] = reading
        else:
            out["T" + typing.keys_for(form, kana_mode)] = reading
    return out


def run_emacs(lines, listing, work):
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, ".skk"), "w", encoding="utf-8") as f:
        f.write("".join(line + "\n" for line in lines))
    open(os.path.join(home, ".skk-jisyo"), "w").close()
    for stale in ("record", ".skk-record"):
        if os.path.exists(os.path.join(home, stale)):
            os.remove(os.path.join(home, stale))
    return subprocess.run(
        ["emacs", "--batch", "-l", os.path.join(HERE, "preset_typing.el"),
         listing], capture_output=True, timeout=1800, cwd=home,
        stdin=subprocess.DEVNULL,
        env=dict(os.environ, HOME=home, LC_ALL="C.UTF-8"))


def run_libskk(opened, listing, work):
    kind, path, encoding = opened
    return subprocess.run(
        [PYTHON_GI, os.path.join(HERE, "preset_libskk.py"), kind, path,
         encoding, listing], capture_output=True, timeout=1800, cwd=work,
        stdin=subprocess.DEVNULL, env=dict(os.environ, LC_ALL="C.UTF-8"))


def convert(program, options, name, source, work):
    """Runs brenlow as a user does, in the folder of the output; returns the
    absolute output path, brenlow's lines and the setting lines."""
    proc = subprocess.run([program] + options + ["-o", name, source],
                          capture_output=True, cwd=work)
    stderr = proc.stderr.decode("utf-8", "backslashreplace")
    if proc.returncode != 0:
        raise Refused(f"brenlow exited {proc.returncode}: {stderr}")
    lines = stderr.splitlines()
    told = [line for line in lines if line.startswith("brenlow: ")]
    settings = [line for line in lines if not line.startswith("brenlow:")]
    return os.path.join(work, name), told, settings


def check_run(program, run, source, ime_text, work):
    """Returns (readings, found, failures) of one run."""
    name, client, how, options, out_name, codec = run
    cdb = "--cdb" in options
    try:
        path, told, lines = convert(program, options, out_name, source, work)
        skipped, failures = skipped_lines(told, ime_text, client,
                                          ENCODER[client][codec])
        wanted = readings(ime_text, skipped)
        if not lines:
            raise SettingError(f"no setting lines after {told}")
        if how == "ibus":
            opened = apply_ibus(lines, path)
        elif how == "fcitx":
            opened = apply_fcitx(lines, path, "\n".join(told))
        elif how == "libskk":
            opened = apply_libskk(lines, path, cdb)
        elif how == "cdb-large":
            lines = [f'(setq skk-cdb-large-jisyo "{path}")']
    except Refused as error:
        if MAY_REFUSE.get(name, "\0") in str(error).lower():
            print(f"{name}: refused: {error}")
            return None, 0, []
        return 0, 0, [f"{name}: {error}"]
    except SettingError as error:
        return 0, 0, [f"{name}: {error}"]
    failures = [f"{name}: {failure}" for failure in failures]
    asked = requests(wanted, client)
    listing = os.path.join(work, "requests.txt")
    with open(listing, "w", encoding="utf-8") as f:
        f.write("".join(r + "\n" for r in asked))
    proc = (run_emacs(lines, listing, work) if client == "emacs"
            else run_libskk(opened, listing, work))
    if proc.returncode != 0:
        return len(wanted), 0, failures + [
            f"{name}: {client} failed: "
            f"{proc.stderr.decode(errors='replace')[-3000:]}"]
    got = {}
    for line in proc.stdout.decode("utf-8", "backslashreplace").splitlines():
        request, built, words = json.loads(line)
        got[request] = (built, words)
    found = typed = 0
    for request, reading in asked.items():
        built, words = got.get(request, (None, None))
        typed += request[0] == "T"
        if words == wanted[reading]:
            found += 1
            continue
        how_asked = (f"typed as {request[1:]!r} (built {built!r})"
                     if request[0] == "T" else "looked up")
        failures.append(f"{name}: reading {reading!r} {how_asked}: expected "
                        f"{wanted[reading]}, the client gave {words}")
    print(f"{name}: {len(wanted)} readings ({typed} typed key by key, "
          f"{len(wanted) - typed} searched), {found} with exactly their "
          f"words; {len(skipped)} lines left out (a character not in "
          f"{codec})")
    return len(wanted), found, failures


# Folder names that each setting's own quoting must carry: the shell's
# (dconf write), GVariant's, ibus-skk's property list (, = \), fcitx5-skk's
# comma-split lines, Emacs Lisp strings.
AWKWARD_FOLDERS = ["a b", "we,ird", "eq=ual", "quo'te", 'dq"uote',
                   "back\\slash", "dol$lar", "ア"]
PATH_RUNS = {"emacs": [("emacs-skk", "emacs", [])],
             "libskk": [("ibus-skk", "ibus", []), ("fcitx5-skk", "fcitx", []),
                        ("libskk", "libskk", [])]}


def check_paths(program, client, work):
    """Per folder name and program: the printed setting opens that very file
    and its word is found, or brenlow refuses (a non-zero exit). Returns
    (settings checked, failures)."""
    source = os.path.join(work, "small.txt")
    write_ime(source, [("かんじ", ["漢字"])], 0)
    failures, checked = [], 0
    for folder in AWKWARD_FOLDERS:
        where = os.path.join(work, "paths", folder)
        os.makedirs(where, exist_ok=True)
        for preset, how, more in PATH_RUNS[client]:
            name = f"{preset} in {folder!r}"
            try:
                path, told, lines = convert(
                    program, ["--for", preset] + more, "SKK-JISYO.mine",
                    source, where)
                if how == "ibus":
                    opened = apply_ibus(lines, path)
                elif how == "fcitx":
                    if "," in path:
                        # No line of fcitx5-skk's list can name it: brenlow
                        # must say so.
                        if not any("cannot name a file whose name holds a "
                                   "comma" in line for line in told):
                            failures.append(f"{name}: no warning that "
                                            "fcitx5-skk cannot name it")
                        checked += 1
                        continue
                    opened = apply_fcitx(lines, path, "\n".join(told))
                elif how == "libskk":
                    opened = apply_libskk(lines, path, False)
            except Refused:
                checked += 1
                continue
            except SettingError as error:
                failures.append(f"{name}: {error}")
                continue
            listing = os.path.join(work, "requests.txt")
            with open(listing, "w", encoding="utf-8") as f:
                f.write("TQkannzi \n")
            proc = (run_emacs(lines, listing, work) if client == "emacs"
                    else run_libskk(opened, listing, work))
            out = proc.stdout.decode("utf-8", "replace")
            if proc.returncode != 0 or "漢字" not in out:
                failures.append(f"{name}: the setting {lines} found "
                                f"{out.strip()!r}: "
                                f"{proc.stderr.decode(errors='replace')[-500:]}")
            checked += 1
    print(f"{client}: settings for {checked} awkward file paths, "
          f"{len(failures)} failures")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"], required=True)
    parser.add_argument("--readings", type=int, default=24000)
    parser.add_argument("--only", help="run only the runs whose name holds "
                        "this text")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    missing = missing_client(args.client)
    if missing:
        print(f"skip: {missing} not installed")
        return SKIP
    if not os.path.exists("/usr/share/skk/SKK-JISYO.L"):
        print("skip: skkdic is not installed")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "vocabulary.txt")
        write_ime(source, vocabulary(args.readings), 1)
        with open(source, "rb") as f:
            ime_text = f.read()
        failures += check_paths(program, args.client, work)
        for run in RUNS:
            if run[1] != args.client or (args.only and args.only not in
                                         run[0]):
                continue
            total, found, failed = check_run(program, run, source, ime_text,
                                             work)
            if total is not None and total < 20000:
                failed.append(f"{run[0]}: only {total} readings")
            failures += failed
    for failure in failures[:300]:
        print(f"FAIL {failure}")
    print(f"{args.client}: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
