#!/bin/sh
# Installs the build into a temporary prefix and checks that the program
# runs from there and that its man page renders without a warning.
# Usage: install.sh BUILD_FOLDER
set -u
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1; then
  cat "$prefix.log"
  fail "cmake --install"
fi
rm -f "$prefix.log"

if [ "$("$prefix/bin/brenlow" --version 2>&1)" = "$(printf 'Brenlow Version 0.00\r')" ]; then
  echo "ok   bin/brenlow runs"
else
  fail "bin/brenlow --version: $("$prefix/bin/brenlow" --version 2>&1)"
fi

page=$prefix/share/man/man1/brenlow.1
if [ -f "$page" ]; then
  echo "ok   share/man/man1/brenlow.1 installed"
else
  fail "no man page at $page: $(cd "$prefix" && find . -type f)"
fi

# man renders through groff; every warning it has is asked for.
if command -v man > /dev/null; then
  out=$(LC_ALL=C MANWIDTH=80 man --warnings=w -l "$page" 2> "$prefix/warnings")
  if [ -s "$prefix/warnings" ]; then
    fail "man -l warns: $(cat "$prefix/warnings")"
  elif ! printf '%s\n' "$out" | grep -q '^ *brenlow - convert an IME text dictionary into an SKK dictionary$'; then
    fail "man -l shows no NAME line: $(printf '%s\n' "$out" | head -5)"
  else
    echo "ok   man -l renders it ($(printf '%s\n' "$out" | wc -l) lines)"
  fi
elif command -v groff > /dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then fail "groff warns: $warnings"; else echo "ok   groff renders it"; fi
else
  echo "skip rendering the man page (neither man nor groff is installed)"
fi
[ "$failures" = 0 ]
