#!/bin/sh
# clang-tidy (bugprone-*, cert-*, performance-*; see .clang-tidy) and cppcheck
# over every source of the Linux build, tests and fuzz target included, and
# cppcheck over the Windows program's own sources. Both must report
# nothing. Uses the compile commands of build-checks/.
set -e
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-checks -DBRENLOW_TESTS=ON \
  -DBRENLOW_FUZZ=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
sources=$(git ls-files '*.cpp' | grep -v '_windows\.cpp$')
echo "clang-tidy over $(echo "$sources" | wc -l) files"
# Two files at a time: one per core of the CI machine.
echo "$sources" | xargs -P 2 -n 4 clang-tidy -p build-checks --quiet
echo "cppcheck"
cppcheck --project=build-checks/compile_commands.json --library=googletest \
  --enable=warning,style,performance,portability --inline-suppr --quiet \
  --suppressions-list=tools/cppcheck_suppressions.txt \
  --error-exitcode=1 -ibuild-checks
echo "cppcheck, the Windows program's own sources"
cppcheck --platform=win32W --library=windows -D_WIN32 --std=c++17 \
  --language=c++ --enable=warning,style,performance,portability \
  --inline-suppr --quiet --error-exitcode=1 -I . \
  --suppressions-list=tools/cppcheck_suppressions.txt \
  run/main.cpp run/*_windows.cpp
echo "static checks: clean"
