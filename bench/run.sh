#!/bin/sh
# Builds brenlow for speed and runs the benchmark. Installs the real
# vocabulary (Debian's skkdic and skkdic-extra) when it is missing.
set -e
cd "$(dirname "$0")/.."
missing=""
for p in cmake make g++ python3 time skkdic skkdic-extra; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $p"
done
if [ -n "$missing" ]; then
  if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
fi
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRENLOW_TESTS=OFF >/dev/null
cmake --build build-bench -j2 >/dev/null
exec python3 bench/run_benchmark.py "$@"
