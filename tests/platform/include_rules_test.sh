#!/usr/bin/env bash
# The layering check (scripts/check-includes.sh): this tree passes, and a small
# tree that breaks each rule once is reported at exactly those lines.
#   include_rules_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
check="$source_dir/scripts/check-includes.sh"

"$check" "$source_dir"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/src/{platform/posix,foundation,text,workbook}
put() { printf '%b' "$2" > "$tree/$1"; }
put src/platform/files.h       '#include <string>\n#include "foundation/status.h"\n'      # layer above
put src/platform/ui.cpp        '#include "platform/ui.h"\n#include <sys/stat.h>\n'       # portable part
put src/platform/posix/files.cpp '#include <unistd.h>\n#include <sys/stat.h>\n'          # allowed
put src/foundation/pdb.cpp     '#include <vector>\n#  include <dlfcn.h>\n'
put src/text/doc_format.h      '#include "platform/files.h"\n#include <windows.h>\n'
put src/workbook/csv_format.cpp '#include <cstdio>\n#include "platform/system.h"\n'      # allowed
put src/workbook/sheet_export.cpp '#include "workbook/sheet_format.h"\n#include "syncmgr/gridlink_state.h"\n'
put src/foundation/link_registry.cpp '#include "workbook/sheet_format.h"\n'
put src/text/doc_state.cpp     '#include "foundation/pdb.h"\n#include "syncmgr/discovery.h"\n'

set +e
report=$("$check" "$tree")
status=$?
set -e
found=$(cut -d: -f1,2 <<<"$report" | sort)
expected='src/foundation/link_registry.cpp:1
src/foundation/pdb.cpp:2
src/platform/files.h:2
src/platform/ui.cpp:2
src/text/doc_format.h:2
src/text/doc_state.cpp:2
src/workbook/sheet_export.cpp:2'
if [ $status -ne 1 ] || [ "$found" != "$expected" ]; then
  printf 'check-includes.sh exited %d and reported:\n%s\nexpected the lines:\n%s\n' "$status" "$report" "$expected" >&2
  exit 1
fi
echo "include rules hold; a tree that breaks them is reported"
