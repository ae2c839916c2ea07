#!/bin/sh
# clang-format (clang-format 14, the style in .clang-format) over every
# tracked source and header, clang-tidy (bugprone-*, cert-*, performance-*;
# see .clang-tidy) and cppcheck over every source of the Linux build, tests
# and fuzz target included, and cppcheck over the Windows program's own
# sources. All must report nothing. Uses the compile commands of
# build-checks/.
set -e
cd "$(dirname "$0")/.."
# Not dictionary/emacs_mule_order.inc: tools/make_emacs_mule_order.el
# writes it, and it stays as written.
formatted=$(git ls-files '*.cpp' '*.h')
echo "clang-format over $(echo "$formatted" | wc -l) files"
# Another major version formats some lines differently.
case $(clang-format --version) in
  *"version 14."*) ;;
  *) echo "clang-format 14 is needed: $(clang-format --version)" >&2; exit 1 ;;
esac
echo "$formatted" | xargs clang-format --dry-run -Werror
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
  run/main.cpp run/*_windows.cpp formats/*_windows.cpp
echo "static checks: clean"
