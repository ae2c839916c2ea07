"""Types words in libskk with a converted dictionary as its FileDict.

/usr/bin/python3 okuri_ari_typing.py DICTIONARY ENCODING TYPED...
For each key sequence, prints one JSON list [typed, candidates, text]: the
candidates offered when conversion began, and the text committed and shown
after the last key.
"""
import json
import sys

import gi

gi.require_version("Skk", "1.0")
from gi.repository import Skk  # noqa: E402


def main():
    dictionary, encoding = sys.argv[1], sys.argv[2]
    Skk.init()
    context = Skk.Context.new([Skk.FileDict.new(dictionary, encoding)])
    for typed in sys.argv[3:]:
        context.reset()
        offered = []
        for key in typed:
            context.process_key_event(Skk.KeyEvent.from_string(key))
            candidates = context.get_candidates()
            if not offered and candidates.get_size():
                offered = [candidates.get(i).get_output()
                           for i in range(candidates.get_size())]
        text = context.poll_output() + context.get_preedit()
        print(json.dumps([typed, offered, text], ensure_ascii=False))


if __name__ == "__main__":
    main()
