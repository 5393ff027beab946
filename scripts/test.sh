#!/usr/bin/env bash
# Configures, builds and runs every test through CTest.
#
#   scripts/test.sh             normal build (build/) and sanitizer build (build-asan/)
#   scripts/test.sh --quick     normal build only
#   scripts/test.sh --sanitize  sanitizer build only (ASan + UBSan)
#   scripts/test.sh --windows   the 32-bit Windows cross build (build-win32/),
#                               its tests run under Wine (docs/windows.md)
#
# Missing build packages are installed with apt-get first, so the script
# works on a fresh machine. Among the tests of the normal build are the
# layering check and the syntax check of the core code for 32-bit Windows
# (scripts/check-includes.sh, scripts/check-mingw.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=all
case "${1:-}" in
  "") ;;
  --quick) mode=quick ;;
  --sanitize) mode=sanitize ;;
  --windows) mode=windows ;;
  -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
esac

if [ "$mode" = windows ]; then
  scripts/install-deps.sh --windows
else
  scripts/install-deps.sh
fi

jobs=$(nproc 2>/dev/null || echo 2)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)

run() {  # run BUILD_DIR [cmake options...]
  local dir=$1; shift
  echo "== configure $dir"
  cmake -S . -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  echo "== build $dir"
  cmake --build "$dir" -j "$jobs"
  echo "== test $dir"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
}

if [ "$mode" = windows ]; then
  # Opt-in: not part of the default run (timings in docs/windows.md).
  run build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DBRIGHTFOLD_BENCH=OFF
  echo "== all tests passed"
  exit 0
fi
if [ "$mode" != sanitize ]; then
  run build
fi
if [ "$mode" != quick ]; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run build-asan -DBRIGHTFOLD_SANITIZE=ON -DBRIGHTFOLD_BENCH=OFF
fi
echo "== all tests passed"
