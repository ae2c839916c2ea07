#!/usr/bin/env python3
"""Every character of a large vocabulary written with --to and read back
by Emacs and by glibc iconv.

tests/clients/encoding_round_trip.py --program build/brenlow

Three IME text exports, one word a line, each word one character under a
reading of its own:

- UTF-8: every distinct character of the words of the benchmark's corpus
  (bench/make_corpus.py, built in a temporary folder) and of the whole of
  /usr/share/skk/SKK-JISYO.L;
- Shift_JIS: every code of code page 932 that glibc iconv "CP932" decodes
  (the codes brenlow reads), the user-defined area included;
- UTF-8: every character Emacs's euc-jp and euc-jis-2004 decode a code to
  (JIS X 0212 and all of JIS X 0213), so that every code brenlow can write
  in EUC is written and read back.

Each is converted with --to TARGET --eol lf for shift_jis, euc-jp,
euc-jis-2004, utf-16le and utf-8. Each line of the export must then either
come back as the same character when the output is decoded by Emacs (cp932,
euc-jp, euc-jis-2004, utf-16le, utf-8, as Emacs SKK reads the file), the
character being what Emacs decodes the export's line to, or have been
skipped with the warning "brenlow: FILE:LINE: ... U+XXXX ...; line skipped"
naming its character; a skipped character must be one Emacs cannot write in
the target (encode-coding-char gives no code that decodes back to it). The
output is also decoded by glibc iconv (CP932, EUC-JP, EUC-JISX0213,
UTF-16LE, UTF-8), as libskk reads it: where glibc reads a code as another
character than Emacs does, that is no fault of the output but a difference
of the two readers, printed as a table at the end (the README lists it).
CTest runs it under the label clients (encoding_round_trip).
"""
import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                ".."))
from skk_text import decode_candidate  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_CORPUS = os.path.join(HERE, "..", "..", "bench", "make_corpus.py")
SKK_JISYO_L = "/usr/share/skk/SKK-JISYO.L"
SKIP = 77

# --to name: (Emacs coding, glibc iconv name).
TARGETS = {
    "shift_jis": ("cp932", "CP932"),
    "euc-jp": ("euc-jp", "EUC-JP"),
    "euc-jis-2004": ("euc-jis-2004", "EUC-JISX0213"),
    "utf-16le": ("utf-16le", "UTF-16LE"),
    # Shift_JIS text re-encoded; UTF-8 text copied.
    "utf-8": ("utf-8", "UTF-8"),
}
EXPORT_CODINGS = {"utf-8": ("utf-8", "UTF-8"), "shift_jis": ("cp932", "CP932")}

# Plain kana for the readings: line n's reading is n in base 45, so that
# every reading is distinct.
KANA = ("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめも"
        "やゆよらりるれろわ")
NOUN = "名詞"

# Decodes each FILE with CODING into OUT as UTF-8; then, for each line
# "TARGET-CODING<TAB>CODE-POINT" of the check list, prints "CODE-POINT
# written-as-HEX" when Emacs writes the character in that coding as a code
# it reads back as the same character (no escape sequence), else
# "CODE-POINT -".
EMACS_SCRIPT = r"""
(set-language-environment "Japanese")
(let ((args command-line-args-left))
  (setq command-line-args-left nil)
  (while (cdr (cdr args))
    (let ((file (nth 0 args)) (coding (intern (nth 1 args)))
          (out (nth 2 args)))
      (with-temp-buffer
        (set-buffer-multibyte t)
        (let ((coding-system-for-read
               (coding-system-change-eol-conversion coding 'unix)))
          (insert-file-contents file))
        (let ((coding-system-for-write 'utf-8-emacs-unix))
          (write-region nil nil out))))
    (setq args (nthcdr 3 args)))
  (when args
    (with-temp-buffer
      (insert-file-contents (car args))
      (dolist (line (split-string (buffer-string) "\n" t))
        (let* ((fields (split-string line "\t"))
               (coding (intern (nth 0 fields)))
               (character (string-to-number (nth 1 fields) 16))
               (bytes (encode-coding-char character coding))
               (back (and bytes (not (memq 27 (append bytes nil)))
                          (decode-coding-string
                           bytes (coding-system-change-eol-conversion
                                  coding 'unix)))))
          (princ (format "%X %s\n" character
                         (if (equal back (string character))
                             (mapconcat (lambda (b) (format "%02X" b))
                                        bytes "")
                           "-"))))))))
"""


# Prints, in hex, every character Emacs's euc-jp and euc-jis-2004 decode a
# code (0x8E kana, pair, 0x8F triple) to, once.
EMACS_EUC_CHARACTERS = r"""
(set-language-environment "Japanese")
(let ((seen (make-hash-table))
      (bytes (number-sequence #xa1 #xfe)))
  (dolist (coding '(euc-jp-unix euc-jis-2004-unix))
    (dolist (first bytes)
      (dolist (code (cons (unibyte-string #x8e first)
                          (apply #'append
                                 (mapcar (lambda (second)
                                           (list (unibyte-string first second)
                                                 (unibyte-string #x8f first
                                                                 second)))
                                         bytes))))
        (let ((text (decode-coding-string code coding)))
          (when (and (= (length text) 1) (<= (aref text 0) #x10ffff))
            (puthash (aref text 0) t seen))))))
  (maphash (lambda (character _) (princ (format "%X\n" character))) seen))
"""


def run_emacs(work, script_text, args):
    """Emacs in batch on a script; its standard output."""
    script = os.path.join(work, "script.el")
    with open(script, "w") as f:
        f.write(script_text)
    return subprocess.run(["emacs", "-Q", "--batch", "-l", script] + args,
                          capture_output=True, check=True, text=True).stdout


def reading_of(n):
    digits = []
    while True:
        n, digit = divmod(n, len(KANA))
        digits.append(KANA[digit])
        if n == 0:
            break
    return "".join(reversed(digits))


def corpus_characters(work):
    """The characters of the corpus's words (every line's second field)."""
    corpus = os.path.join(work, "corpus.txt")
    subprocess.run([sys.executable, MAKE_CORPUS, corpus], check=True,
                   stdout=subprocess.DEVNULL)
    with open(corpus, "rb") as f:
        text = glibc_decode(f.read(), "CP932")
    characters = set()
    for line in text.split("\r\n")[1:]:
        fields = line.split("\t")
        if len(fields) >= 2:
            characters.update(fields[1])
    return characters


def glibc_decode(data, name):
    """data decoded by glibc iconv from name, or None where it fails."""
    result = subprocess.run(["iconv", "-f", name, "-t", "UTF-8"], input=data,
                            capture_output=True)
    if result.returncode != 0:
        return None
    return result.stdout.decode("utf-8", errors="surrogateescape")


def utf_8_words(characters):
    # Control characters, TAB and the line ends are no word's.
    return [c.encode("utf-8") for c in sorted(characters)
            if ord(c) >= 0x20 and not 0x7F <= ord(c) <= 0x9F]


def vocabulary_export(work):
    characters = corpus_characters(work)
    if os.path.exists(SKK_JISYO_L):
        with open(SKK_JISYO_L, "rb") as f:
            characters.update(glibc_decode(f.read(), "EUC-JISX0213"))
    return utf_8_words(characters)


def euc_export(work):
    return utf_8_words(chr(int(line, 16)) for line in
                       run_emacs(work, EMACS_EUC_CHARACTERS, []).split())


def shift_jis_export():
    """Every code glibc's CP932 decodes: ASCII signs, half-width kana,
    pairs. The decoding of each (by Emacs) is what must come back."""
    codes = [bytes([b]) for b in range(0x21, 0x7F)]
    codes += [bytes([b]) for b in range(0xA1, 0xE0)]
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            codes.append(bytes([lead, trail]))
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        decoded = list(pool.map(lambda c: glibc_decode(c, "CP932"), codes))
    return [c for c, d in zip(codes, decoded) if d is not None]


def write_export(path, words, coding):
    """The IME text: line n is the reading of n, a TAB, word n (bytes in
    coding), a TAB and the noun; the kana and the noun encoded by iconv."""
    name = EXPORT_CODINGS[coding][1]
    kana = glibc_encode(KANA, name)
    step = len(kana) // len(KANA)
    kana_bytes = {k: kana[i * step:(i + 1) * step]
                  for i, k in enumerate(KANA)}
    noun = glibc_encode(NOUN, name)
    with open(path, "wb") as f:
        for n, word in enumerate(words):
            reading = b"".join(kana_bytes[k] for k in reading_of(n))
            f.write(reading + b"\t" + word + b"\t" + noun + b"\n")


def glibc_encode(text, name):
    return subprocess.run(["iconv", "-f", "UTF-8", "-t", name],
                          input=text.encode("utf-8"), capture_output=True,
                          check=True).stdout


def split_lines(data, target):
    """The output's lines as bytes, LF ends dropped."""
    if target != "utf-16le":
        return data.split(b"\n")
    lines, start = [], 0
    for i in range(0, len(data) - 1, 2):
        if data[i:i + 2] == b"\n\x00":
            lines.append(data[start:i])
            start = i + 2
    lines.append(data[start:])
    return lines


def entries(text):
    """{reading: (line index, [words])} of SKK dictionary text."""
    found = {}
    for i, line in enumerate(text.split("\n")):
        if not line or line.startswith(";") or " /" not in line:
            continue
        reading, rest = line.split(" /", 1)
        found[reading.lstrip("\ufeff")] = (
            i, [decode_candidate(c) for c in rest.rstrip("/").split("/")])
    return found


WARNING = re.compile(r"^brenlow: (.*):(\d+): .*U\+([0-9A-F]{4,6}).*"
                     r"; line skipped$")


def check(program, work, export, label, words, expected, summary,
          differences):
    """Converts the export to each target; returns the faults found."""
    faults = []
    outputs = []
    for target in TARGETS:
        out = os.path.join(work, f"{label}-{target}.skk")
        run = subprocess.run([program, "--to", target, "--eol", "lf", "-o",
                              out, export], capture_output=True)
        stderr = run.stderr.decode("utf-8", errors="replace")
        if run.returncode != 0:
            faults.append(f"{label} -> {target}: exit status "
                          f"{run.returncode}: {stderr[:2000]}")
            continue
        outputs.append((target, out, stderr))
    # All of Emacs's decoding in one run, then its verdict on each skip.
    emacs_args, skipped = [], {}
    for target, out, stderr in outputs:
        emacs_args += [out, TARGETS[target][0], out + ".emacs"]
        warned = {}
        for line in stderr.splitlines():
            match = WARNING.match(line)
            if not match or match.group(1) != export:
                faults.append(f"{label} -> {target}: unexpected "
                              f"message: {line}")
                continue
            warned[int(match.group(2))] = int(match.group(3), 16)
        skipped[target] = warned
    checks = os.path.join(work, "checks.txt")
    with open(checks, "w") as f:
        for target, warned in skipped.items():
            for code_point in sorted(set(warned.values())):
                f.write(f"{TARGETS[target][0]}\t{code_point:X}\n")
    verdict_rows = iter(run_emacs(work, EMACS_SCRIPT,
                                  emacs_args + [checks]).split("\n"))
    writable = {}
    for target, warned in skipped.items():
        for code_point in sorted(set(warned.values())):
            row = next(verdict_rows).split(" ")
            writable[(target, code_point)] = row[1]

    for target, out, _ in outputs:
        warned = skipped[target]
        with open(out, "rb") as f:
            data = f.read()
        byte_lines = split_lines(data, target)
        with open(out + ".emacs", "rb") as f:
            emacs = entries(f.read().decode("utf-8", "surrogateescape"))
        glibc_text = glibc_decode(data, TARGETS[target][1])
        glibc = entries(glibc_text) if glibc_text is not None else {}
        written = wrong = 0
        for n, word in enumerate(words):
            reading, line = reading_of(n), n + 1
            character = expected[n]
            where = f"{label} -> {target}: line {line} " \
                    f"{word.hex().upper()} (U+{ord(character):04X})"
            if line in warned:
                if warned[line] != ord(character):
                    faults.append(f"{where}: skipped naming "
                                  f"U+{warned[line]:04X}")
                elif writable[(target, warned[line])] != "-":
                    faults.append(f"{where}: skipped, but Emacs writes it "
                                  f"as {writable[(target, warned[line])]}")
                if reading in emacs:
                    faults.append(f"{where}: skipped, yet written")
                continue
            if reading not in emacs:
                faults.append(f"{where}: neither written nor skipped")
                continue
            index, back = emacs[reading]
            if back != [character]:
                wrong += 1
                if wrong <= 50:
                    faults.append(f"{where}: Emacs reads back {back!r}")
                continue
            written += 1
            glibc_back = glibc.get(reading, (None, None))[1]
            if glibc_back != [character]:
                code = byte_lines[index]
                separator = " /".encode(
                    "utf-16le" if target == "utf-16le" else "ascii")
                code = code[code.index(separator) + len(separator):]
                code = code[:-2 if target == "utf-16le" else -1]
                if glibc_text is None:
                    # One line alone says what glibc makes of it.
                    alone = glibc_decode(code, TARGETS[target][1])
                    glibc_back = [alone] if alone is not None else None
                differences.add((target, code.hex().upper(), character,
                                 glibc_back[0] if glibc_back else None))
        if wrong > 50:
            faults.append(f"{label} -> {target}: {wrong} lines read "
                          "back wrong in all")
        named = sorted(set(warned.values()))
        shown = "".join(f" U+{c:04X}" for c in named[:12])
        summary.append(f"{label} -> {target}: {written} of {len(words)} "
                       f"characters written, {len(warned)} skipped"
                       f"{':' + shown if shown else ''}"
                       f"{' ...' if len(named) > 12 else ''}")
    return faults


def emacs_readings(work, export, coding, count):
    """What Emacs decodes each export line's word to."""
    out = export + ".emacs"
    run_emacs(work, EMACS_SCRIPT, [export, coding, out])
    with open(out, "rb") as f:
        lines = f.read().decode("utf-8", "surrogateescape").split("\n")
    return [line.split("\t")[1] for line in lines[:count]]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--work", help="a folder to keep the files in")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    for tool in ("emacs", "iconv"):
        if shutil.which(tool) is None:
            print(f"skip: {tool} is not installed")
            return SKIP
    faults, summary, differences = [], [], set()
    with tempfile.TemporaryDirectory() as temporary:
        work = args.work or temporary
        os.makedirs(work, exist_ok=True)
        exports = [("vocabulary", "utf-8", vocabulary_export(work)),
                   ("cp932", "shift_jis", shift_jis_export()),
                   ("euc", "utf-8", euc_export(work))]
        for label, coding, words in exports:
            export = os.path.join(work, f"export-{label}.txt")
            write_export(export, words, coding)
            expected = emacs_readings(work, export, EXPORT_CODINGS[coding][0],
                                      len(words))
            for n, character in enumerate(expected):
                if len(character) != 1:
                    faults.append(f"{label}: line {n + 1}: Emacs reads "
                                  f"{words[n].hex()} as {character!r}")
            faults += check(program, work, export, label, words,
                            [c[:1] for c in expected], summary, differences)
    print("\n".join(summary))
    if differences:
        print("\nCodes glibc iconv reads as another character than Emacs:")
        print(f"{'target':<13} {'code':<8} {'Emacs':<14} glibc")
        for target, code, emacs, glibc in sorted(differences):
            glibc_shown = (f"U+{ord(glibc):04X} {glibc}"
                           if glibc else "(not decoded)")
            print(f"{target:<13} {code:<8} U+{ord(emacs):04X} {emacs:<6} "
                  f"{glibc_shown}")
    if faults:
        print(f"\n{len(faults)} faults:", file=sys.stderr)
        print("\n".join(faults[:300]), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
