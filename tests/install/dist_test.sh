#!/usr/bin/env bash
# The dist target gives build/dist with setup.inf, license.txt, setupwiz (when
# the tree builds it) and exactly the files setup.inf names; the user guide
# is a Doc database.
#   dist_test.sh BUILD_DIR HAS_SETUPWIZ
set -euo pipefail
build=$1 has_setupwiz=$2
cmake --build "$build" --target dist >/dev/null
dist="$build/dist"

expected=(setup.inf license.txt)
[ "$has_setupwiz" = 1 ] && expected+=(setupwiz)
# File%d values, keys matched without regard to case, surrounding blanks dropped.
while IFS= read -r name; do expected+=("$name"); done < <(
  sed -n 's/\r$//; s/^[[:space:]]*[Ff][Ii][Ll][Ee][0-9][0-9]*[[:space:]]*=[[:space:]]*\(.*[^[:space:]]\)[[:space:]]*$/\1/p' \
    "$dist/setup.inf")

status=0
for name in "${expected[@]}"; do
  [ -f "$dist/$name" ] || { echo "named but missing: $name"; status=1; }
done
for path in "$dist"/*; do
  name=$(basename "$path")
  printf '%s\n' "${expected[@]}" | grep -qxF "$name" || { echo "not named: $name"; status=1; }
done
[ $status = 0 ]

guide=$(printf '%s\n' "${expected[@]}" | grep '\.pdb$')
[ "$(dd if="$dist/$guide" bs=1 skip=60 count=8 status=none)" = TEXtREAd ] || { echo "$guide is no Doc database"; exit 1; }
[ -x "$dist/tabulo-addin" ] && [ -x "$dist/quillo-addin" ]

# The LibreOffice extension carries no libraries: it takes the installed ones
# from the system folder.
if [ -f "$dist/brightfold-addins.oxt" ]; then
  env -u BRIGHTFOLD_GRIDLINK -u BRIGHTFOLD_TEXTLINK BRIGHTFOLD_SYSTEM_DIR="$dist" python3 - "$dist" <<'PY'
import os, sys, tempfile, zipfile
dist = sys.argv[1]
with zipfile.ZipFile(os.path.join(dist, "brightfold-addins.oxt")) as oxt, tempfile.TemporaryDirectory() as box:
    assert not [n for n in oxt.namelist() if n.startswith("lib/")], "libraries bundled"
    oxt.extractall(box)
    sys.path.insert(0, os.path.join(box, "python", "pythonpath"))
    import bf_records
    bf_records.Library = lambda path, exports: path
    found = [bf_records.gridlink(), bf_records.textlink()]
    assert found == [os.path.join(dist, n) for n in ("libgridlink.so", "libtextlink.so")], found
PY
fi
echo "dist complete: ${#expected[@]} files"
