#!/usr/bin/env bash
# Checks the layering of the sources by their #include lines:
#
#   - a file under src/platform/ includes nothing from the layers above it
#     (foundation/, workbook/, syncmgr/, text/, installer/, cli/, standins/);
#   - foundation includes none of the libraries built on it, workbook nothing
#     of syncmgr/ (the workbook library's exports and frame use the sheet
#     code, never the reverse), and text nothing of the workbook library;
#   - the core code (src/foundation, workbook, syncmgr, text, installer) and
#     the portable part of the platform layer (the files directly in
#     src/platform/) include no OS header: only src/platform/<os>/ may.
#
#   scripts/check-includes.sh [ROOT]    ROOT: the source tree (default: this one)
#
# Prints one line per violation, "file:line: reason", and exits 1 if there
# is any.
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

# Headers of an OS (POSIX or Windows), matched against the name inside <> or "".
os_headers='unistd\.h|fcntl\.h|dirent\.h|dlfcn\.h|pthread\.h|poll\.h|pwd\.h|grp\.h|spawn\.h|termios\.h|syslog\.h|libgen\.h|glob\.h|fnmatch\.h|strings\.h|netdb\.h|semaphore\.h|sched\.h|utime\.h|sys/.*|netinet/.*|arpa/.*|linux/.*|windows\.h|winbase\.h|windef\.h|winnt\.h|winuser\.h|winreg\.h|oleauto\.h|objbase\.h|ole2\.h|shlobj\.h|shellapi\.h|commctrl\.h|commdlg\.h|io\.h|direct\.h|process\.h|share\.h'
upper_layers='(foundation|workbook|syncmgr|text|installer|cli|standins)/'

status=0
# check FILE... : reports include lines of the files that match PATTERN, with REASON
check() {
  local pattern=$1 reason=$2; shift 2
  [ $# -gt 0 ] || return 0
  local hits
  hits=$(grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($pattern)[>\"]" "$@" || true)
  if [ -n "$hits" ]; then
    awk -v reason="$reason" '{ print $0 "  (" reason ")" }' <<<"$hits"
    status=1
  fi
}

sources() {  # sources DIR [maxdepth]: the C and C++ files under DIR
  [ -d "$1" ] || return 0
  find "$1" ${2:+-maxdepth "$2"} -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.c' \) | sort
}

mapfile -t platform_all < <(sources src/platform)
mapfile -t platform_portable < <(sources src/platform 1)
mapfile -t core < <(for d in foundation workbook syncmgr text installer; do sources "src/$d"; done)

check "$upper_layers.*" "the platform layer includes a layer above it" "${platform_all[@]}"
mapfile -t foundation_src < <(sources src/foundation)
mapfile -t workbook_src < <(sources src/workbook)
mapfile -t text_src < <(sources src/text)
check "(workbook|syncmgr|text|installer|cli|standins)/.*" "foundation includes a layer above it" "${foundation_src[@]}"
check "(syncmgr|text|installer|cli|standins)/.*" "workbook includes a layer above it" "${workbook_src[@]}"
check "(workbook|syncmgr|installer|cli|standins)/.*" "text includes the workbook library or a layer above it" "${text_src[@]}"
check "$os_headers" "an OS header outside src/platform/<os>/" "${core[@]}" "${platform_portable[@]}"
exit $status
