#!/usr/bin/env bash
# Pictures of every dialog as the Win32 dialog manager draws it: the Windows
# build's dialog_layouts.exe runs under Xvfb and Wine with the Win32 backend,
# and a script saves each dialog's client area as
# docs/dialogs/win32/<name>.png (the names of tests/dialogs/dialog_layouts.cpp).
# The dialogs show their tables with two sample items in each list; the GTK
# pictures of scripts/screenshots.sh show the programs' own data.
#
#   scripts/screenshots-win32.sh [OUTPUT_DIR]     default: docs/dialogs/win32
#
# BRIGHTFOLD_WIN_BUILD_DIR names the Windows build folder (default:
# build-win64/, or build-win32/ where a 32-bit Wine runs). Needs Xvfb and Wine
# (scripts/install-deps.sh --windows).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BRIGHTFOLD_WIN_BUILD_DIR:-$root/build-win64}
out=${1:-$root/docs/dialogs/win32}
program=$build/tests/dialog_layouts.exe
[ -e "$program" ] || { echo "screenshots-win32.sh: $program is missing (build the target dialog_layouts)" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One section per dialog, in the program's order: the names from the
# expected layout, the ids from its dialog lines.
awk '$1 == "#" { name = $2 } $1 == "dialog" { print $2, name }' tests/dialogs/expected_layouts.txt |
  while read -r id name; do
    printf 'dialog %s\nsnapshot %s.png\nend\n' "$id" "$name"
  done >"$work/shots.script"
cd "$out"
BRIGHTFOLD_UI=win32 BRIGHTFOLD_UI_SCRIPT=$(realpath --relative-to="$out" "$work/shots.script") \
  BRIGHTFOLD_UI_LOG=$(realpath --relative-to="$out" "$work/shots.log") BRIGHTFOLD_BUILD_DIR=$build \
  bash "$root/scripts/with-xvfb.sh" "$root/scripts/wine-run.sh" "$program" "$(realpath --relative-to="$out" "$work/report.txt")" \
  >"$work/out.txt" 2>&1 || { cat "$work/out.txt" >&2; exit 1; }
tr -d '\r' <"$work/shots.log" >"$work/log.txt"
if grep -q FAIL "$work/log.txt" || ! grep -q '^snapshot .* ok$' "$work/log.txt"; then
  echo "screenshots-win32.sh: the pictures failed:" >&2
  cat "$work/log.txt" "$work/out.txt" >&2
  exit 1
fi
# The backend writes its pictures uncompressed: squeeze them (zlib level 9).
python3 - "$out"/*.png <<'PY'
import struct, sys, zlib
for name in sys.argv[1:]:
    data = open(name, 'rb').read()
    at, chunks = 8, []
    while at < len(data):
        size, kind = struct.unpack('>I4s', data[at:at + 8])
        chunks.append((kind, data[at + 8:at + 8 + size]))
        at += 12 + size
    idat = zlib.compress(zlib.decompress(b''.join(b for k, b in chunks if k == b'IDAT')), 9)
    out = [data[:8]]
    for kind, body in [(k, b) for k, b in chunks if k == b'IHDR'] + [(b'IDAT', idat), (b'IEND', b'')]:
        out.append(struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body)))
    open(name, 'wb').write(b''.join(out))
PY
ls "$out"/*.png
