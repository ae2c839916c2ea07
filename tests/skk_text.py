"""Reading SKK dictionary text back the way SKK clients do."""
import re

_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"', re.S)


def _unescape(body):
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        octal = re.match(r"[0-7]{1,3}", body[i + 1:])
        if octal:
            out.append(chr(int(octal.group(0), 8)))
            i += 1 + len(octal.group(0))
        else:
            nxt = body[i + 1:i + 2]
            out.append({"n": "\n", "t": "\t"}.get(nxt, nxt))
            i += 2
    return "".join(out)


def decode_candidate(candidate):
    """The word a candidate stands for: the candidate itself, the strings
    of a (concat ...) form joined, or None for other Lisp forms."""
    if candidate.startswith("(concat ") and candidate.endswith(")"):
        inner = candidate[len("(concat "):-1]
        strings = _STRING.findall(inner)
        if _STRING.sub("", inner).strip():
            return None
        return "".join(_unescape(s) for s in strings)
    if candidate.startswith("(") and candidate.endswith(")"):
        return None
    return candidate


def parse_skk_dictionary(text):
    """[(reading, [candidates])] of the okuri-nasi section, in file order."""
    lines = text.replace("\r\n", "\n").split("\n")
    assert lines[0] == ";; okuri-ari entries.", lines[0]
    assert lines[1] == ";; okuri-nasi entries.", lines[1]
    entries = []
    for line in lines[2:]:
        if not line:
            continue
        reading, rest = line.split(" /", 1)
        assert rest.endswith("/"), line
        entries.append((reading, rest[:-1].split("/") if rest != "/" else [""]))
    return entries
