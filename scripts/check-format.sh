#!/usr/bin/env bash
# Checks that the C and C++ sources follow .clang-format.
#
#   scripts/check-format.sh [FILE...]   only these files (default: every source
#                                       file git tracks, or finds, under src/,
#                                       include/, tests/, bench/ and fuzz/)
#   scripts/check-format.sh --fix       reformats every source file in place
#
# Prints clang-format's complaints and exits 1 when a file is not formatted.
# Exit 77 (skipped) without clang-format, unless CI is set.
set -euo pipefail
cd "$(dirname "$0")/.."

fmt=${CLANG_FORMAT:-}
if [ -z "$fmt" ]; then
  for c in clang-format clang-format-14; do
    command -v "$c" >/dev/null 2>&1 && { fmt=$c; break; }
  done
fi
if [ -z "$fmt" ]; then
  echo "check-format: clang-format not found (Debian package clang-format)" >&2
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi

fix=0
if [ "${1:-}" = --fix ]; then fix=1; shift; fi
if [ $# -gt 0 ]; then
  files=("$@")
elif git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- src include tests bench fuzz \
                         | grep -E '\.(c|cpp|h|hpp)$')
else
  mapfile -t files < <(find src include tests bench fuzz -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) | sort)
fi
# Files deleted in the working tree but still in the index are not checked.
existing=()
# Only C and C++ sources: clang-format would rewrite a script named here.
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  case "$f" in
    *.c | *.cpp | *.h | *.hpp) existing+=("$f") ;;
    *) echo "check-format: $f is not a C or C++ source; left alone" >&2 ;;
  esac
done
[ ${#existing[@]} -gt 0 ] || exit 0

if [ $fix -eq 1 ]; then
  "$fmt" -i "${existing[@]}"
  exit 0
fi
"$fmt" --dry-run -Werror "${existing[@]}"
