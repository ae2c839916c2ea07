"""Types key sequences in libskk with one dictionary: a user dictionary
(Skk.UserDict) or a system one (Skk.FileDict).

/usr/bin/python3 merge_libskk.py user|file DICTIONARY ENCODING KEYS
KEYS holds one key sequence a line (a space is SPC). For each, prints one
JSON list [keys, candidates]: the candidates libskk offered when the
conversion began (at SPC, or at the okurigana's kana), as their output.
"""
import json
import sys

import gi

gi.require_version("Skk", "1.0")
from gi.repository import Skk  # noqa: E402


def main():
    kind, dictionary, encoding, listing = sys.argv[1:5]
    Skk.init()
    if kind == "user":
        opened = Skk.UserDict.new(dictionary, encoding)
    else:
        opened = Skk.FileDict.new(dictionary, encoding)
    context = Skk.Context.new([opened])
    with open(listing, encoding="utf-8") as f:
        sequences = [line for line in f.read().split("\n") if line]
    for keys in sequences:
        context.reset()
        offered = []
        for key in keys:
            event = Skk.KeyEvent.from_string("space" if key == " " else key)
            context.process_key_event(event)
            candidates = context.get_candidates()
            if not offered and candidates.get_size():
                offered = [candidates.get(i).get_output()
                           for i in range(candidates.get_size())]
        print(json.dumps([keys, offered], ensure_ascii=False))


if __name__ == "__main__":
    main()
