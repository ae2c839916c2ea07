#!/usr/bin/env python3
"""Readings holding a CP932 code that has a duplicate, looked up in a real
SKK client: Emacs SKK (ddskk) or libskk.

tests/clients/cp932_duplicates.py --program build/brenlow --client libskk

Three Shift_JIS exports are converted with the README's recipe for the
client: one whose readings hold each character at the code glibc iconv
encodes it to (`≒` as 81E0), one at its other code (`≒` as 8790), one at
the third code of the characters that have three (`￢` EEF9, FA54, 81CA).
The codes are those of encodings/cp932_duplicates.inc. Each reading is
the character and `あ`, with a word naming the code; the check looks the
reading up as Unicode text, as a client does with what the user typed
(libskk: FileDict.lookup, which encodes the key with iconv; Emacs SKK:
skk-search-jisyo-file on skk-large-jisyo with skk-henkan-key set), and
reports for each export how many readings the client finds. Every reading
must be found: libskk finds one at a code iconv does not give back only if
brenlow has written it at the code iconv gives (canonical_cp932_pair).
Emacs SKK decodes every code of a character to the same character and finds
them all. CTest runs it per client (clients_cp932_duplicates_CLIENT).
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from client_suite import missing_client  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "..", "..", "encodings", "cp932_duplicates.inc")
SKIP = 77
SUFFIX = "\u3042"  # あ, so that a reading is more than the sign alone

EMACS_LOOKUP = r"""
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(setq skk-jisyo (make-temp-file "brenlow-jisyo") skk-initial-search-jisyo nil)
;; The file goes when Emacs does, after ddskk has saved into it.
(add-hook 'kill-emacs-hook `(lambda () (delete-file ,skk-jisyo)) t)
(require 'skk)
(require 'json)
(let* ((dictionary (nth 0 command-line-args-left))
       (readings (with-temp-buffer
                   (insert-file-contents (nth 1 command-line-args-left))
                   (split-string (buffer-string) "\n" t)))
       (skk-large-jisyo (cons dictionary 'cp932)))
  (setq command-line-args-left nil)
  (dolist (reading readings)
    (let ((skk-henkan-key reading) (skk-henkan-okurigana nil)
          (skk-okuri-char nil))
      (princ (concat "[" (json-encode-string reading) ","
                     (json-encode (vconcat (skk-search-jisyo-file
                                            skk-large-jisyo 10000 t)))
                     "]\n")))))
"""

LIBSKK_LOOKUP = r"""
import json, sys
import gi
gi.require_version("Skk", "1.0")
from gi.repository import Skk
Skk.init()
file_dict = Skk.FileDict.new(sys.argv[1], "CP932")
for reading in open(sys.argv[2], encoding="utf-8").read().split("\n"):
    if reading:
        words = [c.get_output() for c in file_dict.lookup(reading, False)]
        print(json.dumps([reading, words], ensure_ascii=False))
"""


def duplicates():
    """{character: [codes, the one iconv encodes it to first]}"""
    rows = re.findall(r"\{0x([0-9A-F]{4}), 0x([0-9A-F]{4})\}",
                      open(TABLE).read())
    characters = {}
    for code, target in rows:
        character = bytes.fromhex(target).decode("cp932")
        characters.setdefault(character, [target])
        characters[character].append(code)
    return characters


def typed(character):
    """The character as brenlow writes it in a reading: full-width ASCII
    (＇ and ＂ here) as the ASCII a user types, the rest as it is."""
    if "\uff01" <= character <= "\uff5e":
        return chr(ord(character) - 0xFEE0)
    return character


def exports(characters):
    """[(name, {reading as Unicode: word}, Shift_JIS export bytes)]"""
    result = []
    for name, place in [("canonical", 0), ("other", 1), ("third", 2)]:
        lines, expected = [], {}
        for character, codes in characters.items():
            if len(codes) > place:
                word = f"c{codes[place]}"
                expected[typed(character) + SUFFIX] = word
                lines.append(bytes.fromhex(codes[place]) +
                             SUFFIX.encode("cp932") + b"\t" +
                             word.encode() + b"\t" +
                             "名詞".encode("cp932") + b"\r\n")
        result.append((name, expected, b"".join(lines)))
    return result


def look_up(client, dictionary, readings, work):
    listing = os.path.join(work, "readings.txt")
    with open(listing, "w", encoding="utf-8") as f:
        f.write("".join(reading + "\n" for reading in readings))
    if client == "emacs":
        script = os.path.join(work, "lookup.el")
        with open(script, "w", encoding="utf-8") as f:
            f.write(EMACS_LOOKUP)
        command = ["emacs", "-Q", "--batch", "-l", script, dictionary,
                   listing]
    else:
        script = os.path.join(work, "lookup.py")
        with open(script, "w", encoding="utf-8") as f:
            f.write(LIBSKK_LOOKUP)
        command = ["/usr/bin/python3", script, dictionary, listing]
    proc = subprocess.run(command, capture_output=True, timeout=600,
                          env=dict(os.environ, LC_ALL="C.UTF-8"))
    if proc.returncode != 0:
        sys.exit(f"{client} failed: {proc.stderr.decode(errors='replace')}")
    return {reading: words for reading, words in
            (json.loads(line) for line in proc.stdout.decode().splitlines())}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--client", choices=["emacs", "libskk"],
                        required=True)
    parser.add_argument("--verbose", action="store_true",
                        help="name every reading not found")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    missing = missing_client(args.client)
    if missing:
        print(f"skip: {missing} not installed")
        return SKIP
    options = (["--sort=bytes", "--eol", "lf"] if args.client == "libskk"
               else ["--sort"])
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name, expected, export in exports(duplicates()):
            source = os.path.join(work, name + ".txt")
            dictionary = os.path.join(work, name + ".skk")
            with open(source, "wb") as f:
                f.write(export)
            proc = subprocess.run([program] + options +
                                  ["-o", dictionary, source],
                                  capture_output=True)
            if proc.returncode != 0 or proc.stderr:
                print(f"FAIL brenlow on {name}: status {proc.returncode}, "
                      f"{proc.stderr.decode(errors='replace')!r}")
                failures += 1
                continue
            found = look_up(args.client, dictionary, list(expected), work)
            missed = [(reading, word) for reading, word in expected.items()
                      if found.get(reading) != [word]]
            print(f"{args.client}, {name} codes: {len(expected) - len(missed)}"
                  f" of {len(expected)} readings found")
            for reading, word in missed if args.verbose else []:
                print(f"  not found: {reading} ({word}): "
                      f"{found.get(reading)}")
            failures += len(missed)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
