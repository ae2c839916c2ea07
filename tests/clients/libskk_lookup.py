"""Looks readings up in a converted dictionary with libskk, as a user does.

/usr/bin/python3 libskk_lookup.py DICTIONARY ENCODING ROMAJI...
For each romaji spelling: Q, the letters, space, then the candidates'
output. Prints one JSON list [romaji, [words]] a line.
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
    context = Skk.Context.new([Skk.FileDict.new(dictionary, encoding)])
    for line in sys.stdin:
        romaji = line.strip()
        context.reset()
        for key in ["Q"] + list(romaji) + ["space"]:
            context.process_key_event(Skk.KeyEvent.from_string(key))
        candidates = context.get_candidates()
        words = [output_of(candidates.get(i))
                 for i in range(candidates.get_size())]
        print(json.dumps([romaji, words], ensure_ascii=False))


if __name__ == "__main__":
    main()
