#!/bin/sh
# Checks that brenlow.exe is what a Windows user can run as it is: a 32-bit
# console program that loads no DLL beyond those of Windows itself.
# Usage: windows_program.sh brenlow.exe
set -u
program=$1
failures=0
kind=$(file -b "$program")
case "$kind" in
  "PE32 executable (console) Intel 80386"*) echo "ok   $kind" ;;
  *) echo "FAIL not a 32-bit console program: $kind"; failures=1 ;;
esac
# Large-address-aware: up to 4 GiB of address space on a 64-bit Windows
# instead of 2 GiB, which the input and its table need past some 500 MB.
if i686-w64-mingw32-objdump -p "$program" |
    sed -n '/^Characteristics/,/^$/p' | grep -q 'large address aware'; then
  echo "ok   large address aware"
else
  echo "FAIL not linked large-address-aware"; failures=1
fi
# The DLLs every Windows has; anything else (libstdc++, libgcc,
# libwinpthread) would have to travel with the program.
for dll in $(i686-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p'); do
  case "$(echo "$dll" | tr 'A-Z' 'a-z')" in
    kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|shell32.dll|ntdll.dll)
      echo "ok   imports $dll" ;;
    *) echo "FAIL imports $dll, which Windows does not ship"; failures=1 ;;
  esac
done
exit $failures
