#!/bin/sh
# Builds and tests brenlow four ways, each in its own folder:
#   build/           the Linux program and every test
#   build-sanitize/  the same built by clang with AddressSanitizer and
#                    UndefinedBehaviorSanitizer, plus 60 s of fuzzing
#   build-windows/   the 32-bit Windows program, its tests under Wine
#   build-checks/    clang-format, clang-tidy and cppcheck over every source
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DBRENLOW_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure

CC=clang CXX=clang++ cmake -S . -B build-sanitize -DBRENLOW_TESTS=ON \
  -DBRENLOW_SANITIZE=ON -DBRENLOW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-sanitize -j2
ctest --test-dir build-sanitize --output-on-failure

cmake -S . -B build-windows -DBRENLOW_TESTS=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
cmake --build build-windows -j2
ctest --test-dir build-windows --output-on-failure

tools/static_checks.sh
