#!/bin/sh
# Installs, from Debian's archive, what building brenlow needs, with
# --tests what its tests need too, and with --bench what the benchmark needs.
# Packages already present are left alone.
set -e
packages="cmake make g++"
if [ "${1:-}" = "--tests" ]; then
  # The SKK clients the output is read back with: Emacs SKK and libskk.
  packages="$packages libgtest-dev python3 skkdic emacs-nox ddskk python3-gi gir1.2-skk-1.0 libskk-dev"
fi
if [ "${1:-}" = "--bench" ]; then
  packages="$packages python3 time skkdic skkdic-extra"
fi
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
echo "installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
