#!/bin/sh
# Runs a fuzzer: first over the kept inputs that once broke it (or over its
# own seeds), then for SECONDS seconds from the seeds. The conversion
# fuzzer's seeds are made of the end-to-end fixtures; another fuzzer names
# its seed folder, and may give libFuzzer a dictionary of its tokens.
# Usage: run_fuzzer.sh FUZZER SECONDS WORK_FOLDER [SEEDS [DICTIONARY]]
set -eu
fuzzer=$1
seconds=$2
work=$3
seeds=${4:-}
dictionary=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work/corpus" "$work/seeds" "$work/artifacts"
if [ -n "$seeds" ]; then
  cp "$seeds"/* "$work/seeds/"
  "$fuzzer" "$seeds"/*
else
  # The fuzzer's first byte picks the layout and the encoding; each fixture
  # goes in four ways.
  for input in "$here"/../cases/*/*/input.txt; do
    name=$(basename "$(dirname "$input")")
    { printf '\000'; cat "$input"; } > "$work/seeds/$name.crlf"
    { printf '\003'; cat "$input"; } > "$work/seeds/$name.sorted-lf"
    { printf '\004'; cat "$input"; } > "$work/seeds/$name.sjis"
    { printf '\013'; cat "$input"; } > "$work/seeds/$name.utf-8-sorted-lf"
  done
  # The SKK dictionaries the merge cases read, which the fuzzer also reads
  # as one.
  for jisyo in "$here"/../cases/*/*/*.jisyo; do
    [ -f "$jisyo" ] || continue
    name=$(basename "$(dirname "$jisyo")")-$(basename "$jisyo")
    { printf '\002'; cat "$jisyo"; } > "$work/seeds/$name"
  done
  if [ -n "$(ls "$here/regressions" 2>/dev/null)" ]; then
    "$fuzzer" "$here"/regressions/*
  fi
fi
set --
if [ -n "$dictionary" ]; then
  set -- "-dict=$dictionary"
fi
"$fuzzer" "$@" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" "$work/seeds"
