#!/bin/bash
# End-to-end cases that need more than a fixture folder: memory limits and
# file permissions. Usage: environment_faults.sh PROGRAM
set -u
program=$(realpath "$1")
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
failures=0

check() {  # name, expected status, expected stderr, actual status, actual stderr
  if [ "$4" != "$2" ] || [ "$5" != "$3" ]; then
    echo "FAIL $1: status $4 (expected $2), stderr '$5' (expected '$3')"
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

# Out of memory: a dictionary larger than the address space the program may
# use must end in a message, not a crash.
yes "$(printf 'reading\tword\tnoun\r')" | head -c 100000000 > "$work/big.txt"
status=0
err=$( (ulimit -v 60000; "$program" "$work/big.txt" 2>&1 >"$work/out") ) || status=$?
check out_of_memory 1 "brenlow: out of memory" "$status" "$err"
if [ -s "$work/out" ]; then
  echo "FAIL out_of_memory: standard output is not empty"
  failures=$((failures + 1))
fi

# A file without read permission (root reads it anyway).
if [ "$(id -u)" != 0 ]; then
  printf 'r\tw\r\n' > "$work/secret.txt"
  chmod 000 "$work/secret.txt"
  status=0
  err=$("$program" "$work/secret.txt" 2>&1 >/dev/null) || status=$?
  check no_read_permission 1 \
    "brenlow: cannot open '$work/secret.txt': Permission denied" "$status" "$err"
else
  echo "skip no_read_permission (running as root)"
fi

# -o on a full disk: the old file stays and no temporary file is left.
mkdir "$work/small"
if mount -t tmpfs -o size=64k tmpfs "$work/small" 2>/dev/null; then
  echo old > "$work/small/out.skk"
  head -c 100000 /dev/zero > "$work/small/filler" 2>/dev/null
  yes "$(printf 'reading\tword\tnoun\r')" | head -n 10000 > "$work/words.txt"
  status=0
  err=$("$program" -o "$work/small/out.skk" "$work/words.txt" 2>&1) || status=$?
  check output_file_on_full_disk 1 \
    "brenlow: cannot write '$work/small/out.skk': No space left on device; it is left as it was" \
    "$status" "$err"
  if [ "$(cat "$work/small/out.skk")" != old ] ||
     [ "$(ls "$work/small" | tr '\n' ' ')" != "filler out.skk " ]; then
    echo "FAIL output_file_on_full_disk: the old file changed or a temporary file is left"
    failures=$((failures + 1))
  fi
  umount "$work/small"
else
  echo "skip output_file_on_full_disk (cannot mount a small tmpfs here)"
fi

[ "$failures" = 0 ]
