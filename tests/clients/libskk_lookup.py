"""Looks readings up in a converted dictionary with libskk, as a user does.

/usr/bin/python3 libskk_lookup.py DICTIONARY ENCODING < REQUESTS
The dictionary is one Skk.FileDict in an Skk.Context. Each request line is
"T<romaji>" (typed as Q, the letters, space: a reading in kana, digits
kept), "A<letters>" (typed in abbrev mode: /, the letters, space) or
"L<reading>" (a reading no key sequence gives, such as one holding
full-width symbols: looked up through the same FileDict). Prints one JSON
list [request, [words]] a line, the words as the candidates' output.
"""
import json
import sys

import gi

gi.require_version("Skk", "1.0")
from gi.repository import Skk  # noqa: E402


def output_of(candidate):
    try:
        return candidate.get_output()
    except UnicodeDecodeError:
        return "<garbled: not UTF-8>"


def main():
    dictionary, encoding = sys.argv[1], sys.argv[2]
    Skk.init()
    file_dict = Skk.FileDict.new(dictionary, encoding)
    context = Skk.Context.new([file_dict])
    for line in sys.stdin:
        request = line.rstrip("\n")
        kind, text = request[0], request[1:]
        if kind == "L":
            words = [output_of(c) for c in file_dict.lookup(text, False)]
        else:
            context.reset()
            keys = (["Q"] if kind == "T" else ["/"]) + list(text) + ["space"]
            for key in keys:
                context.process_key_event(Skk.KeyEvent.from_string(key))
            candidates = context.get_candidates()
            words = [output_of(candidates.get(i))
                     for i in range(candidates.get_size())]
        print(json.dumps([request, words], ensure_ascii=False))


if __name__ == "__main__":
    main()
