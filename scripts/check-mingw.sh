#!/usr/bin/env bash
# Syntax check of the portable code for 32-bit Windows: every translation unit
# of the core code (src/foundation, workbook, syncmgr, text) and of the
# portable part of the platform layer (src/platform/*.cpp) is compiled with
# the i686 mingw-w64 cross compiler (-fsyntax-only -Wall -Wextra -Werror).
# A unit fails when it does not compile there (a POSIX header or call, a type
# of one OS) or when it reaches <windows.h>, whose macros (MessageBox, ...)
# would rename our own names. The public headers are also compiled as C and
# C++ after and before <windows.h>, which they must accept in either order.
#
#   scripts/check-mingw.sh [FILE...]   only these units (default: all)
#
# Exit status 0: clean; 1: a unit failed; 77: no cross compiler (skipped;
# with CI set, an error).
#
# The compiler is $MINGW_CXX, else i686-w64-mingw32-g++-posix (Debian's
# g++-mingw-w64-i686, which scripts/install-deps.sh installs). The posix
# thread model is the one whose C++ library has <thread> and <mutex>; the win32
# model of Debian 12 lacks them, so it would reject standard C++ that the
# Windows build can compile. Neither model brings <windows.h> into <mutex>.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=${MINGW_CXX:-i686-w64-mingw32-g++-posix}
if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "check-mingw: $cxx not found (Debian package g++-mingw-w64-i686)" >&2
  [ -n "${CI:-}" ] && exit 1
  echo "check-mingw: skipped" >&2
  exit 77
fi

# The OS folder of the Windows build gives platform_os.h; until it exists the
# POSIX one stands in (it includes no OS header).
os_dir=src/platform/win32
[ -d "$os_dir" ] || os_dir=src/platform/posix

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export CHECK_CXX=$cxx CHECK_TMP=$tmp
# The version header CMake generates into the build tree, made here the same
# way from the project's VERSION.
version=$(sed -nE 's/^project\([a-z]+ VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
mkdir -p "$tmp/generated"
sed "s/@PROJECT_VERSION@/$version/" src/foundation/brightfold_version.h.in >"$tmp/generated/brightfold_version.h"
export CHECK_FLAGS="-std=c++20 -fsyntax-only -Wall -Wextra -Werror -Isrc -Iinclude -I$os_dir -I$tmp/generated"

# check_unit FILE: compiles one unit; prints what went wrong, returns 1 then.
check_unit() {
  local dep="$CHECK_TMP/$(echo "$1" | tr / _).d"
  # shellcheck disable=SC2086
  if ! "$CHECK_CXX" $CHECK_FLAGS -MD -MF "$dep" "$1"; then
    echo "check-mingw: $1 does not compile for Windows" >&2
    return 1
  fi
  if grep -qE '/windows\.h( |$)' "$dep"; then
    echo "check-mingw: $1 reaches <windows.h>" >&2
    return 1
  fi
}
export -f check_unit

units=("$@")
[ $# -gt 0 ] || units=(src/foundation/*.cpp src/workbook/*.cpp src/syncmgr/*.cpp src/text/*.cpp src/platform/*.cpp)
status=0
printf '%s\n' "${units[@]}" | xargs -P "${CHECK_JOBS:-2}" -I{} bash -c 'check_unit "$1"' _ {} || status=1

# The public headers beside <windows.h>, in both orders, as C and as C++.
for lang in c c++; do
  std=c11
  [ "$lang" = c++ ] && std=c++20
  for order in "windows.h gridlink.h textlink.h" "gridlink.h textlink.h windows.h"; do
    src=""
    for h in $order; do
      if [ "$h" = windows.h ]; then src+=$'#include <windows.h>\n'; else src+="#include \"$h\""$'\n'; fi
    done
    if ! "$cxx" -x "$lang" -std=$std -fsyntax-only -Wall -Wextra -Werror -Iinclude - <<<"$src"; then
      echo "check-mingw: the public headers do not compile as $lang with: $order" >&2
      status=1
    fi
  done
done

[ $status -eq 0 ] && echo "check-mingw: ${#units[@]} units and the public headers compile for Windows ($cxx)"
exit $status
