#!/bin/sh
# Starts (start) or stops (stop) the Wine session the Windows tests run in.
# Wine's helper processes outlive the program that started them and would
# hold a test's output pipes open until they exit; started here first, with
# their output elsewhere, they serve every test and each run of brenlow.exe
# returns as soon as it ends.
set -e
case "$1" in
  start)
    wineserver -k 2>/dev/null || true
    mkdir -p "${WINEPREFIX:-$HOME/.wine}"
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
  *)
    echo "usage: wine_session.sh start|stop" >&2
    exit 2
    ;;
esac
