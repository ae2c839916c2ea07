#!/bin/sh
# Installs, from Debian's archive, what building brenlow needs; with
# --windows what cross-building brenlow.exe needs; with --tests what every
# test needs (the Windows build and Wine included); with --bench what the
# benchmark needs. Packages already present are left alone.
set -e
# expat: the XML parser of the property list reader.
packages="cmake make g++ libexpat1-dev libcdb-dev"
windows=no
if [ "${1:-}" = "--windows" ]; then
  packages="$packages g++-mingw-w64-i686 file"
fi
if [ "${1:-}" = "--tests" ]; then
  # The SKK clients the output is read back with: Emacs SKK and libskk.
  packages="$packages libgtest-dev python3 skkdic emacs-nox ddskk python3-gi gir1.2-skk-1.0 libskk-dev"
  # tinycdb's cdb command dumps the CDB files the cases write.
  packages="$packages tinycdb"
  # Words with conjugation classes, to measure the okuri-ari keys against
  # SKK-JISYO.L.
  packages="$packages mecab-ipadic"
  # skkdic-extra's dictionaries, read back through --merge.
  packages="$packages skkdic-extra"
  # uim-skk as users install it (its uim brings uim-sh and the SKK
  # library), and what the SKK servers the skkserv suite fetches with
  # apt-get download need: tinycdb's cdb and libcdb1 for dbskkd-cdb,
  # GnuTLS's OpenSSL layer for yaskkserv.
  packages="$packages uim-skk tinycdb libgnutls-openssl27"
  # The 32-bit Windows program: the cross compiler, GoogleTest's sources for
  # it, and Wine with a Japanese locale to run it as on a Japanese Windows.
  packages="$packages g++-mingw-w64-i686 file googletest wine wine32 locales"
  windows=yes
  # The sanitizer build, the fuzzer and the static checks; GNU time for the
  # memory of the large-input test.
  packages="$packages clang libclang-rt-14-dev clang-tidy cppcheck time"
  # strace slows the writes of -o for the signal cases.
  packages="$packages strace"
  # The man page, rendered by the install test.
  packages="$packages man-db"
  # skkdic-expr2, whose sums and differences of dictionaries --merge and
  # --exclude are compared with.
  packages="$packages skktools"
fi
if [ "${1:-}" = "--bench" ]; then
  packages="$packages python3 time skkdic skkdic-extra skktools"
fi
if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  if [ "$windows" = yes ]; then
    # wine32 is an i386 package.
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
fi
if [ "$windows" = yes ] && ! locale -a | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "generating the ja_JP.UTF-8 locale"
  $sudo sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  $sudo locale-gen >/dev/null
fi
