#!/usr/bin/env bash
# cmake --install into a temporary prefix gives the libraries, the headers,
# the programs, the docs and a brightfold.pc with which a C program builds
# against the installed headers and links the installed libraries.
#   install_tree_test.sh BUILD_DIR C_COMPILER
set -euo pipefail
build=$1 cc=$2
command -v pkg-config >/dev/null || { echo "no pkg-config"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null

missing=0
for f in lib/libgridlink.so lib/libtextlink.so lib/pkgconfig/brightfold.pc \
         include/brightfold/brightfold.h include/brightfold/gridlink.h include/brightfold/textlink.h \
         bin/tabulo-addin bin/quillo-addin bin/hotsync \
         share/doc/brightfold/README.md share/doc/brightfold/LICENSE share/doc/brightfold/user-guide.txt \
         share/doc/brightfold/docs/platform.md; do
  [ -e "$prefix/usr/$f" ] || { echo "missing: $f"; missing=1; }
done
[ $missing = 0 ]

# The .pc file finds the tree from its own place, wherever it was installed.
export PKG_CONFIG_PATH="$prefix/usr/lib/pkgconfig"
[ "$(pkg-config --modversion brightfold)" = "$(sed -n 's/^Version: //p' "$prefix/usr/lib/pkgconfig/brightfold.pc")" ]
cat > "$prefix/addin.c" <<'C'
#include <gridlink.h>
#include <textlink.h>
int main(void) { return sizeof(SheetRecord) > 0 ? 0 : 1; }
C
# shellcheck disable=SC2046
"$cc" -o "$prefix/addin" "$prefix/addin.c" $(pkg-config --cflags --libs brightfold)
LD_LIBRARY_PATH="$prefix/usr/lib" "$prefix/addin"
echo "install tree complete"
