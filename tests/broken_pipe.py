#!/usr/bin/env python3
"""A reader that goes away early (brenlow big.txt | head), run without a
shell in between: brenlow itself must exit with status 141 (128 + SIGPIPE,
what a shell reports for cat in the same place) and print nothing, whether
its parent left SIGPIPE at its default or ignored it. Through sh a death by
SIGPIPE would read as 141 too, so the program is started directly.

Usage: broken_pipe.py PROGRAM
"""
import os
import signal
import subprocess
import sys
import tempfile


def run_with_early_close(program, dictionary, sigpipe):
    # Python ignores SIGPIPE itself; the child gets the disposition chosen.
    proc = subprocess.Popen(
        [program, dictionary], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
        restore_signals=False,
        preexec_fn=lambda: signal.signal(signal.SIGPIPE, sigpipe))
    proc.stdout.read(10)
    proc.stdout.close()
    err = proc.stderr.read()
    proc.stderr.close()
    return proc.wait(timeout=60), err


def main():
    program = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="brenlow-") as folder:
        dictionary = os.path.join(folder, "many.txt")
        with open(dictionary, "wb") as f:
            # About 3 MB of output, far more than a pipe holds.
            f.write(b"".join(b"r%d\tw%d\tnoun\r\n" % (i, i)
                             for i in range(200000)))
        failures = 0
        for name, sigpipe in (("SIGPIPE at its default", signal.SIG_DFL),
                              ("SIGPIPE ignored", signal.SIG_IGN)):
            status, err = run_with_early_close(program, dictionary, sigpipe)
            if status == 141 and err == b"":
                print(f"ok   {name}")
            else:
                # A negative status is the signal that ended the program.
                print(f"FAIL {name}: status {status} (expected 141), "
                      f"stderr {err!r} (expected empty)")
                failures += 1
    print(f"{2 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
