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
