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
- yaskkserv, with the EUC-JP text of `--for skkserv -o SKK-JISYO.mine`:
  the LOCAL_DICS line brenlow prints takes the place of the assignment in
  the package's /etc/default/yaskkserv, which sh then reads as
  update-skkdic-yaskkserv and the service do; the file is made into
  NAME.yaskkserv with yaskkserv_make_dictionary, as update-skkdic-yaskkserv
  does, and served by the service's server (yaskkserv_hairy) with its
  options on a free port of 127.0.0.1.

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
import re
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
# The longest entries the servers serve: dbskkd-cdb replies within 4,096
# bytes ("1", the CDB's value "/c1/c2/.../", LF) and exits (status 76) on a
# longer value; yaskkserv_make_dictionary, at its default block size,
# makes no dictionary at all of a file with a line "READING /.../" longer
# than 8,193 bytes.
LIMITS = {"dbskkd-cdb": ("value", 4093), "yaskkserv": ("line", 8193)}


def within(server, reading, words):
    """Whether the entry fits what the server serves."""
    kind, limit = LIMITS[server]
    value = len(b"/" + b"/".join(words) + b"/")
    return (value if kind == "value" else len(reading) + 1 + value) <= limit


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
    if not reply:
        raise RuntimeError(f"the server closed the connection when asked "
                           f"for {shown(reading)!r}")
    raise RuntimeError(f"unexpected reply to {shown(reading)!r}: "
                       f"{reply[:200]!r}")


def skkserv_close(writer):
    writer.write(b"0 \n")
    writer.flush()


def ask_all(writer, reader, wanted):
    """{key: [candidate] or None} for every key of wanted."""
    got = {key: skkserv_lookup(writer, reader, key) for key in wanted}
    skkserv_close(writer)
    return got


def shown(data):
    return data.decode("euc_jp", "backslashreplace")


def told(server, key, messages):
    """Whether one of brenlow's messages names the reading and the server
    or its limit."""
    reading = key.decode("euc_jp", "replace")
    limit = str(LIMITS[server][1])
    return any(reading in m and (server in m or limit in m)
               for m in messages)


def compare(server, wanted, got, messages=()):
    """Counts the keys found and the failures. An entry longer than the
    server serves may come back cut (its first words) or not at all, if a
    message from brenlow names its reading and the server or its limit."""
    found = failures = 0
    for key, words in wanted.items():
        back = got.get(key)
        if back is not None:
            found += 1
        if (back != words and not within(server, key, words)
                and (back is None or back == words[:len(back)])):
            cut = "no entry" if back is None else f"its first {len(back)}"
            print(f"{server}: {shown(key)!r} ({len(words)} words, longer "
                  f"than it serves) gave {cut}")
            if not told(server, key, messages):
                failures += 1
                print(f"FAIL {server}: {shown(key)!r} lost words, and no "
                      f"message from brenlow names it and {server} or "
                      f"{LIMITS[server][1]} bytes")
            continue
        if back != words:
            failures += 1
            if failures <= 30:
                gave = None if back is None else [
                    "<Lisp>" if w is None else shown(w) for w in back]
                print(f"FAIL {server}: {shown(key)!r}: expected "
                      f"{[shown(w) for w in words]}, the server gave {gave}")
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

def command_words(line):
    """The words of a setting line as a shell reads it (a leading sudo
    dropped), or None for a line a shell cannot read."""
    try:
        words = shlex.split(line)
    except ValueError as e:
        print(f"a shell cannot read {line!r}: {e}")
        return None
    if words[:1] == ["sudo"]:
        words = words[1:]
    return words or None


def link_commands(settings, altdir, admindir):
    """The setting lines that point dbskkd-cdb's dictionary at the file, as
    commands to run inside the namespace: update-alternatives (its
    alternatives kept in altdir and admindir, not the machine's), or ln or
    cp onto the dictionary's path, which the namespace's tmpfs holds.
    Returns (commands, lines that cannot be run here)."""
    commands, refused = [], []
    for line in settings:
        words = command_words(line)
        if words is None:
            refused.append(line)
        elif words[0] == "update-alternatives":
            commands.append(["update-alternatives", "--altdir", altdir,
                             "--admindir", admindir] + words[1:])
        elif words[0] in ("ln", "cp") and words[-1] == CDB_LINK:
            commands.append(words)
        else:
            refused.append(line)
    return commands, refused


def serve_cdb(server, commands, work, wanted):
    """Runs, in a mount namespace, skkdic-cdb's alternative and the
    setting's commands, then dbskkd-cdb on pipes; asks it every key.
    Returns ({key: [word] or None}, [keys it exited on], keys not asked)."""
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
        "mount -t tmpfs brenlow-test "
        f"{shlex.quote(os.path.dirname(CDB_LINK))}\n"
        f"cp {shlex.quote(stand_in)} {shlex.quote(PACKAGE_CDB)}\n"
        f"{shlex.join(package)} >&2\n" +
        "".join(f"{shlex.join(c)} >&2\n" for c in commands) +
        f"ls -lL {shlex.quote(CDB_LINK)} >&2\n"
        f"exec {shlex.quote(server)}\n")
    # inetd starts a server for each connection: one that exits is started
    # anew for the keys after the one it exited on.
    got, died, left, starts = {}, [], list(wanted), 0
    while left and len(died) < 20:
        proc = subprocess.Popen(["unshare", "--mount", "--propagation",
                                 "private", "sh", "-c", script],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, cwd="/")
        try:
            for key in left:
                candidates = skkserv_lookup(proc.stdin, proc.stdout, key)
                got[key] = (None if candidates is None
                            else dictionaries.words_of(candidates))
            skkserv_close(proc.stdin)
            proc.stdin.close()
            proc.wait(timeout=60)
            left = []
        except (RuntimeError, BrokenPipeError) as e:
            proc.kill()
            proc.wait()
            key = left[len([k for k in left if k in got])]
            died.append(key)
            left = left[left.index(key) + 1:]
            print(f"FAIL dbskkd-cdb: {e} (exit status {proc.returncode})")
        if starts == 0:  # what the setting's commands said
            print(proc.stderr.read().decode("utf-8", "replace").rstrip())
        starts += 1
    if left:
        print(f"FAIL dbskkd-cdb exited {len(died)} times: {len(left)} keys "
              f"not asked")
    return got, died, len(left)


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
    dictionary = dictionaries.in_folder(work, "SKK-JISYO.mine.cdb")
    text = os.path.join(work, "SKK-JISYO.mine.cdb.txt")
    settings, messages = dictionaries.run_preset(
        args.program, "skkserv", source, dictionary)
    dictionaries.show_messages(messages)
    # The CDB's own records, to ask for the keys it holds besides the
    # expected ones.
    dump = subprocess.run(["cdb", "-d", dictionary], capture_output=True,
                          check=True).stdout
    with open(text, "wb") as f:
        f.write(cdb_as_text(dump))
    print("dbskkd-cdb setting lines:", *settings, sep="\n  ")
    commands, refused = link_commands(settings, os.path.join(
        work, "alternatives"), os.path.join(work, "alternatives-admin"))
    if refused or not commands:
        print(f"FAIL dbskkd-cdb: setting lines that are no command putting "
              f"the CDB at {CDB_LINK} (update-alternatives, ln or cp): "
              f"{refused or settings}")
        return 1
    more, strays = dictionaries.beyond_expected(text, nasi, ari)
    failures = report_strays("dbskkd-cdb", strays)
    wanted = dict(nasi)
    wanted.update(ari)
    wanted.update(more)
    got, died, unasked = serve_cdb(server, commands, work, wanted)
    failures += len(died) + unasked
    found, failed = compare("dbskkd-cdb", {
        k: v for k, v in wanted.items() if k not in died}, got, messages)
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


def debian_setup(root, settings, work):
    """Debian's yaskkserv set up on the LOCAL_DICS line: the package's
    /etc/default/yaskkserv with its LOCAL_DICS assignment replaced by the
    line, read by sh as update-skkdic-yaskkserv and the service read it.
    Returns ([the files LOCAL_DICS names], the server command as the
    service runs it, [its dictionaries, /usr/share/yaskkserv/NAME.yaskkserv])
    or a string saying why it cannot be set up."""
    lines = [x for x in settings if x.startswith("LOCAL_DICS=")]
    if len(lines) != 1 or len(settings) != 1:
        return f"not one LOCAL_DICS line: {settings}"
    with open(os.path.join(root, "etc", "default", "yaskkserv")) as f:
        default = f.read()
    assignment = re.search(r'^LOCAL_DICS="[^"]*"\n', default, re.M)
    config = os.path.join(work, "default-yaskkserv")
    with open(config, "w") as f:
        f.write(default[:assignment.start()] + lines[0] + "\n" +
                default[assignment.end():])
    proc = subprocess.run(
        ["sh", "-c", '. "$1"; printf "%s\\n" "$YASKKSERV_BIN" '
         '"$DAEMON_OPTS" "$LOCAL_DICS" "$DIC_LIST"', "sh", config],
        capture_output=True, text=True, check=True)
    program, options, local, served = proc.stdout.split("\n")[:4]
    server = [os.path.join(root, "usr", "sbin", program)] + options.split()
    return local.split(), server, served.split()


def make_dictionary(root, source, target):
    """update-skkdic-yaskkserv's conversion; returns the failures. The
    maker exits 0 even when it makes nothing (a line longer than its
    block), so the target and its messages tell."""
    command = [os.path.join(root, "usr", "bin", "yaskkserv_make_dictionary"),
               source, target]
    proc = subprocess.run(command, capture_output=True, cwd="/")
    said = (proc.stdout + proc.stderr).decode("utf-8", "replace")
    if proc.returncode != 0 or not os.path.exists(target) or said:
        print(f"FAIL {shlex.join(command)}: exit status {proc.returncode}, "
              f"{said.strip()!r}")
        return 1
    return 0


def serve_yaskkserv(server, served, wanted):
    """Runs the server in the foreground on a free port of 127.0.0.1 and
    asks for every key; None when it cannot be reached."""
    port = free_port()
    proc = subprocess.Popen(
        server[:1] + ["--no-daemonize", "--address", "127.0.0.1", "--port",
                      str(port)] + server[1:] + served,
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd="/")
    try:
        deadline = time.monotonic() + 30
        while True:
            try:
                connection = socket.create_connection(("127.0.0.1", port),
                                                      timeout=30)
                break
            except OSError:
                if time.monotonic() > deadline or proc.poll() is not None:
                    print(f"FAIL yaskkserv did not listen on port {port}")
                    return None
                time.sleep(0.1)
        with connection:
            files = connection.makefile("rwb")
            try:
                return ask_all(files, files, wanted)
            except (RuntimeError, OSError) as e:
                print(f"FAIL yaskkserv: {e}")
                return None
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def check_yaskkserv(args, work, source, nasi, ari):
    root = unpacked("yaskkserv", args.cache)
    if root is None:
        return None
    lacking = missing_libraries(os.path.join(root, "usr", "sbin",
                                             "yaskkserv_hairy"))
    if lacking:
        print(f"yaskkserv: lacking {lacking}")
        return None
    # Not in a folder with a blank: Debian's scripts split LOCAL_DICS at
    # blanks, whatever the quoting.
    dictionary = os.path.join(work, "SKK-JISYO.mine")
    settings, messages = dictionaries.run_preset(
        args.program, "skkserv", source, dictionary)
    dictionaries.show_messages(messages)
    print("yaskkserv setting lines:", *settings, sep="\n  ")
    setup = debian_setup(root, settings, work)
    if isinstance(setup, str):
        print(f"FAIL yaskkserv: {setup}")
        return 1
    local, server, served = setup
    print(f"yaskkserv: {shlex.join(server + served)}")
    failures = 0
    if local != [dictionary]:
        print(f"FAIL LOCAL_DICS names {local}, not {[dictionary]}")
        return 1
    # update-skkdic-yaskkserv makes /usr/share/yaskkserv/NAME.yaskkserv of
    # each LOCAL_DICS file (here in work). The service serves them before
    # the skkdic dictionaries of PKG_DICS, which are left out here: with
    # them yaskkserv_hairy merges the replies and can drop a word of the
    # user's (シャープ after シャープ(株), with SKK-JISYO.L's シャープ).
    mine = "/usr/share/yaskkserv/" + os.path.basename(dictionary) + \
        ".yaskkserv"
    if served[:1] != [mine]:
        print(f"FAIL the service does not serve {mine} first: {served}")
        return 1
    mapped = [os.path.join(work, os.path.basename(mine))]
    failures += make_dictionary(root, dictionary, mapped[0])
    more, strays = dictionaries.beyond_expected(dictionary, nasi, ari)
    failures += report_strays("yaskkserv", strays)
    wanted = dict(nasi)
    wanted.update(ari)
    wanted.update(more)
    if failures:
        return failures
    got = serve_yaskkserv(server, mapped, wanted)
    if got is None:
        return failures + 1
    got = {k: None if v is None else dictionaries.words_of(v)
           for k, v in got.items()}
    found, failed = compare("yaskkserv", wanted, got, messages)
    print(f"yaskkserv, --for skkserv -o SKK-JISYO.mine: "
          f"{len(nasi)} readings and {len(ari) + len(more)} okuri-ari keys, "
          f"{found} found, {failed} failures")
    return failures + failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--server", choices=["dbskkd-cdb", "yaskkserv"],
                        required=True)
    parser.add_argument("--cache", required=True,
                        help="folder for the servers' packages")
    parser.add_argument("--readings", type=int, default=24000)
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.cache = os.path.abspath(args.cache)
    if not os.path.exists("/usr/share/skk/SKK-JISYO.L"):
        print("skip: skkdic is not installed")
        return SKIP
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "vocabulary.txt")
        text = dictionaries.write_source(
            source, args.readings, dictionaries.long_entries())
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
