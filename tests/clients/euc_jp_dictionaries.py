"""The dictionaries the uim-skk and skkserv suites read back: more than
20,000 readings of real vocabulary (SKK-JISYO.L and skkdic-extra, as the
other client suites use) and a table of verbs and adjectives for the
okuri-ari keys, kept to what EUC-JP holds, as a Microsoft IME export in
CP932; what each reading and okuri-ari key must give, in EUC-JP; brenlow's
run on a --for preset, with the setting lines it prints; and the same
entries in UTF-8 order, for the check that shows a wrong order loses
readings.
"""
import os
import random
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
from client_suite import expected_entries, vocabulary  # noqa: E402
from skk_text import decode_candidate  # noqa: E402
from skkdic_vocabulary import ime_line  # noqa: E402

# Verbs and adjectives with the okuri-ari keys SKK users type for some of
# their forms (KaKu, KaIta, TaBeru, UtsukuShii, TakaKatta, ...):
# (reading, word, Microsoft IME's part of speech, [(key, the okurigana kana
# typed, the candidate the key must give)]). Two words share かk and かi;
# the last stem reads as Lisp and must come back as text.
VERBS = [
    ("かく", "書く", "か行五段", [("かk", "く", "書"), ("かi", "い", "書")]),
    ("かく", "描く", "か行五段", [("かk", "く", "描"), ("かi", "い", "描")]),
    ("たべる", "食べる", "一段動詞", [("たb", "べ", "食")]),
    ("みる", "見る", "一段動詞", [("みr", "る", "見"), ("みt", "た", "見"),
                                   ("みn", "な", "見")]),
    ("はしる", "走る", "ら行五段", [("はしr", "る", "走"), ("はしt", "っ", "走")]),
    ("およぐ", "泳ぐ", "が行五段", [("およg", "ぐ", "泳"), ("およi", "い", "泳")]),
    ("はなす", "話す", "さ行五段", [("はなs", "す", "話")]),
    ("まつ", "待つ", "た行五段", [("まt", "つ", "待")]),
    ("よむ", "読む", "ま行五段", [("よm", "む", "読"), ("よn", "ん", "読")]),
    ("あそぶ", "遊ぶ", "ば行五段", [("あそb", "ぶ", "遊"), ("あそn", "ん", "遊")]),
    ("しぬ", "死ぬ", "な行五段", [("しn", "ぬ", "死")]),
    ("うつくしい", "美しい", "形容詞", [("うつくs", "し", "美")]),
    ("たかい", "高い", "形容詞", [("たかi", "い", "高"), ("たかk", "か", "高"),
                                 ("たかs", "さ", "高")]),
    ("ぽにょく", "(kill-emacs 42)く", "か行五段",
     [("ぽにょk", "く", "(kill-emacs 42)"),
      ("ぽにょi", "い", "(kill-emacs 42)")]),
]


# Readings with many words whose value or line has this many EUC-JP bytes:
# at the limits of the skkserv servers (skkserv_suite.LIMITS) and one past
# them, and far past both.
LONG = [("ながいよみあ", "value", 4093), ("ながいよみい", "value", 4094),
        ("ながいよみう", "line", 8193), ("ながいよみえ", "line", 8194),
        ("ながいよみお", "line", 20000)]


def long_entry(reading, kind, size):
    """(reading, words) whose value "/w1/.../" (or whole line) has size
    bytes in EUC-JP: words of six bytes and one of ASCII to make up."""
    value = size if kind == "value" else size - len(reading.encode(
        "euc_jp")) - 1
    count = (value - 3) // 7
    words = [f"語{i:04d}" for i in range(count)]
    words.append("x" * (value - 2 - 7 * count))
    assert len(("/" + "/".join(words) + "/").encode("euc_jp")) == value
    return reading, words


def long_entries():
    return [long_entry(*e) for e in LONG]


def euc(text):
    return text.encode("euc_jp")


def in_euc_jp(text):
    """Whether text is written the same in CP932 and EUC-JP: the characters
    both hold (not ① or ～, which EUC-JP coders map differently or not
    at all), less ― U+2015, which brenlow writes in EUC-JP as Emacs does:
    not at all (doc/formats.md)."""
    try:
        return text.encode("cp932").decode("cp932") == text and \
            text.encode("euc_jp").decode("euc_jp") == text and \
            "\u2015" not in text
    except UnicodeError:
        return False


def write_source(path, readings, extra=(), seed=1):
    """Writes the export: the vocabulary's nouns, the extra (reading,
    [word]) and VERBS, lines shuffled. Returns its CP932 bytes."""
    entries = [(r, [w for w in words if in_euc_jp(w)])
               for r, words in vocabulary(readings) if in_euc_jp(r)]
    entries += list(extra)
    lines = [ime_line(r, w) for r, words in entries for w in words]
    lines += [(f"{r}\t{w}\t{pos}\r\n").encode("cp932")
              for r, w, pos, _ in VERBS]
    random.Random(seed).shuffle(lines)
    text = b"!Microsoft IME Dictionary Tool\r\n" + b"".join(lines)
    with open(path, "wb") as f:
        f.write(text)
    return text


def expected(text):
    """({reading: [word]}, {okuri-ari key: [candidate]}), EUC-JP bytes,
    each word once per reading (--unique), in input order."""
    nasi = {}
    for reading, words in expected_entries(text).items():
        nasi[reading.decode("cp932").encode("euc_jp")] = list(dict.fromkeys(
            w.decode("cp932").encode("euc_jp") for w in words))
    order = [line.split(b"\t")[0:2] for line in text.split(b"\r\n")]
    position = {(r.decode("cp932"), w.decode("cp932")): i
                for i, (r, w) in enumerate(x for x in order if len(x) == 2)}
    ari = {}
    for reading, word, _, forms in sorted(
            VERBS, key=lambda v: position[(v[0], v[1])]):
        for key, _, candidate in forms:
            filed = ari.setdefault(euc(key), [])
            if euc(candidate) not in filed:
                filed.append(euc(candidate))
    return nasi, ari


def words_of(candidates):
    """The words a reply's or a line's candidates stand for: annotations
    dropped, (concat ...) forms undone (EUC-JP bytes)."""
    out = []
    for c in candidates:
        text = c.decode("euc_jp", "surrogateescape").split(";", 1)[0] \
            if not c.startswith(b"(") else c.decode("euc_jp",
                                                    "surrogateescape")
        word = decode_candidate(text)
        out.append(None if word is None
                   else word.encode("euc_jp", "surrogateescape"))
    return out


# A folder name with a blank and an apostrophe, which the setting lines
# must quote (in a Scheme string, in a shell command line).
FOLDER = "Kenji's SKK dictionaries"


def in_folder(work, name):
    """work/FOLDER/name, the folder made."""
    folder = os.path.join(work, FOLDER)
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)


def run_preset(program, preset, source, out, extra=()):
    """brenlow --for preset --okuri-ari -o out source, run in out's folder
    with -o naming the file alone: the setting lines must name it by its
    absolute path, as the programs run elsewhere. Returns (setting
    lines, the other messages): the setting lines do not start with
    "brenlow: " and follow the message that brings them; other messages do
    not."""
    proc = subprocess.run(
        [program, "--for", preset, "--okuri-ari", *extra, "-o",
         os.path.basename(out), source],
        capture_output=True, cwd=os.path.dirname(out))
    if proc.returncode != 0:
        sys.exit(f"brenlow --for {preset} failed ({proc.returncode}): "
                 f"{proc.stderr.decode('utf-8', 'replace')}")
    settings, messages = [], []
    lines = [x for x in proc.stderr.decode("utf-8", "replace").splitlines()
             if x.strip()]
    for i, line in enumerate(lines):
        if not line.startswith("brenlow: "):
            settings.append(line)
        elif i + 1 == len(lines) or lines[i + 1].startswith("brenlow: "):
            messages.append(line)  # not the one that brings setting lines
    return settings, messages


def show_messages(messages, most=20):
    for line in messages[:most]:
        print(line)
    if len(messages) > most:
        print(f"... and {len(messages) - most} more messages from brenlow")


def utf_8_order(program, source, out):
    """The entries of the uim-skk preset (--okuri-ari, --unique, LF, byte
    order) written in UTF-8 and re-encoded to EUC-JP with iconv: the lines
    keep the order of their UTF-8 bytes."""
    proc = subprocess.run([program, "--to", "utf-8", "--sort=bytes", "--eol",
                           "lf", "--unique", "--okuri-ari", source],
                          capture_output=True, check=True)
    with open(out, "wb") as f:
        f.write(iconv(proc.stdout, "UTF-8", "EUC-JP"))


def iconv(data, source, target):
    if source.lower() == target.lower():
        return data
    return subprocess.run(["iconv", "-f", source, "-t", target], input=data,
                          capture_output=True, check=True).stdout


def skk_lines(path):
    """{key: [candidate]} of an SKK dictionary file in EUC-JP, both
    sections."""
    with open(path, "rb") as f:
        data = f.read()
    entries = {}
    for line in data.split(b"\n"):
        if not line or line.startswith(b";") or b" /" not in line:
            continue
        key, rest = line.split(b" /", 1)
        entries[key] = rest.rstrip(b"/").split(b"/")
    return entries


def okuri_kana():
    """{okuri-ari key: the okurigana kana typed with it} of VERBS."""
    return {euc(key): euc(kana) for _, _, _, forms in VERBS
            for key, kana, _ in forms}


def beyond_expected(path, nasi, ari):
    """What the written dictionary holds besides the expected entries:
    ({okuri-ari key: [word]} of the keys VERBS does not list, which must
    come back as written, [okuri-nasi readings no input line gives])."""
    written = skk_lines(path)
    with open(path, "rb") as f:
        data = f.read()
    nasi_at = data.find(b"\n;; okuri-nasi entries.\n")
    ari_keys = {line.split(b" /", 1)[0]
                for line in data[:max(nasi_at, 0)].split(b"\n")
                if b" /" in line and not line.startswith(b";")}
    more = {k: words_of(written[k]) for k in sorted(ari_keys) if k not in ari}
    strays = sorted(k for k in written if k not in ari_keys and k not in nasi)
    return more, strays
