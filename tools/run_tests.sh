#!/bin/sh
# Builds brenlow for Linux and, with the cross compiler, for 32-bit Windows,
# and runs every test of both: the Windows program and its unit tests under
# Wine. Build folders: build/ and build-windows/.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DBRENLOW_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure
cmake -S . -B build-windows -DBRENLOW_TESTS=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
cmake --build build-windows -j2
ctest --test-dir build-windows --output-on-failure
