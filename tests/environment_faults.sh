#!/bin/bash
# End-to-end cases that need more than a fixture folder: memory and file
# size limits, file permissions, pipes, a large input and a long name. Usage: environment_faults.sh PROGRAM
# With BRENLOW_SANITIZED=1 (a sanitizer build, whose shadow memory no
# address-space limit leaves room for) the memory cases are skipped.
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

sanitized=${BRENLOW_SANITIZED:-0}

# Out of memory: a dictionary larger than the address space the program may
# use must end in a message, not a crash.
if [ "$sanitized" = 0 ]; then
  yes "$(printf 'reading\tword\tnoun\r')" | head -c 100000000 > "$work/big.txt"
  status=0
  err=$( (ulimit -v 60000; "$program" "$work/big.txt" 2>&1 >"$work/out") ) || status=$?
  check out_of_memory 1 "brenlow: $work/big.txt: out of memory" "$status" "$err"
  if [ -s "$work/out" ]; then
    echo "FAIL out_of_memory: standard output is not empty"
    failures=$((failures + 1))
  fi
  rm -f "$work/big.txt" "$work/out"
else
  echo "skip out_of_memory (sanitizer build)"
fi

# A FIFO whose writer sends the dictionary in pieces and goes away in the
# middle of a line: everything that arrived is converted, the cut line as a
# last line without a line end.
mkfifo "$work/fifo"
{ printf 'a\tA\tnoun\r\n'; sleep 0.2; printf 'b\tB\tn'; sleep 0.2; printf 'oun\r\nc\tC'; } > "$work/fifo" &
status=0
err=$("$program" "$work/fifo" 2>&1 >"$work/out") || status=$?
wait
expected=$(printf ';; okuri-ari entries.\r\n;; okuri-nasi entries.\r\na /A/\r\nb /B/\r\nc /C/\r\n' | od -c)
check fifo_closed_early 0 "" "$status" "$err"
if [ "$(od -c < "$work/out")" != "$expected" ]; then
  echo "FAIL fifo_closed_early: output differs: $(od -c < "$work/out")"
  failures=$((failures + 1))
fi
# A FIFO whose writer sends nothing: an empty dictionary, not an error.
: > "$work/fifo" &
status=0
err=$("$program" "$work/fifo" 2>&1 >"$work/out") || status=$?
wait
check fifo_empty 0 "" "$status" "$err"
[ "$(wc -l < "$work/out")" = 2 ] || {
  echo "FAIL fifo_empty: output is not the two marker lines"
  failures=$((failures + 1))
}

# A reader that stops early (| head) with SIGPIPE ignored by the parent, as
# some services run their children (the plain case is a fixture): no
# message, and the status a shell gives a writer whose reader has gone.
awk 'BEGIN { for (i = 0; i < 200000; i++) printf "r%d\tw%d\tnoun\r\n", i, i }' > "$work/many.txt"
err=$( { (trap '' PIPE; "$program" "$work/many.txt" 2>&1 >&3; echo $? > "$work/status"); } 3>&1 | head -c 10 >/dev/null)
check broken_pipe_sigpipe_ignored 141 "" "$(cat "$work/status")" "$err"

# A few hundred megabytes: converted completely, within 2.5 times the input
# plus 16 MiB of memory (GNU time's peak resident size).
if [ "$sanitized" = 0 ] && [ -x /usr/bin/time ]; then
  for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25; do
    awk -v copy="$i" 'BEGIN { for (n = 0; n < 400000; n++)
      printf "reading%d-%d\tword%d\tnoun\r\n", copy % 5, n % 100000, n }'
  done > "$work/large.txt"
  size=$(stat -c %s "$work/large.txt")
  status=0
  err=$(/usr/bin/time -f '%M' -o "$work/rss" "$program" "$work/large.txt" 2>&1 >"$work/out") || status=$?
  check large_input 0 "" "$status" "$err"
  lines=$(wc -l < "$work/out")
  words=$(tr -cd / < "$work/out" | wc -c)
  # 500,000 readings; 10,000,000 words, each followed by a slash, and the
  # slash of each line's " /".
  if [ "$lines" != 500002 ] || [ "$words" != 10500000 ]; then
    echo "FAIL large_input: $lines lines and $words slashes"
    failures=$((failures + 1))
  fi
  peak_kib=$(cat "$work/rss")
  limit_kib=$(( size * 5 / 2 / 1024 + 16 * 1024 ))
  if [ "$peak_kib" -gt "$limit_kib" ]; then
    echo "FAIL large_input: peak memory $peak_kib KiB over $limit_kib KiB for $size bytes"
    failures=$((failures + 1))
  else
    echo "ok   large_input memory: $((peak_kib / 1024)) MiB for $((size / 1048576)) MiB of input"
  fi
  rm -f "$work/large.txt" "$work/out"
else
  echo "skip large_input (sanitizer build or no GNU time)"
fi

# A file without read permission. Root reads it anyway, so as root a copy
# of the program (the build folder may be closed to others) runs as the
# user nobody (setpriv).
printf 'r\tw\r\n' > "$work/secret.txt"
chmod 000 "$work/secret.txt"
as_user=""
runner=$program
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
  chmod 755 "$work"
  cp "$program" "$work/brenlow"
  runner=$work/brenlow
fi
if [ "$(id -u)" != 0 ] || [ -n "$as_user" ]; then
  status=0
  err=$($as_user "$runner" "$work/secret.txt" 2>&1 >/dev/null) || status=$?
  check no_read_permission 1 \
    "brenlow: cannot open '$work/secret.txt': Permission denied" "$status" "$err"
else
  echo "skip no_read_permission (running as root without setpriv)"
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

# -o with a file size limit instead (no root needed): with SIGXFSZ ignored,
# as a shell's trap leaves it for the program, a write past the limit fails
# with EFBIG, which must leave things as a full disk does.
mkdir "$work/limited"
echo old > "$work/limited/out.skk"
# One reading with 100,000 words: about 500 KB of output.
yes "$(printf 'reading\tword\tnoun\r')" | head -n 100000 > "$work/words.txt"
status=0
err=$( (trap '' XFSZ; ulimit -f 64; "$program" -o "$work/limited/out.skk" "$work/words.txt" 2>&1) ) || status=$?
check output_file_over_size_limit 1 \
  "brenlow: cannot write '$work/limited/out.skk': File too large; it is left as it was" \
  "$status" "$err"
if [ "$(cat "$work/limited/out.skk")" != old ] ||
   [ "$(ls -A "$work/limited")" != out.skk ]; then
  echo "FAIL output_file_over_size_limit: the old file changed or a temporary file is left"
  failures=$((failures + 1))
fi

# A message naming a file of 120,000 bytes arrives whole (messages are put
# together in memory before they are written).
name=$(printf '%0120000d' 0)
status=0
err=$("$program" "$name.txt" 2>&1) || status=$?
if [ "$status" = 1 ] &&
   [ "$err" = "brenlow: cannot open '$name.txt': File name too long" ]; then
  echo "ok   long_file_name_in_message"
else
  echo "FAIL long_file_name_in_message: status $status, ${#err} bytes of message: $(printf '%s' "$err" | head -c 80)..."
  failures=$((failures + 1))
fi

[ "$failures" = 0 ]
