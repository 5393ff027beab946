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
echo "dist complete: ${#expected[@]} files"
