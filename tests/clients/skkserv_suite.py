#!/usr/bin/env python3
"""Serves brenlow's `--for skkserv` dictionaries with the SKK servers
Debian ships and asks them for every reading over the skkserv protocol
(request "1READING " in EUC-JP; reply "1/cand/.../" or "4READING"):

- dbskkd-cdb, with the CDB of `--for skkserv -o SKK-JISYO.mine.cdb`. It
  opens only /usr/share/skk/SKK-JISYO.cdb, Debian's alternatives link; the
  setting line brenlow prints (an update-alternatives command) is run with
  its alternatives kept in the work folder, after skkdic-cdb's own
  alternative (priority 60) as its package installs it, inside a mount
  namespace (unshare --mount) with a tmpfs on /usr/share/skk; dbskkd-cdb
  then talks over its standard input and output, as inetd runs it.
- yaskkserv (Debian's default server, yaskkserv_hairy), with the EUC-JP
  text of `--for skkserv -o SKK-JISYO.mine`: the file named by the
  LOCAL_DICS line brenlow prints is made into a yaskkserv dictionary with
  yaskkserv_make_dictionary, as update-skkdic-yaskkserv does, and served
  on a free port of 127.0.0.1.

The servers are not installed (they conflict with each other): their
packages are fetched with apt-get download into --cache and unpacked
there. The dictionary: more than 20,000 readings of real vocabulary and a
table of verbs and adjectives with --okuri-ari (euc_jp_dictionaries.py);
every reading must come back with exactly its words in input order, each
once, every okuri-ari key with its stems, and every other okuri-ari key
the file holds as written. Failures name the server, the reading, the words
expected and the reply.
"""
import argparse
import glob
import os
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import euc_jp_dictionaries as dictionaries  # noqa: E402

SKIP = 77
CDB_LINK = "/usr/share/skk/SKK-JISYO.cdb"
# What skkdic-cdb's postinst installs; here a stand-in CDB that answers
# for no reading of the test.
PACKAGE_CDB = "/usr/share/skk/SKK-JISYO.L.cdb"
PACKAGE_PRIORITY = "60"


def skkserv_lookup(writer, reader, reading):
    """Asks an skkserv for reading (EUC-JP bytes) on a connection (a pipe
    or a socket's files). Returns the candidates of a "1" reply, or None
    for "4" (not found)."""
    writer.write(b"1" + reading + b" \n")
    writer.flush()
    reply = reader.readline()
    if reply.startswith(b"1/") and reply.endswith(b"/\n"):
        return reply[2:-2].split(b"/")
    if reply.startswith(b"4"):
        return None
    raise RuntimeError(f"unexpected reply to {reading!r}: {reply[:200]!r}")


def skkserv_close(writer):
    writer.write(b"0 \n")
    writer.flush()


def ask_all(writer, reader, wanted):
    """{key: [word] or None} for every key of wanted."""
    got = {}
    for key in wanted:
        candidates = skkserv_lookup(writer, reader, key)
        got[key] = (None if candidates is None
                    else dictionaries.words_of(candidates))
    skkserv_close(writer)
    return got


def shown(data):
    return data.decode("euc_jp", "backslashreplace")


def compare(server, wanted, got):
    found = failures = 0
    for key, words in wanted.items():
        back = got.get(key)
        if back is not None:
            found += 1
        if back != words:
            failures += 1
            if failures <= 30:
                print(f"FAIL {server}: {shown(key)!r}: expected "
                      f"{[shown(w) for w in words]}, the server gave "
                      f"{None if back is None else [shown(w) if w is not None else '<Lisp>' for w in back]}")
    return found, failures


# The servers' packages, unpacked into the cache.

def unpacked(package, cache):
    """The folder package is unpacked in, fetching it if needed; None when
    apt-get cannot give it."""
    root = os.path.join(cache, package)
    if os.path.isdir(os.path.join(root, "usr")):
        return root
    os.makedirs(cache, exist_ok=True)
    debs = glob.glob(os.path.join(cache, f"{package}_*.deb"))
    if not debs:
        proc = subprocess.run(["apt-get", "download", package], cwd=cache,
                              capture_output=True)
        debs = glob.glob(os.path.join(cache, f"{package}_*.deb"))
        if proc.returncode != 0 or not debs:
            print(f"apt-get download {package}: "
                  f"{proc.stderr.decode('utf-8', 'replace').strip()}")
            return None
    part = root + ".part"
    shutil.rmtree(part, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", debs[0], part], check=True)
    os.rename(part, root)
    return root


def missing_libraries(program):
    proc = subprocess.run(["ldd", program], capture_output=True, text=True)
    return [line.split()[0] for line in proc.stdout.splitlines()
            if "not found" in line]


# dbskkd-cdb.

def alternatives_command(settings, altdir, admindir):
    """The update-alternatives line among the settings, with its
    alternatives kept in altdir and admindir; None if there is none."""
    for line in settings:
        words = shlex.split(line)
        if words[:1] == ["sudo"]:
            words = words[1:]
        if words[:1] == ["update-alternatives"]:
            return (["update-alternatives", "--altdir", altdir, "--admindir",
                     admindir] + words[1:])
    return None


def serve_cdb(server, command, work, wanted):
    """Runs, in a mount namespace, skkdic-cdb's alternative and the
    setting's command, then dbskkd-cdb on pipes; asks it every key."""
    altdir = os.path.join(work, "alternatives")
    admindir = os.path.join(work, "alternatives-admin")
    for d in (altdir, admindir):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    stand_in = os.path.join(work, "stand-in.cdb")
    subprocess.run(["cdb", "-c", stand_in],
                   input=cdb_records({b"\xa4\xa2\xa4\xa2": [b"SKK-JISYO.L"]}),
                   check=True)
    package = ["update-alternatives", "--altdir", altdir, "--admindir",
               admindir, "--install", CDB_LINK, "SKK-JISYO.cdb", PACKAGE_CDB,
               PACKAGE_PRIORITY]
    script = (
        "set -e\n"
        f"mount -t tmpfs brenlow-test {shlex.quote(os.path.dirname(CDB_LINK))}\n"
        f"cp {shlex.quote(stand_in)} {shlex.quote(PACKAGE_CDB)}\n"
        f"{shlex.join(package)} >&2\n"
        f"{shlex.join(command)} >&2\n"
        f"ls -l {shlex.quote(CDB_LINK)} {shlex.quote(altdir)}/SKK-JISYO.cdb >&2\n"
        f"exec {shlex.quote(server)}\n")
    proc = subprocess.Popen(["unshare", "--mount", "--propagation", "private",
                             "sh", "-c", script],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    try:
        got = ask_all(proc.stdin, proc.stdout, wanted)
    except (RuntimeError, BrokenPipeError) as e:
        proc.kill()
        print(f"FAIL dbskkd-cdb: {e}; "
              f"{proc.stderr.read().decode('utf-8', 'replace')[-2000:]}")
        return None
    proc.stdin.close()
    proc.wait(timeout=60)
    print(proc.stderr.read().decode("utf-8", "replace").rstrip())
    return got


def can_unshare():
    return subprocess.run(
        ["unshare", "--mount", "--propagation", "private", "sh", "-c",
         "mount -t tmpfs brenlow-test " +
         shlex.quote(os.path.dirname(CDB_LINK))],
        capture_output=True).returncode == 0


def check_dbskkd_cdb(args, work, source, nasi, ari):
    root = unpacked("dbskkd-cdb", args.cache)
    if root is None:
        return None
    server = os.path.join(root, "usr", "sbin", "dbskkd-cdb")
    lacking = missing_libraries(server)
    if lacking or not shutil.which("cdb"):
        print(f"dbskkd-cdb: lacking {lacking or 'cdb (tinycdb)'}")
        return None
    if not can_unshare():
        print("dbskkd-cdb: unshare --mount does not work here")
        return None
    dictionary = os.path.join(work, "SKK-JISYO.mine.cdb")
    text = os.path.join(work, "SKK-JISYO.mine.cdb.txt")
    if args.hand_made:
        dictionaries.hand_sorted(args.program, source, text, "EUC-JP")
        subprocess.run(["cdb", "-c", dictionary], check=True,
                       input=cdb_records(dictionaries.skk_lines(text)))
        settings = [f"update-alternatives --install {CDB_LINK} SKK-JISYO.cdb "
                    f"{dictionary} 100"]
    else:
        settings, messages = dictionaries.run_preset(
            args.program, "skkserv", source, dictionary)
        for line in messages:
            print(line)
        # The CDB's own records, to ask for the keys it holds besides the
        # expected ones.
        dump = subprocess.run(["cdb", "-d", dictionary], capture_output=True,
                              check=True).stdout
        with open(text, "wb") as f:
            f.write(cdb_as_text(dump))
    print("dbskkd-cdb setting lines:", *settings, sep="\n  ")
    command = alternatives_command(settings, os.path.join(
        work, "alternatives"), os.path.join(work, "alternatives-admin"))
    if command is None:
        print("FAIL brenlow printed no update-alternatives line for "
              "dbskkd-cdb")
        return 1
    more, strays = dictionaries.beyond_expected(text, nasi, ari)
    failures = report_strays("dbskkd-cdb", strays)
    wanted = dict(nasi)
    wanted.update(ari)
    wanted.update(more)
    got = serve_cdb(server, command, work, wanted)
    if got is None:
        return failures + 1
    found, failed = compare("dbskkd-cdb", wanted, got)
    print(f"dbskkd-cdb, --for skkserv -o SKK-JISYO.mine.cdb: {len(nasi)} "
          f"readings and {len(ari) + len(more)} okuri-ari keys, {found} "
          f"found, {failed} failures")
    return failures + failed


def cdb_records(entries):
    """tinycdb's input for {key: [candidate]}: "+klen,dlen:key->/c1/c2/"."""
    out = b""
    for key, candidates in entries.items():
        data = b"/" + b"/".join(candidates) + b"/"
        out += b"+%d,%d:%s->%s\n" % (len(key), len(data), key, data)
    return out + b"\n"


def cdb_as_text(dump):
    """The records of `cdb -d` as SKK dictionary text, the okuri-ari keys
    (a kana head and an ASCII letter) in their section."""
    entries, i = [], 0
    while i < len(dump) and dump[i:i + 1] == b"+":
        head, rest = dump[i + 1:].split(b":", 1)
        klen, dlen = (int(n) for n in head.split(b","))
        key = rest[:klen]
        data = rest[klen + 2:klen + 2 + dlen]
        entries.append((key, data))
        i += 1 + len(head) + 1 + klen + 2 + dlen + 1
    ari_lines = [k + b" " + d for k, d in entries
                 if len(k) > 1 and k[-1:].isalpha() and k[-2] >= 0x80]
    nasi_lines = [k + b" " + d for k, d in entries
                  if k + b" " + d not in ari_lines]
    return (b";; okuri-ari entries.\n" + b"\n".join(ari_lines) +
            b"\n;; okuri-nasi entries.\n" + b"\n".join(nasi_lines) + b"\n")


def report_strays(server, strays):
    for reading in strays:
        print(f"FAIL {server}: the dictionary holds {shown(reading)!r}, which "
              f"no input line gives")
    return len(strays)


# yaskkserv.

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def local_dictionaries(settings):
    """The files of the LOCAL_DICS line among the settings, or None."""
    for line in settings:
        if line.startswith("LOCAL_DICS="):
            return shlex.split(line[len("LOCAL_DICS="):])
    return None


def serve_yaskkserv(root, made, wanted):
    """Serves the yaskkserv dictionaries made on 127.0.0.1 and asks for
    every key; None when the server cannot be reached."""
    port = free_port()
    server = subprocess.Popen(
        [os.path.join(root, "usr", "sbin", "yaskkserv_hairy"),
         "--no-daemonize", "--address", "127.0.0.1", "--port", str(port),
         *made], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        deadline = time.monotonic() + 30
        while True:
            try:
                connection = socket.create_connection(("127.0.0.1", port),
                                                      timeout=30)
                break
            except OSError:
                if time.monotonic() > deadline or server.poll() is not None:
                    print(f"FAIL yaskkserv did not listen on port {port}")
                    return None
                time.sleep(0.1)
        with connection:
            files = connection.makefile("rwb")
            return ask_all(files, files, wanted)
    finally:
        server.terminate()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


def check_yaskkserv(args, work, source, nasi, ari):
    root = unpacked("yaskkserv", args.cache)
    if root is None:
        return None
    lacking = missing_libraries(os.path.join(root, "usr", "sbin",
                                             "yaskkserv_hairy"))
    if lacking:
        print(f"yaskkserv: lacking {lacking}")
        return None
    dictionary = os.path.join(work, "SKK-JISYO.mine")
    if args.hand_made:
        dictionaries.hand_sorted(args.program, source, dictionary, "EUC-JP")
        settings = [f'LOCAL_DICS="{dictionary}"']
    else:
        settings, messages = dictionaries.run_preset(
            args.program, "skkserv", source, dictionary)
        for line in messages:
            print(line)
    print("yaskkserv setting lines:", *settings, sep="\n  ")
    local = local_dictionaries(settings)
    if not local:
        print("FAIL brenlow printed no LOCAL_DICS line for yaskkserv")
        return 1
    failures = 0
    if local != [dictionary]:
        print(f"FAIL LOCAL_DICS names {local}, not {[dictionary]}")
        failures += 1
    more, strays = dictionaries.beyond_expected(dictionary, nasi, ari)
    failures += report_strays("yaskkserv", strays)
    wanted = dict(nasi)
    wanted.update(ari)
    wanted.update(more)
    made = []
    for path in local:
        # As update-skkdic-yaskkserv makes /usr/share/yaskkserv/NAME.yaskkserv.
        out = os.path.join(work, os.path.basename(path) + ".yaskkserv")
        proc = subprocess.run(
            [os.path.join(root, "usr", "bin", "yaskkserv_make_dictionary"),
             path, out], capture_output=True)
        if proc.returncode != 0:
            print(f"FAIL yaskkserv_make_dictionary {path}: "
                  f"{proc.stdout.decode('utf-8', 'replace')}"
                  f"{proc.stderr.decode('utf-8', 'replace')}")
            return failures + 1
        made.append(out)
    got = serve_yaskkserv(root, made, wanted)
    if got is None:
        return failures + 1
    found, failed = compare("yaskkserv", wanted, got)
    print(f"yaskkserv, --for skkserv -o SKK-JISYO.mine: {len(nasi)} readings "
          f"and {len(ari) + len(more)} okuri-ari keys, {found} found, "
          f"{failed} failures")
    return failures + failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--server", choices=["dbskkd-cdb", "yaskkserv"],
                        required=True)
    parser.add_argument("--cache", required=True,
                        help="folder for the servers' packages")
    parser.add_argument("--readings", type=int, default=24000)
    parser.add_argument("--hand-made", action="store_true",
                        help="serve dictionaries made by hand from "
                        "brenlow's Shift_JIS output (iconv, sort, cdb -c), "
                        "with setting lines written here")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.cache = os.path.abspath(args.cache)
    if not os.path.exists("/usr/share/skk/SKK-JISYO.L"):
        print("skip: skkdic is not installed")
        return SKIP
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "vocabulary.txt")
        text = dictionaries.write_source(source, args.readings)
        nasi, ari = dictionaries.expected(text)
        check = (check_dbskkd_cdb if args.server == "dbskkd-cdb"
                 else check_yaskkserv)
        failures = check(args, work, source, nasi, ari)
    if failures is None:
        print(f"skip: {args.server} cannot run here")
        return SKIP
    print(f"{args.server}: {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
