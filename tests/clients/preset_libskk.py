"""Types readings in libskk with one dictionary opened as a program opens it.

/usr/bin/python3 preset_libskk.py KIND PATH ENCODING REQUESTS
KIND is "file" (Skk.FileDict) or "cdb" (Skk.CdbDict), with the path and
encoding the program passes (ibus-skk and fcitx5-skk open their list's
entries this way). The dictionary is the only one of an Skk.Context.
REQUESTS (UTF-8) holds one request a line: "T" and the keys a user types
(SPC last starts the conversion; a non-ASCII key is sent as an input method
sends a character), or "L" and a reading no key sequence gives, looked up in
the dictionary itself. Prints one JSON list a line: the request, the reading
the preedit showed before the last key (the looked-up reading for "L"), and
the words.
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
        return "<garbled>"


def main():
    kind, path, encoding, requests = sys.argv[1:5]
    Skk.init()
    opened = (Skk.CdbDict.new if kind == "cdb" else Skk.FileDict.new)(
        path, encoding)
    context = Skk.Context.new([opened])
    with open(requests, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for request in lines:
        if not request:
            continue
        kind, text = request[0], request[1:]
        if kind == "L":
            print(json.dumps([request, text, [output_of(c) for c in
                                              opened.lookup(text, False)]],
                             ensure_ascii=False))
            continue
        context.reset()
        shown = ""
        for i, key in enumerate(text):
            if key == " ":
                event = Skk.KeyEvent.from_string("space")
            elif key.isascii():
                event = Skk.KeyEvent.from_string(key)
            else:
                event = Skk.KeyEvent.new(key, key, Skk.ModifierType.NONE)
            if i == len(text) - 1:
                shown = context.get_preedit().lstrip("▽")
            context.process_key_event(event)
        candidates = context.get_candidates()
        print(json.dumps([request, shown,
                          [output_of(candidates.get(i))
                           for i in range(candidates.get_size())]],
                         ensure_ascii=False))


if __name__ == "__main__":
    main()
