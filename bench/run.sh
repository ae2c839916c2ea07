#!/bin/sh
# Builds brenlow for speed and runs the benchmark. Installs the real
# vocabulary (Debian's skkdic and skkdic-extra) when it is missing.
set -e
cd "$(dirname "$0")/.."
tools/install_dependencies.sh --bench
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRENLOW_TESTS=OFF >/dev/null
cmake --build build-bench -j2 >/dev/null
# The generator of the hash-flooding input.
c++ -O2 -std=c++17 -o build-bench/make_flood bench/make_flood.cpp
# The straightforward converter brenlow is compared with.
c++ -O2 -std=c++17 -o build-bench/straightforward bench/straightforward.cpp
# The least a converter does, on one thread: how much of cat's time it takes.
c++ -O2 -std=c++17 -o build-bench/least_converter bench/least_converter.cpp
python3 bench/run_benchmark.py "$@" || status=$?
# --merge and --exclude with SKK-JISYO.L, beside skktools' skkdic-expr2.
python3 bench/merge_benchmark.py --program build-bench/brenlow \
  --corpus build-bench/corpus/corpus-1x.txt
exit ${status:-0}
