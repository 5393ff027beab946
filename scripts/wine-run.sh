#!/usr/bin/env bash
# Runs a program of the Windows cross build under Wine: the emulator that
# CTest and CMake use for it (CMAKE_CROSSCOMPILING_EMULATOR).
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# The Wine prefix is made once per build folder ($BUILD/wine-prefix, under a
# lock, so parallel tests wait for the first one): a 32-bit prefix from
# `wineboot -i`, with Wine's own fonts copied into C:\windows\Fonts (Debian's
# Wine does not find them otherwise, and dialogs change size). The build
# folder is BRIGHTFOLD_BUILD_DIR, else the nearest folder above PROGRAM that
# holds CMakeCache.txt. WINEPREFIX, WINEDEBUG (default -all) and
# WINEDLLOVERRIDES may be set by the caller.
#
# Exit status: the program's; 77 when there is no Wine (skipped).
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: wine-run.sh PROGRAM [ARGS...]" >&2; exit 2; }
if ! command -v wine >/dev/null 2>&1; then
  echo "wine-run: wine not found (Debian packages wine and wine32:i386)" >&2
  exit 77
fi

# A 32-bit program (the deliverables) runs in a 32-bit prefix under `wine`,
# which needs a kernel that runs 32-bit programs (some are booted with
# ia32_emulation=off); a 64-bit one (toolchain-x86_64-w64-mingw32.cmake)
# runs in a 64-bit prefix under wine64.
loader=wine arch=win32
if file -b "$1" 2>/dev/null | grep -q '^PE32+ executable'; then
  loader=$(command -v wine64 || echo /usr/lib/wine/wine64) arch=win64
  [ -x "$loader" ] || { echo "wine-run: no wine64 for a 64-bit program: skipped" >&2; exit 77; }
else
  for server in /usr/lib/wine/wineserver32 /usr/lib/i386-linux-gnu/wine/wineserver32; do
    [ -x "$server" ] || continue
    "$server" --version >/dev/null 2>&1 || {
      echo "wine-run: this machine runs no 32-bit programs ($server does not start): skipped" >&2
      exit 77
    }
    break
  done
fi

build=${BRIGHTFOLD_BUILD_DIR:-}
if [ -z "$build" ] || [ ! -f "$build/CMakeCache.txt" ]; then
  build=$(cd "$(dirname "$1")" && pwd)
  while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
  [ "$build" != / ] || build=$(pwd)
fi

export WINEPREFIX=${WINEPREFIX:-$build/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts: under a test run nobody could answer them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ ! -f "$WINEPREFIX/.brightfold-ready" ]; then
  exec 9>"$build/.wine-prefix.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.brightfold-ready" ]; then
    rm -rf "$WINEPREFIX"
    WINEARCH=$arch "$loader" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    fonts=$WINEPREFIX/drive_c/windows/Fonts
    mkdir -p "$fonts"
    for dir in /usr/share/wine/fonts /usr/lib/wine/fonts; do
      [ -d "$dir" ] && cp -n "$dir"/* "$fonts"/ 2>/dev/null || true
    done
    [ -d "$WINEPREFIX/drive_c/windows/system32" ] || { echo "wine-run: wineboot made no prefix at $WINEPREFIX" >&2; exit 1; }
    touch "$WINEPREFIX/.brightfold-ready"
  fi
  exec 9>&-
fi

exec "$loader" "$@"
