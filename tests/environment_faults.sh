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

# The warning that counts readings no key sequence gives is part of a run
# on such vocabulary, not of the fault under test.
untyped_warning=': readings no key sequence gives in Emacs SKK or libskk'
check() {  # name, expected status, expected stderr, actual status, actual stderr
  local got
  got=$(printf '%s\n' "$5" | grep -v -e "$untyped_warning")
  if [ "$4" != "$2" ] || [ "$got" != "$3" ]; then
    echo "FAIL $1: status $4 (expected $2), stderr '$5' (expected '$3')"
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

expect() {  # case name, shell test that must hold, what it means
  if ! eval "$2"; then
    echo "FAIL $1: $3"
    failures=$((failures + 1))
  fi
}

no_temporary_left() {  # case name, folder...
  local name=$1
  shift
  if ls -A "$@" | grep -q 'brenlow-'; then
    echo "FAIL $name: a temporary file is left: $(ls -A "$@" | grep 'brenlow-')"
    failures=$((failures + 1))
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

# Out of memory once the output has begun to take shape: a run that fails
# writes nothing. Shapes whose peak comes while they are written: with
# --okuri-ari --sort, an okuri-ari section of 1.4 MB (more than the output
# buffer holds) before the order of a larger okuri-nasi section; unsorted,
# 2 MB of short lines before one reading with 3,000,000 words. Each runs
# under the least address space it needs (found by bisection) less 4 KiB
# to 8 MiB: standard output stays empty, and a file of -o as it was.
least_memory() {  # arguments...: the least ulimit -v (KiB) they run in
  local low=1000 high=400000 middle
  while [ $((high - low)) -gt 4 ]; do
    middle=$(( (low + high) / 2 ))
    if (ulimit -v $middle; "$program" "$@" >/dev/null 2>&1); then
      high=$middle
    else
      low=$middle
    fi
  done
  echo $high
}
out_of_memory_nothing_written() {  # name, input, options...
  local name=$1 input=$2 least least_output
  shift 2
  least=$(least_memory "$@" "$input")
  if [ "$least" = 400000 ]; then
    echo "FAIL $name: no run succeeded within 400000 KiB"
    failures=$((failures + 1))
    return
  fi
  mkdir -p "$work/oom"
  least_output=$(least_memory -o "$work/oom/scratch.skk" "$@" "$input")
  for under in 4 64 1024 8192; do
    status=0
    err=$( (ulimit -v $((least - under)); "$program" "$@" "$input" 2>&1 >"$work/out") ) || status=$?
    check "${name}_under_${under}k" 1 "brenlow: $input: out of memory" "$status" "$err"
    if [ -s "$work/out" ]; then
      echo "FAIL ${name}_under_${under}k: $(wc -c < "$work/out") bytes on standard output"
      failures=$((failures + 1))
    fi
    echo old > "$work/oom/out.skk"
    status=0
    err=$( (ulimit -v $((least_output - under))
            "$program" -o "$work/oom/out.skk" "$@" "$input" 2>&1) ) || status=$?
    check "${name}_output_file_under_${under}k" 1 "brenlow: $input: out of memory" "$status" "$err"
    expect "${name}_output_file_under_${under}k" \
      '[ "$(cat "$work/oom/out.skk")" = old ]' "the file of -o changed"
    no_temporary_left "${name}_output_file_under_${under}k" "$work/oom"
    rm -f "$work/oom"/.brenlow-*  # each limit on its own
  done
  rm -rf "$work/oom" "$work/out"
}
if [ "$sanitized" = 0 ]; then
  python3 -c '
import itertools, sys
kana = [chr(c) for c in range(0x3042, 0x3093)]
lines = []
for i, (a, b, c) in enumerate(itertools.product(kana, repeat=3)):
    if i == 300000:
        break
    if i < 40000:
        lines.append(a + b + c + "\u304f\t\u66f8\u304f\t\u52d5\u8a5e\u30ab\u884c\u4e94\u6bb5\n")
    lines.append(a + b + c + "\u306d\t\u8a9e\t\u540d\u8a5e\n")
sys.stdout.buffer.write("".join(lines).encode())' > "$work/verbs.txt"
  out_of_memory_nothing_written out_of_memory_sorted_okuri_ari "$work/verbs.txt" --okuri-ari --sort
  awk 'BEGIN { for (n = 0; n < 150000; n++) printf "r%06d\tw\n", n
               for (n = 0; n < 3000000; n++) print "z\tw" }' > "$work/one_reading.txt"
  out_of_memory_nothing_written out_of_memory_one_large_reading "$work/one_reading.txt"
  # 5,000 lines of exactly 5,000 characters, the least that Emacs SKK's
  # binary search cannot pass: the list of them, named in warnings after
  # the writing, has its room before the first byte is written.
  awk 'BEGIN { word = sprintf("%4991s", ""); gsub(/ /, "w", word)
               for (n = 0; n < 5000; n++) printf "r%05d\t%s\n", n, word }' > "$work/long_lines.txt"
  out_of_memory_nothing_written out_of_memory_long_lines "$work/long_lines.txt"
  rm -f "$work/verbs.txt" "$work/one_reading.txt" "$work/long_lines.txt"
else
  echo "skip out_of_memory_* after output began (sanitizer build)"
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

# The memory bound of the README on the shapes that come nearest to it:
# the bytes held (text and copies) + 20 bytes per entry line + 64 bytes per
# distinct reading + 16 MiB, where the text held is the input, or for
# UTF-16 the decoded text (the input and the decoded text are held together
# only while it is decoded, before the table grows).
# Each shape: name, lines in the output, entry lines, readings, bytes held,
# and for UTF-16 the input and decoded bytes together.
memory_shape() {
  local name=$1 want_lines=$2 entries=$3 readings=$4 text=$5 decoding=${6:-0}
  status=0
  /usr/bin/time -f '%M' -o "$work/rss" "$program" "$work/shape.txt" \
    >"$work/out" 2>"$work/err" || status=$?
  # Skipped lines, and the one long line of a shape with a single reading,
  # are warned about; nothing else may be.
  check "memory_$name" 0 "" "$status" \
    "$(grep -v -e 'line skipped$' -e 'search this dictionary linearly' \
      -e "$untyped_warning" "$work/err")"
  local lines peak_kib limit
  lines=$(wc -l < "$work/out")
  peak_kib=$(tail -1 "$work/rss")
  limit=$(( text + 20 * entries + 64 * readings ))
  [ "$decoding" -gt "$limit" ] && limit=$decoding
  limit=$(( limit / 1024 + 16 * 1024 ))
  if [ "$lines" != "$want_lines" ]; then
    echo "FAIL memory_$name: $lines output lines, expected $want_lines"
    failures=$((failures + 1))
  elif [ "$peak_kib" -gt "$limit" ]; then
    echo "FAIL memory_$name: peak memory $peak_kib KiB over $limit KiB"
    failures=$((failures + 1))
  else
    echo "ok   memory_$name: $peak_kib KiB (bound $limit KiB)"
  fi
}
if [ "$sanitized" = 0 ] && [ -x /usr/bin/time ]; then
  # 8,000,000 lines without a TAB: every one named on standard error as it
  # is read, none kept. (A last entry line is filed: a text of which nothing
  # is filed is an error.)
  awk 'BEGIN { for (n = 0; n < 8000000; n++) print "x"; print "a\tb" }' \
    > "$work/shape.txt"
  memory_shape lines_without_tab 3 1 1 16000004
  if [ "$(wc -l < "$work/err")" != 8000000 ]; then
    echo "FAIL memory_lines_without_tab: $(wc -l < "$work/err") warnings, expected 8000000"
    failures=$((failures + 1))
  fi
  # A file 100 bytes longer than 64 MiB, the size of a whole number of
  # reads: the last read must end in the room reserved for the file.
  awk 'BEGIN { for (n = 0; n < 671089; n++) printf "!%098d\n", n }' |
    head -c $(( 64 * 1048576 + 100 )) > "$work/shape.txt"
  memory_shape just_over_whole_reads 2 0 0 $(( 64 * 1048576 + 100 ))
  # 4,000,000 short entry lines under one reading.
  awk 'BEGIN { for (n = 0; n < 4000000; n++) print "a\tb" }' > "$work/shape.txt"
  memory_shape short_lines 3 4000000 1 16000000
  # 2,000,000 distinct three-byte readings (Shift_JIS bytes that are no lead
  # bytes; no "!" or ";" first, which make a comment or a skipped line; none
  # of the keys ▽ mode types as kana signs, which would make two readings
  # with half-width katakana one).
  # Those holding half-width katakana are copied in their typed form
  # (hiragana, two bytes a character): 4 bytes per byte of such a reading.
  python3 -c '
import sys
values = [v for v in range(0x21, 0x7F) if chr(v) not in ",.-[]:;?"] + \
    list(range(0xA1, 0xE0))
first = [v for v in values if v not in (0x21, 0x3B)]
out = bytearray()
changed = 0
for a in first:
    for b in values:
        for c in values:
            out += bytes([a, b, c]) + b"\tw\n"
            changed += max(a, b, c) >= 0xA1
            if len(out) == 6 * 2000000:
                sys.stdout.buffer.write(out)
                sys.stderr.write(str(4 * 3 * changed))
                sys.exit()' > "$work/shape.txt" 2> "$work/copies"
  memory_shape distinct_three_byte_readings 2000002 2000000 2000000 \
    $(( 12000000 + $(cat "$work/copies") ))
  # UTF-16: 2,000,000 lines of 48 bytes, 28 bytes each once decoded.
  python3 -c '
import sys
lines = "".join("\u3042\tx%07d\r\n" % i for i in range(2000000))
sys.stdout.buffer.write(("\ufeff" + lines).encode("utf-16-le"))' > "$work/shape.txt"
  # (UTF-8 output: the coding line comes first.)
  memory_shape utf_16 4 2000000 1 28000000 $(( 48000002 + 28000000 ))
  # One entry line whose word is 100 MB: a line longer than the output
  # buffer goes straight to the file instead of growing the buffer. The
  # table's copy of the word is held with the line's pages, which go back
  # only once it is filed.
  python3 -c '
import sys
sys.stdout.buffer.write(b"reading\t" + b"w" * 100000000 + b"\r\n")' > "$work/shape.txt"
  memory_shape one_line_word 3 1 1 $(( 100000010 + 100000000 ))
  rm -f "$work/shape.txt" "$work/out" "$work/err"
else
  echo "skip memory shapes (sanitizer build or no GNU time)"
fi

# A NUL byte ends the reading at the first read that brings it: /dev/zero
# and a sparse file of 3 GB are refused at once, in little memory.
if [ "$sanitized" = 0 ] && [ -x /usr/bin/time ]; then
  status=0
  err=$(timeout 60 /usr/bin/time -f '%M' -o "$work/rss" "$program" /dev/zero 2>&1 >/dev/null) || status=$?
  check nul_in_dev_zero 1 "brenlow: /dev/zero:1: NUL byte: this is not a text dictionary" \
    "$status" "$err"
  printf 'a\tA\tnoun\r\nb\tB\tnoun\r\n' > "$work/sparse.txt"
  truncate -s 3G "$work/sparse.txt"
  status=0
  err=$(timeout 60 /usr/bin/time -f '%M' -o "$work/rss2" "$program" "$work/sparse.txt" 2>&1 >/dev/null) || status=$?
  check nul_in_sparse_file 1 "brenlow: $work/sparse.txt:3: NUL byte: this is not a text dictionary" \
    "$status" "$err"
  for rss in "$work/rss" "$work/rss2"; do
    if [ "$(tail -1 "$rss")" -gt 16384 ]; then
      echo "FAIL nul_read_early: peak memory $(tail -1 "$rss") KiB"
      failures=$((failures + 1))
    fi
  done
  rm -f "$work/sparse.txt"
fi

# A regular file is mapped, not read. Cut short by another program while
# mapped, it gives an error, never a crash: the program waits after
# mapping on a FIFO (BRENLOW_TEST_PAUSE_AFTER_MAP), the test cuts the file
# short, then lets it go on. Cut at a page's end, the next page the
# conversion touches is gone (SIGBUS); cut inside a page, the rest of that
# page reads as zeros, and the file's size tells. Standard output stays
# empty, and -o's file stays as it was, with no temporary file left beside
# it.
python3 -c '
import sys
sys.stdout.buffer.write(b"".join(b"r%06d\tw%06d\tnoun\r\n" % (i, i)
                                 for i in range(200000)))' > "$work/cut.txt"
mkfifo "$work/go"
page=$(getconf PAGESIZE)
for cut in "$page" 100; do
for target in stdout file; do
  cp "$work/cut.txt" "$work/cut_now.txt"
  printf 'old\n' > "$work/kept.txt"
  if [ "$target" = stdout ]; then
    BRENLOW_TEST_PAUSE_AFTER_MAP="$work/go" "$program" "$work/cut_now.txt" \
      > "$work/out" 2> "$work/err" &
  else
    BRENLOW_TEST_PAUSE_AFTER_MAP="$work/go" "$program" -o "$work/kept.txt" \
      "$work/cut_now.txt" > "$work/out" 2> "$work/err" &
  fi
  pid=$!
  exec 3> "$work/go"  # opens once the program waits, after its mapping
  truncate -s "$cut" "$work/cut_now.txt"
  exec 3>&-
  status=0
  wait "$pid" || status=$?
  check "truncated_while_mapped_${cut}_$target" 1 \
    "brenlow: $work/cut_now.txt: the file was truncated while it was read" \
    "$status" "$(cat "$work/err")"
  expect "truncated_while_mapped_${cut}_$target" '[ ! -s "$work/out" ]' \
    "standard output is not empty"
  expect "truncated_while_mapped_${cut}_$target" \
    '[ "$(cat "$work/kept.txt")" = old ] && [ -z "$(ls -A "$work" | grep "^\.brenlow-")" ]' \
    "-o's file changed or a temporary file was left"
done
done
# Untouched, the same mapped file converts whole.
status=0
BRENLOW_TEST_PAUSE_AFTER_MAP="$work/go" "$program" "$work/cut.txt" \
  > "$work/out" 2> "$work/err" &
pid=$!
exec 3> "$work/go"
exec 3>&-
wait "$pid" || status=$?
check mapped_file_whole 0 "" "$status" "$(cat "$work/err")"
expect mapped_file_whole '[ "$(wc -l < "$work/out")" = 200002 ]' \
  "not every reading written"
rm -f "$work/go" "$work/cut_now.txt" "$work/kept.txt"

# Standard input redirected from a file that a shell has read into is
# converted from where the shell left it, not from the file's start.
status=0
out=$( (read -r _; "$program" -) < "$work/cut.txt" 2> "$work/err" | head -3 | tail -1) || status=$?
check stdin_file_at_offset 0 "" "$status" "$(cat "$work/err")"
expect stdin_file_at_offset "[ \"\$out\" = \"\$(printf 'r000001 /w000001/\\r')\" ]" \
  "the conversion did not start at the second line: '$out'"
rm -f "$work/cut.txt"

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
  # A CDB file too, which tinycdb writes through the descriptor.
  if "$program" --cdb -o "$work/probe.cdb" "$work/words.txt" 2>/dev/null; then
    # The page out.skk held is all the room there is for the old file.
    rm "$work/small/out.skk"
    echo old > "$work/small/out.cdb"
    status=0
    err=$("$program" --cdb -o "$work/small/out.cdb" "$work/words.txt" 2>&1) || status=$?
    check cdb_file_on_full_disk 1 \
      "brenlow: cannot write '$work/small/out.cdb': No space left on device; it is left as it was" \
      "$status" "$err"
    if [ "$(cat "$work/small/out.cdb")" != old ] ||
       [ "$(ls "$work/small" | tr '\n' ' ')" != "filler out.cdb " ]; then
      echo "FAIL cdb_file_on_full_disk: the old file changed or a temporary file is left"
      failures=$((failures + 1))
    fi
  fi
  # --merge P -o P: the dictionary merged into is the one replaced, so a
  # failed write must leave it byte for byte. A personal dictionary as
  # Emacs SKK writes it (EUC-JP, okurigana blocks), in the page the last
  # old file held, and 10,000 new words.
  rm -f "$work/small/out.skk" "$work/small/out.cdb"
  {
    printf ';; okuri-ari entries.\n'
    printf 'おくr /送/贈/[る/送/]/[り/贈/]/\nかk /書/[く/書/]/\n'
    printf ';; okuri-nasi entries.\n'
    for i in $(seq 1 40); do printf 'かんじ%d /幹事/漢字;%d/\n' "$i" "$i"; done
  } | iconv -f utf-8 -t euc-jp > "$work/small/jisyo"
  cp "$work/small/jisyo" "$work/jisyo.before"
  seq 1 10000 | sed 's/^/かんじ\tword/; s/$/\tnoun\r/' > "$work/new_words.txt"
  status=0
  err=$("$program" --merge "$work/small/jisyo" -o "$work/small/jisyo" \
          "$work/new_words.txt" 2>&1) || status=$?
  check merge_into_file_on_full_disk 1 \
    "brenlow: cannot write '$work/small/jisyo': No space left on device; it is left as it was" \
    "$status" "$err"
  if ! cmp -s "$work/small/jisyo" "$work/jisyo.before" ||
     [ "$(ls -A "$work/small" | tr '\n' ' ')" != "filler jisyo " ]; then
    echo "FAIL merge_into_file_on_full_disk: the dictionary changed or a temporary file is left"
    failures=$((failures + 1))
  fi
  umount "$work/small"
else
  echo "skip output_file_on_full_disk (cannot mount a small tmpfs here)"
fi

# -o replaces only a missing name or a regular file, through a temporary
# file beside it; everything else is written in place, as "> name" would.
out_dir=$work/output
mkdir "$out_dir"
printf 'a\tA\tnoun\r\n' > "$out_dir/in.txt"
dictionary=$(printf ';; okuri-ari entries.\r\n;; okuri-nasi entries.\r\na /A/\r\n' | od -c)

holds_dictionary() {  # case name, file
  if [ "$(od -c < "$2")" != "$dictionary" ]; then
    echo "FAIL $1: $2 does not hold the dictionary: $(head -c 200 "$2" | od -c | head -5)"
    failures=$((failures + 1))
  fi
}

run_output() {  # case name, expected status, expected stderr, arguments...
  local name=$1 want_status=$2 want_err=$3
  shift 3
  status=0
  err=$(cd "$out_dir" && "$program" "$@" 2>&1 >/dev/null) || status=$?
  check "$name" "$want_status" "$want_err" "$status" "$err"
}

# A chain of relative links, one of them through a folder: the file at the
# end is replaced, every link stays a link.
mkdir "$out_dir/sub"
echo old > "$out_dir/sub/real.skk"
ln -s ../sub/real.skk "$out_dir/sub/link"
ln -s sub/link "$out_dir/chain.skk"
run_output output_symlink_chain 0 "" -o chain.skk in.txt
holds_dictionary output_symlink_chain "$out_dir/sub/real.skk"
expect output_symlink_chain '[ -L "$out_dir/chain.skk" ] && [ -L "$out_dir/sub/link" ]' \
  "a link was replaced by a file"
no_temporary_left output_symlink_chain "$out_dir" "$out_dir/sub"

# A link to a file not yet made: the file is made where the link points.
ln -s "$out_dir/sub/new.skk" "$out_dir/dangling.skk"
run_output output_symlink_to_missing_file 0 "" -o dangling.skk in.txt
holds_dictionary output_symlink_to_missing_file "$out_dir/sub/new.skk"
expect output_symlink_to_missing_file '[ -L "$out_dir/dangling.skk" ]' "the link was replaced"

# Links that lead round in a circle: the system's own error.
ln -s loop2 "$out_dir/loop1"
ln -s loop1 "$out_dir/loop2"
run_output output_symlink_loop 1 \
  "brenlow: cannot create a file beside 'loop1': Too many levels of symbolic links" \
  -o loop1 in.txt

# A FIFO is written to its reader.
mkfifo "$out_dir/fifo"
# (A program that replaced the FIFO would leave its reader waiting.)
timeout 20 cat "$out_dir/fifo" > "$out_dir/from_fifo" &
run_output output_fifo 0 "" -o fifo in.txt
wait
holds_dictionary output_fifo "$out_dir/from_fifo"
expect output_fifo '[ -p "$out_dir/fifo" ]' "the FIFO was replaced"

# The names under /dev. As root, a faulty program could replace the
# system's own, so they are made anew in a mount namespace whose /dev is a
# tmpfs: a null device of its own and the links to the open descriptors.
in_private_dev() {  # command...
  if [ "$(id -u)" = 0 ]; then
    unshare --mount sh -c '
      mount -t tmpfs tmpfs /dev && mknod -m 666 /dev/null c 1 3 &&
        ln -s /proc/self/fd /dev/fd && ln -s /proc/self/fd/1 /dev/stdout || exit 99
      exec "$@"' sh "$@"
  else
    "$@"
  fi
}
if [ "$(id -u)" != 0 ] || unshare --mount true 2>/dev/null; then
  # /dev/stdout on a pipe and on a file, /dev/fd/3 on a file.
  status=0
  in_private_dev "$program" -o /dev/stdout "$out_dir/in.txt" 2>"$out_dir/err" | cat > "$out_dir/from_pipe" || status=$?
  check output_dev_stdout_pipe 0 "" "$status" "$(cat "$out_dir/err")"
  holds_dictionary output_dev_stdout_pipe "$out_dir/from_pipe"
  status=0
  in_private_dev "$program" -o /dev/stdout "$out_dir/in.txt" 2>"$out_dir/err" >"$out_dir/stdout_file" || status=$?
  check output_dev_stdout_file 0 "" "$status" "$(cat "$out_dir/err")"
  holds_dictionary output_dev_stdout_file "$out_dir/stdout_file"
  status=0
  in_private_dev "$program" -o /dev/fd/3 "$out_dir/in.txt" 2>"$out_dir/err" 3>"$out_dir/fd3_file" || status=$?
  check output_dev_fd_3 0 "" "$status" "$(cat "$out_dir/err")"
  holds_dictionary output_dev_fd_3 "$out_dir/fd3_file"
  if [ "$(id -u)" = 0 ]; then
    status=0
    err=$(in_private_dev sh -c '"$1" -o /dev/null "$2" && ls -A /dev && stat -c %F /dev/null' \
            sh "$program" "$out_dir/in.txt" 2>&1) || status=$?
    check output_dev_null_as_root 0 "$(printf 'fd\nnull\nstdout\ncharacter special file')" \
      "$status" "$err"
  fi
else
  echo "skip output_dev_* (root without mount namespaces)"
fi

# Character devices of our own (the null and the full device, made in the
# work folder): written, never replaced.
if mknod "$out_dir/null" c 1 3 2>/dev/null && mknod "$out_dir/full" c 1 7 2>/dev/null; then
  run_output output_null_device 0 "" -o null in.txt
  expect output_null_device '[ -c "$out_dir/null" ]' "the device was replaced"
  run_output output_full_device 1 \
    "brenlow: cannot write 'full': No space left on device" -o full in.txt
  expect output_full_device '[ -c "$out_dir/full" ]' "the device was replaced"
  no_temporary_left output_devices "$out_dir"
else
  echo "skip output_null_device, output_full_device (cannot make device nodes)"
fi

# The replaced file keeps its owner (as root) and its permissions less the
# set-ID bits; a new file gets 0666 less the umask.
echo old > "$out_dir/kept.skk"
want_owner=$(stat -c %u:%g "$out_dir/kept.skk")
if [ "$(id -u)" = 0 ]; then
  chown 65534:65534 "$out_dir/kept.skk"
  want_owner=65534:65534
fi
chmod 6754 "$out_dir/kept.skk"  # after chown, which clears the set-ID bits
run_output output_owner_and_mode 0 "" -o kept.skk in.txt
holds_dictionary output_owner_and_mode "$out_dir/kept.skk"
check output_owner_and_mode "$want_owner 754" "" \
  "$(stat -c '%u:%g %a' "$out_dir/kept.skk")" ""
# Owner and group are kept each on its own: as root, a file whose owner
# alone or group alone differs from the program's; as a user in more than
# one group, a file of another of its groups.
owners=""
if [ "$(id -u)" = 0 ]; then
  owners="0:65534 65534:0"
else
  other_group=$(id -G | tr ' ' '\n' | grep -vx "$(id -g)" | head -1)
  [ -n "$other_group" ] && owners="$(id -u):$other_group"
fi
for owner in $owners; do
  echo old > "$out_dir/owned.skk"
  chown "$owner" "$out_dir/owned.skk"
  run_output "output_owner_$owner" 0 "" -o owned.skk in.txt
  holds_dictionary "output_owner_$owner" "$out_dir/owned.skk"
  check "output_owner_$owner" "$owner" "" "$(stat -c %u:%g "$out_dir/owned.skk")" ""
done
status=0
err=$(cd "$out_dir" && umask 027 && "$program" -o fresh.skk in.txt 2>&1) || status=$?
check output_new_file_mode "0 640" "" "$status $(stat -c %a "$out_dir/fresh.skk")" "$err"

# The longest name a folder takes (255 bytes on most file systems) less a
# few: the temporary file's name is shorter.
long_name=$(printf 'x%.0s' $(seq 250))
run_output output_250_byte_name 0 "" -o "$long_name" in.txt
holds_dictionary output_250_byte_name "$out_dir/$long_name"

# A file converted onto itself: the input is read whole first.
cp "$out_dir/in.txt" "$out_dir/self.txt"
run_output output_onto_its_input 0 "" -o self.txt self.txt
holds_dictionary output_onto_its_input "$out_dir/self.txt"
no_temporary_left output_files "$out_dir"

# A signal that ends the run while the output is written removes the
# temporary file and ends the program with 128 + the signal: each signal
# whose default action ends the program and that can be caught (not the
# program's own faults, SIGSEGV and the like). strace slows each write to
# 0.3 s so that the signal comes in the middle of the writing (the output
# takes several writes), once the temporary file is there.
# signal_during_output NAME EXPECTED_STATUS [env option]: sends NAME to a
# run of -o that env starts with the option (--default-signal=NAME: as it
# would be at its default, where a shell without job control has a
# background job ignore SIGINT; --ignore-signal=NAME: as nohup leaves it).
signal_during_output() {
  local name=$1 want_status=$2 disposition=$3 case
  case=output_interrupted_by_SIG$name
  [ "$disposition" = --ignore-signal ] && case=output_SIG${name}_ignored_by_the_parent
  # What an earlier case left must not stand in for this one's.
  rm -f "$out_dir/pid" "$out_dir/signal"/.brenlow-*
  echo old > "$out_dir/signal/out.skk"
  # (No core file for SIGQUIT and the like; in a sanitizer build no leak
  # check at the end of a run that completes, which cannot work under
  # strace.)
  (ulimit -c 0
   exec env "$disposition=$name" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
     strace -o /dev/null -e inject=write:delay_enter=300000 \
     sh -c 'echo $$ > "$0/pid"; exec "$1" -o "$0/signal/out.skk" "$0/many.txt"' \
     "$out_dir" "$program") 2>"$out_dir/err" &
  local runner=$!
  for _ in $(seq 1000); do
    [ -s "$out_dir/pid" ] && ls -A "$out_dir/signal" | grep -q 'brenlow-' && break
    sleep 0.01
  done
  kill -"$name" "$(cat "$out_dir/pid")"
  status=0
  { wait "$runner"; } 2>/dev/null || status=$?
  # strace's own lines (its trace ends, and what it says of a tracee of two
  # threads ended by a signal) are not the program's.
  check "$case" "$want_status" "" "$status" \
    "$(grep -v '^+++\|^---\|^strace: ' "$out_dir/err")"
  if [ "$want_status" = 0 ]; then
    expect "$case" 'cmp -s "$out_dir/signal/out.skk" "$out_dir/many.skk"' \
      "the file does not hold the whole dictionary"
  else
    expect "$case" '[ "$(cat "$out_dir/signal/out.skk")" = old ]' "the old file changed"
  fi
  no_temporary_left "$case" "$out_dir/signal"
}
if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
  awk 'BEGIN { for (n = 0; n < 300000; n++) printf "r%d\tw%d\tnoun\r\n", n, n }' > "$out_dir/many.txt"
  "$program" -o "$out_dir/many.skk" "$out_dir/many.txt"
  mkdir "$out_dir/signal"
  for signal in TERM INT HUP QUIT TRAP ABRT USR1 USR2 ALRM XCPU VTALRM PROF \
                SYS PWR RTMIN RTMAX; do
    signal_during_output "$signal" $((128 + $(kill -l "$signal"))) --default-signal
  done
  # A signal that the parent has the program ignore stays ignored: the
  # run goes on and replaces the file.
  for signal in INT HUP; do
    signal_during_output "$signal" 0 --ignore-signal
  done
else
  echo "skip output_interrupted (no strace, or tracing is not allowed here)"
fi

# -o with a file size limit instead (no root needed): a write past the
# limit fails with EFBIG, which must leave things as a full disk does,
# whether SIGXFSZ comes at its default (which would end the program and
# leave the temporary file) or ignored, as a shell's trap '' XFSZ leaves it.
# Standard output redirected to a file is reported the same way.
mkdir "$work/limited"
# One reading with 100,000 words: about 500 KB of output.
yes "$(printf 'reading\tword\tnoun\r')" | head -n 100000 > "$work/words.txt"
for xfsz in default ignore; do
  echo old > "$work/limited/out.skk"
  status=0
  err=$( (ulimit -f 64; env --"$xfsz"-signal=XFSZ \
            "$program" -o "$work/limited/out.skk" "$work/words.txt" 2>&1) ) || status=$?
  check "output_file_over_size_limit_SIGXFSZ_$xfsz" 1 \
    "brenlow: cannot write '$work/limited/out.skk': File too large; it is left as it was" \
    "$status" "$err"
  if [ "$(cat "$work/limited/out.skk")" != old ] ||
     [ "$(ls -A "$work/limited")" != out.skk ]; then
    echo "FAIL output_file_over_size_limit_SIGXFSZ_$xfsz: the old file changed or a temporary file is left"
    failures=$((failures + 1))
    rm -f "$work/limited"/.brenlow-*
  fi
  status=0
  err=$( (ulimit -f 64; env --"$xfsz"-signal=XFSZ \
            "$program" "$work/words.txt" 2>&1 >"$work/limited/stdout.skk") ) || status=$?
  check "standard_output_over_size_limit_SIGXFSZ_$xfsz" 1 \
    "brenlow: cannot write to standard output: File too large" "$status" "$err"
  rm -f "$work/limited/stdout.skk"
done

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
