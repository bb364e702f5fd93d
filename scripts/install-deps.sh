#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the package need, when
# missing: also the MinGW-w64 cross compilers, GoogleTest's sources for them, and Wine for the
# tests of both Windows builds: wine64, and wine32 from the i386 architecture, which this script
# enables for it. GLYPHSHIFT_WINDOWS_TESTS=0 leaves the Windows tools out.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libxcb1-dev libacl1-dev libcap-dev acl
  clang libclang-rt-14-dev clang-format clang-tidy
  libicu-dev
  xvfb xauth openbox zsh
  dpkg-dev fakeroot file lintian desktop-file-utils man-db groff-base
  # The texts the statistical detector's models are learnt from (tools/detector_texts.py)
  # and its benchmark's held-out texts.
  manpages manpages-cs manpages-da manpages-de manpages-el manpages-es manpages-fi manpages-fr
  manpages-hu manpages-id manpages-it manpages-ja manpages-mk manpages-nb manpages-nl manpages-pl
  manpages-pt-br manpages-ro manpages-ru manpages-sr manpages-sv manpages-tr manpages-uk manpages-vi
  manpages-zh libc-l10n iso-codes unicode-cldr-core
  hunspell-ar hunspell-be hunspell-bg hunspell-ca hunspell-el hunspell-he hunspell-hr hunspell-is
  hunspell-kk hunspell-lt hunspell-lv hunspell-sk hunspell-th myspell-eo myspell-et
  myspell-fa myspell-ga
)
windows=0
if [ "${GLYPHSHIFT_WINDOWS_TESTS:-1}" != 0 ]; then
  windows=1
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64 wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages and not root; run as root or install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # The 32-bit Wine comes from the i386 architecture, which apt must know before its update.
  if ((windows)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
