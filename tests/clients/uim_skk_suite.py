#!/usr/bin/env python3
"""Reads brenlow's `--for uim-skk` dictionary back through uim-skk's own
dictionary code: uim's SKK library in uim-sh (uim_skk_lookup.scm), the
dictionary opened from skk-dic-file-name as skk-context-new opens it, with
the setting lines brenlow prints put in ~/.uim (in a mount namespace over
the home folder, which uim takes from the user's entry, not $HOME; where
there is none, in the file LIBUIM_USER_SCM_FILE names), every reading and
okuri-ari key looked up as skk-begin-conversion looks it up, and its
candidates taken as uim-skk commits them. Also for a user whose uim-pref
saved uim-skk's dictionary settings (~/.uim.d/customs/custom-skk-dict.scm,
which skk.scm loads after ~/.uim): uim-skk must still open brenlow's file.

The dictionary (euc_jp_dictionaries.py): more than 20,000 readings of real
vocabulary, a table of verbs and adjectives and readings with lines up to
20,000 bytes long (which uim-skk reads whole, unlike the skkserv servers),
converted with --okuri-ari. Each reading must give exactly its words in
input order, each once, and each okuri-ari key its stems. uim-skk
binary-searches the file by its bytes: the same entries written in UTF-8
in byte order and re-encoded to EUC-JP with iconv must lose readings in
the same lookups, or the check above could not tell a wrong order.
Failures name the reading, the words expected and the words uim-skk gave.
"""
import argparse
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import euc_jp_dictionaries as dictionaries  # noqa: E402

SKIP = 77


def missing():
    if not shutil.which("uim-sh"):
        return "uim-sh (Debian package uim) is not installed"
    if not os.path.exists("/usr/share/uim/skk.scm") or not any(
            os.path.exists(os.path.join(d, "libuim-skk.so"))
            for d in ("/usr/lib/x86_64-linux-gnu/uim/plugin",
                      "/usr/lib/uim/plugin")):
        return "uim-skk is not installed"
    if not os.path.exists("/usr/share/skk/SKK-JISYO.L"):
        return "skkdic is not installed"
    return None


def requests(nasi, ari):
    """{request line: expected words}: a reading as the head with no okuri
    head; an okuri-ari key as its head, its last letter and the okurigana
    kana the verbs' table types with it (none for a key it does not list)."""
    okuri = dictionaries.okuri_kana()
    out = {reading + b"\t\t": words for reading, words in nasi.items()}
    for key, candidates in ari.items():
        out[key[:-1] + b"\t" + key[-1:] + b"\t" + okuri.get(key, b"")] = \
            candidates
    return out


def saved_customs():
    """What uim-pref saves for uim-skk's dictionary settings
    (~/.uim.d/customs/custom-skk-dict.scm), their defaults written by uim's
    own custom.scm as uim-pref writes them."""
    proc = subprocess.run(
        ["uim-sh", "-B"], capture_output=True, cwd="/",
        env=dict(os.environ, LIBUIM_VANILLA="1"),
        input=b'(require "custom.scm") (require-module "skk") '
        b"(for-each (lambda (sym) (display (custom-definition-as-literal "
        b"sym)) (newline)) (custom-collect-by-group 'skk-dict))")
    text = proc.stdout.decode("utf-8")
    if "(define skk-dic-file-name " not in text:
        sys.exit(f"uim's custom.scm gave no skk-dict group: {proc.stdout!r} "
                 f"{proc.stderr!r}")
    return text


def can_unshare():
    return subprocess.run(
        ["unshare", "--mount", "--propagation", "private", "sh", "-c",
         'mount -t tmpfs brenlow-test "$1"', "sh", HOME],
        capture_output=True).returncode == 0


HOME = pwd.getpwuid(os.getuid()).pw_dir


def look_up(work, settings, wanted, customs=None):
    """({request: [word]}, the dictionary uim-skk opened) with the setting
    lines in ~/.uim, and customs as uim-pref's saved dictionary settings.
    uim finds the home folder by the user's entry (not $HOME): a mount
    namespace puts an empty one there. Without one, LIBUIM_USER_SCM_FILE
    names the user file, and customs cannot be given."""
    user_file = os.path.join(work, "dot-uim")
    with open(user_file, "w", encoding="utf-8") as f:
        f.write("".join(line + "\n" for line in settings))
    script = os.path.join(work, "uim_skk_lookup.scm")
    shutil.copy(os.path.join(HERE, "uim_skk_lookup.scm"), script)
    if can_unshare():
        custom_file = os.path.join(work, "custom-skk-dict.scm")
        with open(custom_file, "w", encoding="utf-8") as f:
            f.write(customs or "")
        command = [
            "unshare", "--mount", "--propagation", "private", "sh", "-c",
            'set -e; mount -t tmpfs brenlow-test "$1"; cp "$2" "$1/.uim"; '
            'if [ -s "$3" ]; then mkdir -p "$1/.uim.d/customs"; '
            'cp "$3" "$1/.uim.d/customs/"; fi; exec uim-sh "$4"',
            "sh", HOME, user_file, custom_file, script]
        env = os.environ
    elif customs:
        return None, None
    else:
        command = ["uim-sh", script]
        env = dict(os.environ, LIBUIM_USER_SCM_FILE=user_file)
    proc = subprocess.run(command, input=b"".join(r + b"\n" for r in wanted),
                          capture_output=True, timeout=900, cwd="/", env=env)
    if proc.returncode != 0:
        sys.exit(f"uim-sh failed ({proc.returncode}): "
                 f"{proc.stderr.decode('utf-8', 'replace')[-2000:]}")
    got, opened, current = {}, None, None
    for line in proc.stdout.split(b"\n"):
        kind, rest = line[:1], line[1:]
        if kind == b"F":
            opened = rest.decode("utf-8", "replace")
        elif kind == b"R":
            current = rest
        elif kind == b"C":
            got.setdefault(current, []).append(rest)
        elif kind == b"E":
            got.setdefault(current, [])
    return got, opened


def shown(data):
    return data.decode("euc_jp", "backslashreplace").replace("\t", " ")


def compare(wanted, got):
    found = failures = 0
    for request, words in wanted.items():
        back = got.get(request)
        if back is not None:
            found += 1
        if back != words:
            failures += 1
            if failures <= 30:
                print(f"FAIL uim-skk: {shown(request)!r}: expected "
                      f"{[shown(w) for w in words]}, uim-skk gave "
                      f"{None if back is None else [shown(w) for w in back]}")
    return found, failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--readings", type=int, default=24000)
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    reason = missing()
    if reason:
        print(f"skip: {reason}")
        return SKIP
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "vocabulary.txt")
        text = dictionaries.write_source(source, args.readings,
                                         dictionaries.long_entries())
        nasi, ari = dictionaries.expected(text)
        wanted = requests(nasi, ari)
        dictionary = dictionaries.in_folder(work, "SKK-JISYO.mine")
        settings, messages = dictionaries.run_preset(
            program, "uim-skk", source, dictionary)
        dictionaries.show_messages(messages)
        print("setting lines:", *settings, sep="\n  ")
        more, strays = dictionaries.beyond_expected(dictionary, nasi, ari)
        for reading in strays:
            print(f"FAIL the dictionary holds {shown(reading)!r}, which no "
                  f"input line gives")
        failures += len(strays)
        wanted.update(requests({}, more))
        if not settings:
            print("FAIL brenlow printed no setting line for uim-skk")
            return 1
        got, opened = look_up(work, settings, wanted)
        if opened != dictionary:
            print(f"FAIL uim-skk opened {opened!r}, not {dictionary!r}")
            failures += 1
        found, failed = compare(wanted, got)
        failures += failed
        print(f"uim-skk, --for uim-skk: {len(nasi)} readings and "
              f"{len(ari) + len(more)} okuri-ari keys ({len(ari)} typed "
              f"forms of the verbs' table), {found} found, {failed} "
              f"failures")

        # A user who saved uim-skk's dictionary settings in uim-pref: the
        # saved file is loaded with skk.scm, after ~/.uim.
        some = dict(list(wanted.items())[:200])
        got, opened = look_up(work, settings, some, saved_customs())
        if opened is None:
            print("uim-skk with uim-pref's saved settings: not checked "
                  "(no mount namespace for the home folder here)")
        elif opened != dictionary:
            print(f"FAIL uim-skk, with uim-pref's saved dictionary settings "
                  f"in ~/.uim.d/customs/custom-skk-dict.scm, opened "
                  f"{opened!r}, not {dictionary!r}")
            failures += 1
        else:
            found, failed = compare(some, got)
            failures += failed
            print(f"uim-skk with uim-pref's saved settings: {dictionary} "
                  f"opened, {found} of {len(some)} found")

        # The same entries in UTF-8 byte order, re-encoded: the binary
        # search must miss some of them.
        dictionaries.utf_8_order(program, source, dictionary)
        got, _ = look_up(work, settings, wanted)
        lost = sum(1 for request, words in wanted.items()
                   if got.get(request) != words)
        print(f"uim-skk, UTF-8 order re-encoded to EUC-JP: {lost} of "
              f"{len(wanted)} lookups lost")
        if lost == 0:
            print("FAIL uim-skk found every reading in a dictionary sorted "
                  "in UTF-8 order: the check above cannot tell the order")
            failures += 1
    print(f"uim-skk: {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
