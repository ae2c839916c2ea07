#!/usr/bin/env python3
"""Readings typed key by key in a real SKK client, as a user types them:
Emacs SKK (ddskk, default skk-search-prog-list, the dictionary as
skk-large-jisyo) or libskk (an Skk.FileDict in an Skk.Context).

tests/clients/typed_readings_suite.py --program build/brenlow --client emacs

Converted on the README's recipe for the client: every export in examples/
(TAB text, macOS's CSV, Kotoeri's text, macOS's property list), as it is and
with --okuri-ari, whose words are read from each format's own fields here
(Python's csv and plistlib), never from brenlow's output; and a generated Microsoft IME file, written in Shift_JIS, UTF-8 and UTF-16LE
with its mark, whose readings hold every symbol class (ASCII and full-width
: ; - [ ] , . ! ? < > @ $ / and a digit first, inside and last, in readings
with kana and without), katakana, half-width katakana, combining voicing
marks (UTF-8 and UTF-16 only), CP932 duplicate codes (Shift_JIS only) and
two source readings that meet ("M!in" and "M！in" with one word).

A reading with kana is typed as Q, its romaji (ん "nn", small kana "x"...,
っ "xtu", う゛ "vu"; ー - 「 [ 」 ] ： : ； ; ？ ? 、 , 。 .; digits and ASCII
symbols as themselves, any other character as a key giving it) and SPC; one
without kana as /, its ASCII and SPC. Where each key works is taken from
key_table.expected (what the keys give, typed in both clients), not from
brenlow: for each reading this model says the client can type, every word
of the reading must be among the candidates the client offers (other
dictionaries, such as ja-dic in Emacs SKK, may add candidates; the words are
ones no other dictionary has). A reading the model says no key sequence
gives is not typed; the program's one warning line must then count it under
each of its reasons, with the first line. The word of "M!in" and "M！in"
must be offered, and written, once.
"""
import argparse
import csv
import json
import os
import plistlib
import re
import subprocess
import sys
import tempfile
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from client_suite import KANA, RECIPES, missing_client  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "examples")
SKIP = 77

# ---------------------------------------------------------------------------
# The typed form, from the key table: what ▽ mode's keys give where they are
# no romaji (every other key gives its own character), and in abbrev mode
# every key its own character.
KANA_MODE_KEYS = {",": "、", ".": "。", "-": "ー", "[": "「", "]": "」",
                  ":": "：", ";": "；", "?": "？"}
KEY_OF = {v: k for k, v in KANA_MODE_KEYS.items()}

# The romaji of each kana, as the other suites type them; を as well, which
# starts the conversion inside a reading but is typed first.
ROMAJI = dict(KANA, を="wo")


def has_kana(text):
    """A reading with hiragana, katakana (ー ・ among them), half-width
    katakana or 、。「」 is typed in ▽ mode."""
    return any("\u3041" <= c <= "\u30FF" or "\u31F0" <= c <= "\u31FF"
               or "\uFF61" <= c <= "\uFF9F" or c in "、。「」" for c in text)


def typed_form(reading):
    """(typed form, whether ▽ mode types it) of a reading (text)."""
    # A voicing mark, combining or half-width, joins the kana before it.
    joined, i = "", 0
    while i < len(reading):
        c, mark = reading[i], reading[i + 1:i + 2]
        if mark in ("\u3099", "\u309A", "ﾞ", "ﾟ"):
            base = unicodedata.normalize("NFKC", c)
            pair = unicodedata.normalize(
                "NFC", base + {"ﾞ": "\u3099", "ﾟ": "\u309A"}.get(mark, mark))
            if len(pair) == 1:
                joined, i = joined + pair, i + 2
                continue
        joined, i = joined + c, i + 1
    text = "".join(unicodedata.normalize("NFKC", c) if "\uFF61" <= c <= "\uFF9F"
                   else c for c in joined)
    kana_mode = has_kana(text) or text[:1] in (";", "；")
    out = ""
    for c in text:
        if "\uFF01" <= c <= "\uFF5E":
            c = chr(ord(c) - 0xFEE0)
        if c in "ヴゔ":
            out += "う゛"
        elif c in "ヵヶ":
            out += "かけ"["ヵヶ".index(c)]
        elif c in "ヷヸヹヺ":
            out += "わゐゑを"["ヷヸヹヺ".index(c)] + "゛"
        elif "\u30A1" <= c <= "\u30F3":
            out += chr(ord(c) - 0x60)
        elif c == "\u3000":
            out += " "
        elif kana_mode and c in KANA_MODE_KEYS:
            out += KANA_MODE_KEYS[c]
        else:
            out += c
    return out, kana_mode


def keys_for(form, kana_mode):
    """The keys a user types for the typed form, SPC last."""
    if not kana_mode:
        return "/" + form + " "
    keys, i = "Q", 0
    while i < len(form):
        if form[i:i + 2] == "う゛":
            keys, i = keys + "vu", i + 2
            continue
        c = form[i]
        keys += ROMAJI.get(c) or KEY_OF.get(c) or ("-" if c == "ー" else c)
        i += 1
    # ">" last starts the conversion itself (the ">" row's "end" cells: a
    # SPC after it asks for the next candidate).
    return keys if form.endswith(">") else keys + " "


# Why no key sequence gives a reading in ▽ mode, from key_table.expected.
# The phrase is how brenlow's warning names the reason.
REASONS = {
    # 、。：；」を typed after the first character, or > inside, start the
    # conversion in both clients (the ", . : ; ] wo" rows, "inside" and
    # "end" cells; the ">" row's "inside" cell).
    "both": ("where both clients start the conversion", {"emacs", "libskk"}),
    # ! ) } ? after the first character start it in libskk.
    "libskk": ("where libskk starts the conversion", {"libskk"}),
    # In Emacs SKK ? < $ / \ are commands anywhere, @ first is the date.
    "emacs": ("which are commands in Emacs SKK", {"emacs"}),
    # Letters are romaji in ▽ mode.
    "letters": ("ASCII letters among kana", {"emacs", "libskk"}),
    # No key gives ￥, nor anything but ASCII in abbrev mode.
    "no_key": ("a character no key gives", {"emacs", "libskk"}),
}


def untypable(form, kana_mode):
    """The REASONS keys that apply to the typed form."""
    reasons = set()
    if not kana_mode:
        if any(ord(c) > 0x7E for c in form):
            reasons.add("no_key")
        return reasons
    last = len(form) - 1
    for i, c in enumerate(form):
        if i > 0 and c in "、。：；」を":
            reasons.add("both")
        if c == ">" and 0 < i < last:
            reasons.add("both")
        if i > 0 and c in "!)}？":
            reasons.add("libskk")
        if c in "？<$/\\" or (c == "@" and i == 0):
            reasons.add("emacs")
        if c.isascii() and c.isalpha():
            reasons.add("letters")
        if c == "￥":
            reasons.add("no_key")
    return reasons


# ---------------------------------------------------------------------------
# The generated export.
SYMBOLS = ":;-[],.!?<>@$/7"
KANA_BASES = ["かさ", "たな", "はま", "やら", "わか", "さた", "なは", "まや",
              "らわ", "かた", "さな", "たは", "なま", "はや", "まら"]
SHIFT_JIS, UTF_8, UTF_16 = "shift_jis", "utf-8", "utf-16"
ALL = {SHIFT_JIS, UTF_8, UTF_16}
UNICODE = {UTF_8, UTF_16}


def generated_entries():
    """[(reading, word, encodings)]; a reading is text, or Shift_JIS bytes
    for a duplicate code."""
    entries = []
    for symbol, kana in zip(SYMBOLS, KANA_BASES):
        for width in (symbol, chr(ord(symbol) + 0xFEE0)):
            letters = "ho" if width == symbol else "ｈｏ"
            for reading in (width + kana, kana[0] + width + kana[1],
                            kana + width, width + letters,
                            letters[0] + width + letters[1], letters + width):
                entries.append((reading, ALL))
    entries += [(r, ALL) for r in [
        "：ｈｏｌｏ", "ｗｅｂ", "カタカナ", "ヴァイオリン", "キャッシュ", "ｶﾞｲﾄﾞ",
        "ﾊﾟｿｺﾝ", "ｷｬｯｼｭ", "ｳﾞｨｰﾅｽ", "か>", "]かさ", "」かな", "かをり",
        "ふぁいる￥", "ｶﾅa", "ab￥", "・かさ", "わーどぷろせっさ"]]
    entries += [(r, UNICODE) for r in [
        "か\u3099いと\u3099", "ハ\u309Aン", "ウ\u3099ァ", "ｶ\u3099ﾗｽ"]]
    # CP932 codes that repeat another character's code: ≒ at 8790 (81E0),
    # ∵ at 879A (81E6), 纊 at ED40 (FA5C), ￢ at EEF9 (81CA).
    entries += [(r, {SHIFT_JIS}) for r in [
        b"\x87\x90" + "あい".encode("cp932"),
        "か".encode("cp932") + b"\x87\x9a" + "さ".encode("cp932"),
        "かさ".encode("cp932") + b"\xed\x40",
        b"\xee\xf9" + "かな".encode("cp932")]]
    numbered = [(r, f"語{i:03d}", e) for i, (r, e) in enumerate(entries)]
    numbered.append((":あいす", "\U0001F366", UNICODE))
    numbered.append((":あいす", "氷菓子", {SHIFT_JIS}))
    # Two source readings meeting in one typed form, one word.
    numbered.append(("M!in", "めいん語", ALL))
    numbered.append(("M！in", "めいん語", ALL))
    return numbered


def export_bytes(entries, encoding):
    """The Microsoft IME file of entries in encoding, and [(line number,
    reading as text, word)] of its entry lines."""
    lines, rows = [b"!Microsoft IME Dictionary Tool"], []
    codec = {SHIFT_JIS: "cp932", UTF_8: "utf-8", UTF_16: "utf-8"}[encoding]
    for reading, word, encodings in entries:
        if encoding not in encodings:
            continue
        raw = reading if isinstance(reading, bytes) else reading.encode(codec)
        lines.append(raw + b"\t" + word.encode(codec) + b"\t" +
                     "名詞".encode(codec))
        if raw.startswith(b"!"):
            continue  # a comment line: "!" first is written full-width only
        text = reading.decode("cp932") if isinstance(reading, bytes) else reading
        rows.append((len(lines), text, word))
    data = b"\r\n".join(lines) + b"\r\n"
    if encoding == UTF_16:
        data = b"\xff\xfe" + data.decode("utf-8").encode("utf-16-le")
    return data, rows


def example_text(data):
    """The text of an export's bytes: UTF-16 by its mark, else UTF-8, else
    Shift_JIS."""
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        return data.decode("utf-16")
    try:
        return data.decode("utf-8-sig")
    except UnicodeDecodeError:
        return data.decode("cp932")


def example_format(data):
    """Which export the bytes are, told as a user tells them: a property
    list is XML, Kotoeri's lines are quoted fields, macOS's CSV lines hold
    commas and no TAB; anything else is TAB text."""
    text = example_text(data)
    first = re.split(r"\r\n|\r|\n", text.lstrip(), maxsplit=1)[0]
    if first.startswith(("<?xml", "<plist", "<!DOCTYPE plist")):
        return "plist"
    if first.startswith('"'):
        return "kotoeri"
    if "," in first and "\t" not in first:
        return "csv"
    return "tab"


def example_fields(name):
    """[(line number, fields)] of the entries of an export in examples/,
    read from the export's own fields: reading, word and what follows (a
    property list's entries are [shortcut, phrase], without a line number:
    None)."""
    with open(os.path.join(EXAMPLES, name), "rb") as f:
        data = f.read()
    kind = example_format(data)
    if kind == "plist":
        return [(None, [entry["shortcut"], entry["phrase"]])
                for entry in plistlib.loads(data)
                if entry.get("shortcut") and entry.get("phrase")]
    entries = []
    # LF, CR LF and a lone CR each end a line (Kotoeri's text has CR).
    lines = re.split(r"\r\n|\r|\n", example_text(data))
    for number, line in enumerate(lines, 1):
        if kind == "tab":
            fields = line.split("\t")
            if line.startswith("!"):
                continue
        elif kind == "kotoeri":  # "reading", "word", "part of speech"
            fields = next(csv.reader([line], skipinitialspace=True), [])
        else:  # reading,word,part of speech; "a,b" and "1""" quoted
            fields = next(csv.reader([line]), [])
        if len(fields) >= 2:
            entries.append((number, fields))
    return entries


def example_rows(name):
    """[(line number, reading, word)] of an export in examples/."""
    return [(number, fields[0], fields[1])
            for number, fields in example_fields(name)]


def example_inputs():
    """(name, path, rows, output encoding) of every export in examples/
    (the dictionaries made from them, *.skk, left out)."""
    inputs = []
    for name in sorted(os.listdir(EXAMPLES)):
        path = os.path.join(EXAMPLES, name)
        if name.endswith(".skk") or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        shift_jis = not data.startswith((b"\xff\xfe", b"\xfe\xff"))
        try:
            data.decode("utf-8")
            shift_jis = False
        except UnicodeDecodeError:
            pass
        inputs.append((name, path, example_rows(name),
                       SHIFT_JIS if shift_jis else UTF_8))
    return inputs


# ---------------------------------------------------------------------------
# The clients.
EMACS_TYPING = r"""
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(let ((home (make-temp-file "brenlow-skk" t)))
  ;; The folder goes when Emacs does, after ddskk has saved into it.
  (add-hook 'kill-emacs-hook `(lambda () (delete-directory ,home t)) t)
  (setq skk-user-directory home
        skk-jisyo (expand-file-name "jisyo" home)
        skk-backup-jisyo (expand-file-name "jisyo.bak" home)
        skk-record-file (expand-file-name "record" home)))
(require 'skk)
(require 'json)
(let* ((dictionary (nth 0 command-line-args-left))
       (coding (intern (nth 1 command-line-args-left)))
       (keys-list (with-temp-buffer
                    (insert-file-contents (nth 2 command-line-args-left))
                    (split-string (buffer-string) "\n" t))))
  (setq command-line-args-left nil
        skk-large-jisyo (cons dictionary coding))
  (dolist (keys keys-list)
    (let ((buffer (generate-new-buffer "typing")) (offered nil) (key nil))
      (switch-to-buffer buffer)
      (skk-mode 1)
      ;; Registration (no candidate) reads standard input, which is empty.
      (condition-case nil (execute-kbd-macro keys) (error nil))
      (with-current-buffer buffer
        (setq key skk-henkan-key)
        ;; The candidates SPC offered, then those further SPCs offer.
        (let ((found (copy-sequence skk-henkan-list)))
          (condition-case nil
              (while skk-current-search-prog-list
                (setq found (append found (skk-search))))
            (error nil))
          (dolist (candidate found)
            ;; Numeric conversion gives (word shown . word filed).
            (let ((word (car (skk-treat-strip-note-from-word
                              (if (consp candidate) (car candidate)
                                candidate)))))
              (push (condition-case nil
                        (if (skk-lisp-prog-p word) (skk-eval-string word) word)
                      (error word))
                    offered))))
        (condition-case nil (skk-kakutei) (error nil)))
      (switch-to-buffer "*scratch*")
      (kill-buffer buffer)
      (princ (concat "[" (json-encode-string keys) ","
                     (json-encode-string (or key "")) ","
                     (json-encode (vconcat (nreverse offered))) "]\n")))))
"""

LIBSKK_TYPING = r"""
import json, sys
import gi
gi.require_version("Skk", "1.0")
from gi.repository import Skk
Skk.init()
context = Skk.Context.new([Skk.FileDict.new(sys.argv[1], sys.argv[2])])
for keys in open(sys.argv[3], encoding="utf-8").read().split("\n"):
    if not keys:
        continue
    context.reset()
    for key in keys:
        if key == " ":
            event = Skk.KeyEvent.from_string("space")
        elif key.isascii():
            event = Skk.KeyEvent.from_string(key)
        else:  # a key giving the character, as an input method gives it
            event = Skk.KeyEvent.new(key, key, Skk.ModifierType.NONE)
        if key in (" ", ">") and key == keys[-1]:
            shown = context.get_preedit().lstrip("▽")
        context.process_key_event(event)
    candidates = context.get_candidates()
    offered = [candidates.get(i).get_output()
               for i in range(candidates.get_size())]
    print(json.dumps([keys, shown, offered], ensure_ascii=False))
"""


def type_readings(client, dictionary, coding, keys, work):
    """{keys: (reading the client built, [words offered])}"""
    listing = os.path.join(work, "keys.txt")
    with open(listing, "w", encoding="utf-8") as f:
        f.write("".join(k + "\n" for k in keys))
    if client == "emacs":
        script = os.path.join(work, "type_keys.el")
        with open(script, "w", encoding="utf-8") as f:
            f.write(EMACS_TYPING)
        command = ["emacs", "-Q", "--batch", "-l", script, dictionary, coding,
                   listing]
    else:
        script = os.path.join(work, "type_keys.py")
        with open(script, "w", encoding="utf-8") as f:
            f.write(LIBSKK_TYPING)
        command = ["/usr/bin/python3", script, dictionary,
                   "CP932" if coding == "cp932" else "UTF-8", listing]
    proc = subprocess.run(command, capture_output=True, timeout=900,
                          stdin=subprocess.DEVNULL,
                          env=dict(os.environ, LC_ALL="C.UTF-8"))
    if proc.returncode != 0:
        sys.exit(f"{client} failed: {proc.stderr.decode(errors='replace')}")
    results = {}
    for line in proc.stdout.decode().splitlines():
        typed, reading, offered = json.loads(line)
        results[typed] = (reading, offered)
    return results


# ---------------------------------------------------------------------------
WARNING = (": readings no key sequence gives in Emacs SKK or libskk, filed "
           "as they are: ")


def check_warning(name, stderr, rows):
    """The program's messages: none but the one line naming the readings the
    model finds untypable, each reason with its count of lines and its
    first line. Returns the failures."""
    want = {}
    for number, reading, _ in rows:
        for reason in untypable(*typed_form(reading)):
            count, first = want.get(reason, (0, number))
            want[reason] = (count + 1, first)
    lines = stderr.splitlines()
    warned = [line for line in lines if WARNING in line]
    failures = [f"{name}: brenlow said {line!r}" for line in lines
                if WARNING not in line]
    if len(warned) > 1 or (warned and not want):
        failures.append(f"{name}: warned {warned}, expected no warning")
    if not want:
        return failures
    if not warned:
        return failures + [f"{name}: no warning naming the readings no key "
                           f"sequence gives; expected {want}"]
    said = warned[0].split(WARNING, 1)[1]
    for reason, (phrase, _) in REASONS.items():
        found = re.search(r"(\d+) hold [^;]*" + re.escape(phrase) +
                          r"[^;]* \(first at line (\d+)\)", said)
        got = (int(found.group(1)), int(found.group(2))) if found else None
        if got != want.get(reason):
            failures.append(f"{name}: the warning gave {got} (lines, first "
                            f"line) for readings that {phrase}; expected "
                            f"{want.get(reason)}: {said}")
    return failures


def check(client, name, dictionary, coding, rows, work):
    """Types each reading the client can type; returns (readings typed,
    found with all their words, words expected, words found, readings
    untypable there, failures)."""
    words, skipped = {}, set()
    for _, reading, word in rows:
        form, kana_mode = typed_form(reading)
        if untypable(form, kana_mode) & {
                r for r, (_, clients) in REASONS.items() if client in clients}:
            skipped.add(form)
        else:
            keys = keys_for(form, kana_mode)
            listed = words.setdefault(keys, (form, []))[1]
            if word not in listed:
                listed.append(word)
    results = type_readings(client, dictionary, coding, list(words), work)
    found, words_found, failures = 0, 0, []
    for keys, (form, expected) in words.items():
        reading, offered = results.get(keys, ("<not typed>", []))
        words_found += sum(word in offered for word in expected)
        if all(word in offered for word in expected):
            found += 1
        else:
            failures.append(
                f"{name}: reading {form!r} typed as {keys!r} (the client "
                f"built {reading!r}): expected {expected} among {offered}")
        for word in expected:
            if word == "めいん語" and offered.count(word) != 1:
                failures.append(f"{name}: {keys!r} offered {word} "
                                f"{offered.count(word)} times, expected once")
    return (len(words), found, sum(len(w) for _, w in words.values()),
            words_found, len(skipped), failures)


def written_once(dictionary, coding, name):
    """The word two source readings share is written once in the file."""
    with open(dictionary, "rb") as f:
        text = f.read().decode("cp932" if coding == "cp932" else "utf-8")
    lines = [line for line in text.splitlines() if line.startswith("M!in ")]
    if len(lines) != 1 or lines[0].count("/めいん語/") != 1 or lines[0].count(
            "めいん語") != 1:
        return [f"{name}: the lines of M!in are {lines}, expected one with "
                "めいん語 once"]
    return []


def convert(program, options, source, out):
    proc = subprocess.run([program] + options + ["-o", out, source],
                          capture_output=True)
    return proc.returncode, proc.stderr.decode("utf-8", "backslashreplace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"], required=True)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    missing = missing_client(args.client)
    if missing:
        print(f"skip: {missing} not installed")
        return SKIP
    failures = []
    total_typed = total_found = 0
    with tempfile.TemporaryDirectory() as work:
        # Each export converted as is and with --okuri-ari, which must
        # leave its okuri-nasi readings as they were.
        inputs = [(name + okuri_ari_name, path, rows, output, okuri_ari)
                  for name, path, rows, output in example_inputs()
                  for okuri_ari, okuri_ari_name in (([], ""), (
                      ["--okuri-ari"], " --okuri-ari"))]
        for encoding in (SHIFT_JIS, UTF_8, UTF_16):
            data, rows = export_bytes(generated_entries(), encoding)
            path = os.path.join(work, f"symbols_{encoding}.txt")
            with open(path, "wb") as f:
                f.write(data)
            inputs.append((f"symbols_{encoding}.txt", path, rows,
                           SHIFT_JIS if encoding == SHIFT_JIS else UTF_8, []))
        for number, (name, path, rows, output, more) in enumerate(inputs):
            options, coding = RECIPES[(args.client, output)]
            coding = "cp932" if coding.lower() == "cp932" else "utf-8"
            dictionary = os.path.join(work, f"{number}.skk")
            status, stderr = convert(program, options + more, path,
                                     dictionary)
            if status != 0:
                failures.append(f"{name}: brenlow exited {status}: {stderr}")
                continue
            failures += check_warning(name, stderr, rows)
            if name.startswith("symbols_"):
                failures += written_once(dictionary, coding, name)
            typed, found, words, words_found, skipped, failed = check(
                args.client, name, dictionary, coding, rows, work)
            print(f"{args.client}, {name}: {typed} readings typed, {found} "
                  f"found with all their words ({words_found} of {words} "
                  f"words); {skipped} readings no key sequence gives there")
            total_typed += typed
            total_found += found
            failures += failed
    for failure in failures:
        print(f"FAIL {args.client}: {failure}")
    print(f"{args.client}: {total_typed} readings typed, {total_found} found, "
          f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
