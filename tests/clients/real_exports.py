#!/usr/bin/env python3
"""Converts the real-shaped exports in examples/ and types every reading
in a real SKK client: Emacs SKK (ddskk) or libskk.

Each export must convert without a warning. For each reading the check
types its romaji as a user does (Q, the letters; "/" and the letters for an
ASCII reading), takes the reading the client built, and compares the words
and annotations the client shows with the table below: katakana, half-width
and full-width readings are found under what the user types, "ヴ" under
"vu". Emacs SKK shows an annotation as skk-annotation-show does (a leading
"*" dropped, Lisp evaluated); both clients read the concat form back.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from client_suite import missing_client  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "examples")
SKIP = 77

# export, coding of the converted dictionary, then (keys typed, [(word,
# annotation or None)]) for every reading of the export.
EXPORTS = [
    ("microsoft_ime.txt", "utf-8", [
        ("Qkannji", [("漢字", None), ("幹事", "会の世話役")]),
        ("Qheisei", [("平成", "元号")]),
        ("Qburauza", [("Firefox/Chrome", "ブラウザ名")]),
        ("Qkabusikigaisya", [("(株)", None)]),
        ("Qohayou", [("おはよう;朝の挨拶", None)]),
        ("Qtesuto", [('say "hi"', "英語の挨拶")]),
    ]),
    ("google_japanese_input.txt", "utf-8", [
        ("Qgu-guru", [("Google", "会社名"), ("グーグル", None)]),
        ("Qkatakana", [("片仮名", "カタカナの読み")]),  # read カタカナ
        ("Qvaiorinn", [("ヴァイオリン", "楽器/弦楽器")]),  # read ヴァイオリン
        ("/web", [("Web", "全角の読み")]),  # read ｗｅｂ
        ("Qnikoniko", [("(^_^)", "笑顔;うれしい")]),
        ("Qki-pa-", [('Keeper of "Nature"', None)]),
        ("Qmemo", [("メモ", "*大事")]),
        ("Qemuesu", [("MS", "(kill-emacs)")]),
        # No "!" header: a "!" line with a TAB is an entry.
        ("/!in", [("∉", None)]),
    ]),
    ("atok.txt", "cp932", [
        ("Qatoku", [("ATOK", None)]),
        ("Qjasutosisutemu", [("ジャストシステム", None)]),
        ("Qpasokonn", [("パソコン", None)]),  # read ﾊﾟｿｺﾝ
        ("Qtoukyouto", [("東京都", None)]),
        ("Qme-ru", [("m@il", None), ("メール", None)]),
    ]),
]

EMACS_LOOKUP = r"""
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(setq skk-jisyo (make-temp-file "brenlow-jisyo") skk-initial-search-jisyo nil)
;; The file goes when Emacs does, after ddskk has saved into it.
(add-hook 'kill-emacs-hook `(lambda () (delete-file ,skk-jisyo)) t)
(require 'skk)
(require 'skk-annotation)
(require 'json)
(let* ((dictionary (nth 0 command-line-args-left))
       (coding (intern (nth 1 command-line-args-left)))
       (keys-list (cddr command-line-args-left))
       (skk-large-jisyo (cons dictionary coding)))
  (setq command-line-args-left nil)
  (dolist (keys keys-list)
    (let ((typed (with-temp-buffer
                   (switch-to-buffer (current-buffer))
                   (skk-mode 1)
                   (execute-kbd-macro keys)
                   (prog1 (replace-regexp-in-string
                           "^\\(▽\\)" "" (buffer-substring-no-properties
                                          (point-min) (point-max)))
                     (skk-mode -1))))
          (found nil))
      (let ((skk-henkan-key typed) (skk-henkan-okurigana nil)
            (skk-okuri-char nil))
        ;; As the default skk-search-prog-list searches skk-large-jisyo:
        ;; binary search down to 10,000 characters.
        (dolist (candidate (skk-search-jisyo-file skk-large-jisyo 10000 t))
          (let* ((pair (skk-treat-strip-note-from-word candidate))
                 (word (car pair))
                 (note (cdr pair)))
            (push (list (if (skk-lisp-prog-p word) (skk-eval-string word) word)
                        (and note (skk-eval-string (skk-annotation-get note))))
                  found))))
      (princ (concat "[" (json-encode-string keys) ","
                     (json-encode-string typed) ",["
                     (mapconcat
                      (lambda (pair)
                        (concat "[" (json-encode-string (nth 0 pair)) ","
                                (if (nth 1 pair)
                                    (json-encode-string (nth 1 pair))
                                  "null")
                                "]"))
                      (nreverse found) ",")
                     "]]\n")))))
"""

LIBSKK_LOOKUP = r"""
import json, sys
import gi
gi.require_version("Skk", "1.0")
from gi.repository import Skk
Skk.init()
context = Skk.Context.new([Skk.FileDict.new(sys.argv[1], sys.argv[2])])
for keys in sys.argv[3:]:
    context.reset()
    for key in keys:
        context.process_key_event(Skk.KeyEvent.from_string(key))
    typed = context.get_preedit().lstrip("▽")
    context.process_key_event(Skk.KeyEvent.from_string("space"))
    candidates = context.get_candidates()
    found = []
    for i in range(candidates.get_size()):
        candidate = candidates.get(i)
        found.append([candidate.get_output(), candidate.get_annotation()])
    print(json.dumps([keys, typed, found], ensure_ascii=False))
"""


def convert(program, export, options, work):
    out = os.path.join(work, export + ".skk")
    proc = subprocess.run([program] + options + ["-o", out,
                                                 os.path.join(EXAMPLES, export)],
                          capture_output=True)
    problems = []
    if proc.returncode != 0 or proc.stderr:
        problems.append(f"brenlow on {export}: status {proc.returncode}, "
                        f"{proc.stderr.decode(errors='replace')!r}")
    return out, problems


def look_up(client, dictionary, coding, keys, work):
    if client == "emacs":
        script = os.path.join(work, "lookup.el")
        with open(script, "w", encoding="utf-8") as f:
            f.write(EMACS_LOOKUP)
        command = ["emacs", "-Q", "--batch", "-l", script, dictionary, coding]
    else:
        script = os.path.join(work, "lookup.py")
        with open(script, "w", encoding="utf-8") as f:
            f.write(LIBSKK_LOOKUP)
        command = ["/usr/bin/python3", script, dictionary,
                   "CP932" if coding == "cp932" else "UTF-8"]
    proc = subprocess.run(command + keys, capture_output=True, timeout=600,
                          env=dict(os.environ, LC_ALL="C.UTF-8"))
    if proc.returncode != 0:
        return None, proc.stderr.decode(errors="replace")[-2000:]
    results = {}
    for line in proc.stdout.decode().splitlines():
        keys_typed, typed, found = json.loads(line)
        results[keys_typed] = (typed, [tuple(pair) for pair in found])
    return results, ""


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
    failures = checked = 0
    with tempfile.TemporaryDirectory() as work:
        for export, coding, readings in EXPORTS:
            # The README's recipes: libskk compares bytes and finds the
            # section markers on LF only; Emacs SKK compares emacs-mule bytes.
            options = (["--sort=bytes", "--eol", "lf"]
                       if args.client == "libskk" else ["--sort"])
            dictionary, problems = convert(program, export, options, work)
            keys = [k for k, _ in readings]
            results, error = look_up(args.client, dictionary, coding, keys, work)
            if results is None:
                problems.append(f"{args.client} failed: {error}")
                results = {}
            for keys_typed, expected in readings:
                checked += 1
                typed, found = results.get(keys_typed, ("?", None))
                if found != expected:
                    problems.append(f"{export}: typing {keys_typed} (reading "
                                    f"{typed}) gave {found}, expected "
                                    f"{expected}")
            for problem in problems:
                print(f"FAIL {args.client}: {problem}")
            failures += len(problems)
            print(f"{args.client}, {export}: {len(readings)} readings typed")
    print(f"{checked - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
