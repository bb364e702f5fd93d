#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, as CTest's emulator for both Windows builds: a
# prefix of its own (made once, under a lock, so parallel tests do not race to make it), no debug
# chatter, and a wineserver that stays up between the many short runs of a test suite. The
# 64-bit loader hands a 32-bit program to Debian's wine32 (i386), which shares the prefix and the
# server, so the x64 and x86 tests pay for one prefix and one server start.
#   GLYPHSHIFT_WINE_DISPLAY=1  a run with windows: a prefix of its own beside the first (its
#                              desktop belongs to the display), ended with the run.
set -euo pipefail

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
wine32=/usr/lib/wine/wine
# A kernel without 32-bit support cannot start the 32-bit loader even when it is installed: the
# prefix is then made without it, and 32-bit programs fail at once instead of waiting on it.
if [ -x "$wine32" ] && ! "$wine32" --version >/dev/null 2>&1; then
  wine32=
fi

prefix=${WINEPREFIX:-${TMPDIR:-/tmp}/glyphshift-wine-$(id -u)}
[ "${GLYPHSHIFT_WINE_DISPLAY:-0}" = 1 ] && prefix=$prefix-display
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No offers to install browser or .NET runtimes into the prefix, no menu entries, and no
# debugger that waits for a person when a test program crashes: the crash is the test's failure.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d}

# A prefix made before wine32 was installed has no 32-bit system folder: it is brought up to
# date once, which adds it.
prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] &&
    { [ -z "$wine32" ] || [ ! -x "$wine32" ] || [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; }
}
if ! prefix_ready; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if ! prefix_ready; then
    if [ -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --update >/dev/null 2>&1 || true
    else
      "$wine" wineboot --init >/dev/null 2>&1 || true
    fi
    "$wineserver" -w
  fi
  flock -u 9
  exec 9>&-
fi
# The loader of the program's own width: the 64-bit one hands a 32-bit program to the 32-bit
# one, which costs 0.2 s a start (against 0.01 s started directly), and a test suite starts
# hundreds. The PE header's machine field: 0x14c is x86.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] && od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}
program=$wine
if [ -n "$wine32" ] && [ -x "$wine32" ] && [ -f "${1:-}" ] && [ "$(pe_machine "$1")" = 014c ]; then
  program=$wine32
fi

if [ "${GLYPHSHIFT_WINE_DISPLAY:-0}" = 1 ]; then
  # Wine's desktop process would outlive the program and hold on to the display and to the
  # caller's output; it ends with the server, and the program's status stays.
  status=0
  "$program" "$@" || status=$?
  "$wineserver" -k >/dev/null 2>&1 || true
  exit "$status"
fi
if "$wineserver" -p 120 >/dev/null 2>&1; then
  # A new server: the system processes Wine starts with the first program would keep that
  # program's output open (and a caller waiting for its end) as long as the server lives, so
  # they are started here, without the caller's output.
  "$wine" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
fi
exec "$program" "$@"
