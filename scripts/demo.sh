#!/usr/bin/env bash
# The system's main job end to end, in a sandbox in a temporary folder:
# two HotSync users link a CSV book and a spreadsheet workbook, the workbook
# is exported, HotSyncs run with gridlink as notifier, a sheet is edited on
# the handheld, the change arrives in the CSV files and in the other user's
# Install folder, the workbook is imported through VerifyImport, and a text
# document goes to Quillo and back. Ends with one line, DEMO PASSED or DEMO
# FAILED, and a matching exit status.
#
#   scripts/demo.sh            build/ is built first when a program is missing
#   scripts/demo.sh --keep     keep the sandbox folder and print its path
#
# BRIGHTFOLD_BUILD_DIR names another build folder (CTest runs the demo
# against its own build this way).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
keep=0
case "${1:-}" in
  "") ;;
  --keep) keep=1 ;;
  -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
esac

build=${BRIGHTFOLD_BUILD_DIR:-$root/build}
bin=$build/bin
lib=$build/lib
step="start"

fail() {
  echo "DEMO FAILED: $*"
  exit 1
}
trap 'echo "DEMO FAILED: a command failed during: $step"; exit 1' ERR

say() { printf '\n== %s\n' "$*"; step=$*; }
ok() { printf '   ok: %s\n' "$*"; }
show() { sed 's/^/   | /'; }

# ---- build when needed --------------------------------------------------------
# A configured build folder is brought up to date (a no-op when nothing
# changed); a missing one is configured and built first.
programs=("$bin/hotsync" "$bin/tabulo-addin" "$bin/quillo-addin" "$lib/libgridlink.so" "$lib/libtextlink.so")
if [ -z "${BRIGHTFOLD_BUILD_DIR:-}" ] || [ ! -f "$build/CMakeCache.txt" ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    say "building into $build"
    scripts/install-deps.sh
    gen=()
    command -v ninja >/dev/null && gen=(-G Ninja)
    cmake -S . -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" \
    --target hotsync tabulo-addin quillo-addin gridlink textlink >/dev/null
fi
for p in "${programs[@]}"; do [ -e "$p" ] || fail "$p was not built"; done

# ---- the sandbox ----------------------------------------------------------------
S=$(mktemp -d "${TMPDIR:-/tmp}/brightfold-demo.XXXXXX")
if [ $keep -eq 1 ]; then
  trap 'echo "(sandbox kept: $S)"' EXIT
else
  trap 'rm -rf "$S"' EXIT
fi
export BRIGHTFOLD_HIVE=$S/registry.reg
export BRIGHTFOLD_UI=headless
export BRIGHTFOLD_HANDHELD=$S/Handheld
unset BRIGHTFOLD_GRIDLINK BRIGHTFOLD_TEXTLINK BRIGHTFOLD_NOTIFIER_DIR BRIGHTFOLD_FAULTS BRIGHTFOLD_UI_SCRIPT

hotsync() { "$bin/hotsync" "$@"; }
addin() { "$bin/tabulo-addin" "$@"; }
quillo() { "$bin/quillo-addin" "$@"; }
# The HotSync Manager's install flag of a user ID ("-" when absent).
flag() { hotsync users list | awk -F'\t' -v id="ID $1" '$2 == id { sub("install flag ", "", $4); print $4 }'; }
has() { grep -qF -- "$2" "$1" || fail "$1 does not hold \"$2\" ($step)"; }
exists() { [ -e "$1" ] || fail "$1 is missing ($step)"; }
absent() { [ ! -e "$1" ] || fail "$1 should not be there ($step)"; }

say "sandbox in $S: registry, product folders, two HotSync users"
mkdir -p "$S/Tabulo" "$S/Quillo" "$S/Palm" "$S/Documents"
printf '\0\0\0\0' >"$S/Tabulo/sync.dat"
printf 'template workbook\n' >"$S/Tabulo/dummy.xls"
{
  printf 'REGEDIT4\n\n'
  for product in Tabulo Quillo; do
    printf '[HKEY_CURRENT_USER\\Software\\Brightfold\\%s]\n"Path"="%s"\n"Install"="Install"\n"Backup"="Backup"\n\n' \
      "$product" "$S/$product"
    n=0
    for user in Ann:1001 Bo:1002; do
      printf '[HKEY_CURRENT_USER\\Software\\Brightfold\\%s\\User%d]\n"Name"="%s"\n"Path"="%s"\n"ID"="%s"\n\n' \
        "$product" $n "${user%%:*}" "$S/Palm/${user%%:*}" "${user##*:}"
      n=$((n + 1))
    done
  done
} >"$BRIGHTFOLD_HIVE"
hotsync users add Ann --id 1001 --folder "$S/Palm/Ann" | show
hotsync users add Bo --id 1002 --folder "$S/Palm/Bo" | show
hotsync notifiers add libgridlink.so | show
ok "users Ann (1001) and Bo (1002); gridlink registered as HotSync notifier"

say "a CSV book (Budget) and a workbook (Travel) on the desktop, linked for both users"
D=$S/Documents
printf 'Item,Amount\r\nRent,500\r\nFood,230.5\r\n' >"$D/Budget-Jan.csv"
printf 'Item,Amount\nGas,40\n' >"$D/Budget-Feb.csv"   # written on Linux: LF line ends
cat >"$D/Travel.xls" <<'EOF'
{"sheets": [{"name": "Trip", "cells": [
  {"row": 1, "column": 1, "text": "City"}, {"row": 1, "column": 2, "text": "Nights"},
  {"row": 2, "column": 1, "text": "Rome"}, {"row": 2, "column": 2, "text": "3", "value": 3}]}]}
EOF
for u in 0 1; do
  addin link "$D/Budget-Jan.csv" --user $u --rule synchronize | show
  addin link "$D/Travel.xls" --user $u --rule synchronize | show
done
has "$S/Tabulo/TBRegistry.dat" "Budget="
ok "links saved in TBRegistry.dat"

say "export of the workbook Travel (VerifyExport, SetSheetName, SetCellInfo)"
addin export "$D/Travel.xls" | show
exists "$S/Palm/Ann/Install/Travel-Trip.pdb"
exists "$S/Palm/Bo/Install/Travel-Trip.pdb"
[ "$(flag 1001)" = 1 ] && [ "$(flag 1002)" = 1 ] || fail "install flags not raised after the export"
ok "Travel-Trip waits in both users' Install folders; both install flags raised"

say "HotSync of Ann: her CSV files go to the handheld, the book comes back and goes on to Bo"
hotsync sync --user Ann | show
hotsync show --user Ann | show
exists "$S/Handheld/Ann/Budget-Jan.pdb"
exists "$S/Handheld/Ann/Budget-Feb.pdb"
exists "$S/Handheld/Ann/Travel-Trip.pdb"
exists "$S/Palm/Ann/Backup/Budget-Jan.pdb"
absent "$S/Palm/Ann/Install/Travel-Trip.pdb"
exists "$S/Palm/Bo/Install/Budget-Jan.pdb"
[ "$(flag 1001)" = 0 ] || fail "Ann's install flag was not cleared"
hotsync show --user Ann --database Budget-Feb | show
hotsync show --user Ann --database Budget-Feb | grep -q $'^(2,2)\t40$' || fail "Budget-Feb lost its second row"
ok "installed, backed up, passed on to Bo"

say "HotSync of Bo: what waited in his Install folder reaches his handheld"
hotsync sync --user Bo | show
exists "$S/Handheld/Bo/Budget-Jan.pdb"
exists "$S/Handheld/Bo/Travel-Trip.pdb"
[ -z "$(ls -A "$S/Palm/Bo/Install")" ] || fail "Bo's Install folder is not empty"
[ -z "$(ls -A "$S/Palm/Ann/Install")" ] || fail "something was passed back to Ann"
ok "Bo's handheld has both books; nothing came back"

say "an edit on Ann's handheld, as Tabulo makes it"
hotsync set-cell --user Ann --database Budget-Jan --row 2 --column 2 --text 650 | show
hotsync set-cell --user Ann --database Travel-Trip --row 3 --column 1 --text Florence | show

say "HotSync of Ann: the change arrives in the CSV files and in Bo's Install folder"
hotsync sync --user Ann | show
echo "   Budget-Jan.csv now:"; show <"$D/Budget-Jan.csv"; echo
has "$D/Budget-Jan.csv" '"Rent","650"'
exists "$S/Palm/Bo/Install/Budget-Jan.pdb"
exists "$S/Palm/Bo/Install/Travel-Trip.pdb"
[ "$(flag 1002)" = 1 ] || fail "Bo's install flag was not raised"
ok "Budget-Jan.csv holds 650; Bo's Install folder holds the changed books"

say "import of the workbook Travel through VerifyImport, GetSheetName, GetCellInfo"
addin import "$D/Travel.xls" "$D/Travel.xls" | show
has "$D/Travel.xls" '"Florence"'
if addin import "$D/Travel.xls" "$D/Travel-again.xls" >/dev/null 2>&1; then
  fail "a second import found the same handheld change again"
fi
ok "Travel.xls holds Florence; the link records the change as seen"

say "HotSync of Bo: the edited sheets reach his handheld"
hotsync sync --user Bo | show
hotsync show --user Bo --database Budget-Jan | grep -q $'^(2,2)\t650$' || fail "Bo's handheld lacks 650"
hotsync show --user Bo --database Travel-Trip | grep -q $'^(3,1)\tFlorence$' || fail "Bo's handheld lacks Florence"
ok "Bo's handheld has 650 and Florence"

say "a text document to Quillo and back"
printf 'Packing list\r\nPassport\nTickets\r\n' >"$D/Notes.txt"
quillo write "$D/Notes.txt" --user 0 --to "$S/Palm/Ann/Install/Notes.txt" | show
exists "$S/Palm/Ann/Install/Notes.pdb"
hotsync sync --user Ann | show
exists "$S/Handheld/Ann/Notes.pdb"
exists "$S/Palm/Ann/Backup/Notes.pdb"
quillo read "$S/Palm/Ann/Backup/Notes.pdb" "$D/Notes-back.txt" | show
# Line ends come back as LF; CR LF comes back as " " and LF.
printf 'Packing list \nPassport\nTickets \n' >"$D/Notes-expected.txt"
cmp -s "$D/Notes-back.txt" "$D/Notes-expected.txt" || fail "the text came back different"
ok "Notes.txt went to Ann's handheld and came back from Backup"

trap - ERR
echo
echo "DEMO PASSED: CSV book and workbook linked for two users, exported, synchronized, edited on the handheld, passed on, imported; text to Quillo and back"
