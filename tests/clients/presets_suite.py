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
  value parsed as dconf parses it (a GVariant string array), each element as
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
searched as the conversion searches. Each must give exactly its words, in
input order, once each (the presets write each word once); a word with a
character the output encoding lacks must be left out, and brenlow must have
said so.
"""
import argparse
import json
import os
import re
import shlex
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

# The encoding names libskk (GLib's iconv) takes, by the codec of the text.
LIBSKK_ENCODINGS = {"utf-8": {"UTF-8", "UTF8"}, "euc_jp": {"EUC-JP", "EUCJP"},
                    "euc_jis_2004": {"EUC-JISX0213"}}


class SettingError(Exception):
    pass


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


def apply_ibus(lines, path):
    """The dictionary ibus-skk opens for path from the printed lines."""
    writes = [shlex.split(line) for line in lines
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
    """The dictionary a libskk program opens from the lines: they name the
    file and one encoding name."""
    text = "\n".join(lines)
    if path not in text:
        raise SettingError(f"the lines do not name {path}: {lines}")
    known = set().union(*LIBSKK_ENCODINGS.values())
    named = {w for w in re.findall(r"[A-Za-z0-9_-]+", text) if w in known}
    if len(named) != 1:
        raise SettingError(f"the lines name {len(named)} encodings: {lines}")
    return ("cdb" if cdb else "file", path, named.pop())


# ---------------------------------------------------------------------------
def readings(ime_text, codec):
    """{reading: [word]} as the client should give them, text, each word
    once; and the words a codec cannot write, which must be left out."""
    wanted, left_out = {}, []
    for reading, words in expected_entries(ime_text).items():
        reading = reading.decode("cp932")
        if not writable(reading, codec):
            left_out += [(reading, w.decode("cp932")) for w in words]
            continue
        kept = []
        for word in dict.fromkeys(w.decode("cp932") for w in words):
            if writable(word, codec):
                kept.append(word)
            else:
                left_out.append((reading, word))
        if kept:
            wanted[reading] = kept
    return wanted, left_out


def writable(text, codec):
    try:
        return text.encode(codec).decode(codec) == text
    except UnicodeError:
        return False


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
    if HAND_MADE:
        proc = hand_made(program, options, name, source, work)
    else:
        proc = subprocess.run([program] + options + ["-o", name, source],
                              capture_output=True, cwd=work)
    stderr = proc.stderr.decode("utf-8", "backslashreplace")
    if proc.returncode != 0:
        raise SettingError(f"brenlow exited {proc.returncode}: {stderr}")
    lines = stderr.splitlines()
    told = [line for line in lines if line.startswith("brenlow: ")]
    settings = [line for line in lines if not line.startswith("brenlow:")]
    return os.path.join(work, name), told, settings


def check_run(program, run, source, ime_text, work):
    """Returns (readings, found, failures) of one run."""
    name, client, how, options, out_name, codec = run
    cdb = "--cdb" in options
    wanted, left_out = readings(ime_text, codec)
    try:
        path, told, lines = convert(program, options, out_name, source, work)
        if not lines:
            raise SettingError(f"no setting lines after {told}")
        if how == "ibus":
            opened = apply_ibus(lines, path)
        elif how == "fcitx":
            opened = apply_fcitx(lines, path, "\n".join(told))
        elif how == "libskk":
            opened = apply_libskk(lines, path, cdb)
    except SettingError as error:
        return len(wanted), 0, [f"{name}: {error}"]
    failures = []
    # What cannot be written is left out with a word from brenlow: each
    # such word named.
    said = "\n".join(told)
    for reading, word in left_out:
        if word not in said and reading not in said:
            failures.append(f"{name}: {reading} /{word}/ cannot be written "
                            f"in {codec}; brenlow did not name it: {told}")
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
          f"words; {len(left_out)} words left out (not in {codec})")
    return len(wanted), found, failures


HAND_MADE = False


def hand_made(program, options, name, source, work):
    """What --for should give, made from brenlow's present options with
    iconv-like re-encoding and tinycdb's `cdb -c`: for trying this suite
    before brenlow has --for."""
    preset = options[options.index("--for") + 1]
    codec = {"euc-jp": "euc_jp", "euc-jis-2004": "euc_jis_2004"}.get(
        options[options.index("--to") + 1] if "--to" in options else "",
        "euc_jp" if "--cdb" in options else "utf-8")
    order = "--sort" if preset == "emacs-skk" else "--sort=bytes"
    made = subprocess.run([program, order, "--eol", "lf", "--unique", source],
                          capture_output=True, check=True)
    text = made.stdout.decode("cp932")
    out, told, cdb = [], [], []
    for line in text.split("\n")[:-1]:
        if line.startswith(";"):
            out.append(line)
            continue
        reading, rest = line.split(" /", 1)
        words = [w for w in rest[:-1].split("/")]
        kept = [w for w in words if writable(w, codec)]
        told += [f"brenlow: {reading} /{w}/ cannot be written" for w in words
                 if w not in kept]
        if not writable(reading, codec):
            told += [f"brenlow: {reading} /{w}/ cannot be written"
                     for w in kept]
        elif kept:
            out.append(reading + " /" + "/".join(kept) + "/")
            cdb.append((reading.encode(codec),
                        ("/" + "/".join(kept) + "/").encode(codec)))
    # The order of the output's bytes (libskk's binary search compares
    # bytes; Emacs SKK's, characters, which UTF-8's bytes keep).
    heads = [line for line in out if line.startswith(";")]
    out = heads + sorted((line for line in out if not line.startswith(";")),
                         key=lambda line: line.split(" /")[0].encode(codec))
    cdb.sort()
    path = os.path.join(work, name)
    coding = {"utf-8": "utf-8", "euc_jp": "euc-jp",
              "euc_jis_2004": "euc-jis-2004"}[codec]
    if "--cdb" in options:
        records = b"".join(b"+%d,%d:%s->%s\n" % (len(k), len(v), k, v)
                           for k, v in cdb) + b"\n"
        subprocess.run(["cdb", "-c", path], input=records, check=True)
    else:
        with open(path, "wb") as f:
            f.write(f";; -*- mode: fundamental; coding: {coding} -*-\n"
                    .encode() + "\n".join(out).encode(codec) + b"\n")
    libskk_name = {"utf-8": "UTF-8", "euc_jp": "EUC-JP",
                   "euc_jis_2004": "EUC-JISX0213"}[codec]
    told.append(f"brenlow: wrote {path}; settings for {preset}:")
    if preset == "emacs-skk":
        lines = ([f"(add-to-list 'skk-search-prog-list "
                  f"'(skk-search-cdb-jisyo \"{path}\") t)"]
                 if "--cdb" in options else
                 [f"(add-to-list 'skk-extra-jisyo-file-list "
                  f"'(\"{path}\" . {coding}))"])
    elif preset == "ibus-skk":
        entries = ["type=file,file=/home/me/.config/ibus-skk/user.dict,"
                   "mode=readwrite",
                   "type=file,file=/usr/share/skk/SKK-JISYO.L,mode=readonly",
                   f"type=file,file={path},mode=readonly,"
                   f"encoding={libskk_name}",
                   "type=server,host=localhost,port=1178"]
        lines = ["dconf write /desktop/ibus/engine/skk/dictionaries \"[" +
                 ", ".join(f"'{e}'" for e in entries) + "]\""]
    elif preset == "fcitx5-skk":
        lines = ["type=file,file=$FCITX_CONFIG_DIR/skk/user.dict,"
                 "mode=readwrite",
                 "type=file,file=/usr/share/skk/SKK-JISYO.L,mode=readonly",
                 f"type=file,file={path},mode=readonly,"
                 f"encoding={libskk_name}"]
    else:
        lines = [f"Skk.{'CdbDict' if '--cdb' in options else 'FileDict'}"
                 f"(\"{path}\", \"{libskk_name}\")"]
    return subprocess.CompletedProcess(
        [], 0, b"", "\n".join(told + lines).encode() + b"\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"], required=True)
    parser.add_argument("--readings", type=int, default=24000)
    parser.add_argument("--only", help="run only the runs whose name holds "
                        "this text")
    parser.add_argument("--hand-made", action="store_true",
                        help="make the files from brenlow's present options "
                        "instead of --for (before it has --for)")
    args = parser.parse_args()
    global HAND_MADE
    HAND_MADE = args.hand_made
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
        for run in RUNS:
            if run[1] != args.client or (args.only and args.only not in
                                         run[0]):
                continue
            total, found, failed = check_run(program, run, source, ime_text,
                                             work)
            if total < 20000:
                failed.append(f"{run[0]}: only {total} readings")
            failures += failed
    for failure in failures[:300]:
        print(f"FAIL {failure}")
    print(f"{args.client}: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
