#!/usr/bin/env bash
# Runs one fuzz target with libFuzzer (clang, ASan + UBSan) for a while.
#
#   scripts/fuzz.sh TARGET [SECONDS]     e.g. scripts/fuzz.sh fuzz_link_registry 120
#   scripts/fuzz.sh --list
#
# Builds in build-fuzz/, starts from the seeds in fuzz/corpus/TARGET/ and
# keeps new inputs in build-fuzz/corpus/TARGET/; a crash is saved in
# fuzz/findings/ (ignored by git) and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--list" ]; then
  ls fuzz/fuzz_*.cpp | sed 's|fuzz/||; s|\.cpp$||'
  exit 0
fi
if [ $# -lt 1 ] || [ "$1" = "-h" ] || [ "$1" = "--help" ]; then
  sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
target=$1
seconds=${2:-60}
scripts/install-deps.sh
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B build-fuzz "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRIGHTFOLD_FUZZ=ON -DBRIGHTFOLD_SANITIZE=ON -DBRIGHTFOLD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "$target" -j "$(nproc)"
mkdir -p "build-fuzz/corpus/$target" fuzz/findings
"build-fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix=fuzz/findings/ "build-fuzz/corpus/$target" "fuzz/corpus/$target"
