#!/usr/bin/env bash
# Pictures of every dialog for docs/dialogs.md: each dialog of gridlink and
# textlink is opened by its stand-in program, and setupwiz's by setupwiz from
# a sample distribution, under Xvfb with the GTK backend, in a sandbox with
# two HotSync users and some books; a script fills each dialog with sample
# data and saves its client area as docs/dialogs/<name>.png. Run it again
# whenever a dialog changes.
#
#   scripts/screenshots.sh [OUTPUT_DIR]     default: docs/dialogs
#
# BRIGHTFOLD_BUILD_DIR names the build folder (default: build/). Needs Xvfb,
# GTK 3 and fonts-liberation (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BRIGHTFOLD_BUILD_DIR:-$root/build}
out=${1:-$root/docs/dialogs}
mkdir -p "$out"
out=$(cd "$out" && pwd)
for p in bin/tabulo-addin bin/quillo-addin bin/setupwiz bin/hotsync lib/libbrightfold-gtk.so; do
  [ -e "$build/$p" ] || { echo "screenshots.sh: $build/$p is missing (build first)" >&2; exit 1; }
done
if [ -z "${DISPLAY:-}" ] || [ "${SCREENSHOTS_OWN_DISPLAY:-}" != 1 ]; then
  SCREENSHOTS_OWN_DISPLAY=1 exec scripts/with-xvfb.sh "$0" "$out"
fi

# A fixed, short sandbox path: the pictures show it, and stay the same from
# one run to the next.
S=/tmp/dialogs
rm -rf "$S"
trap 'rm -rf "$S"' EXIT
# GTK's own settings, not the user's: the stock theme, no blinking caret.
mkdir -p "$S/config/gtk-3.0"
printf '[Settings]\ngtk-theme-name=Adwaita\ngtk-cursor-blink=false\ngtk-enable-animations=false\n' \
  >"$S/config/gtk-3.0/settings.ini"
export XDG_CONFIG_HOME=$S/config
export BRIGHTFOLD_HIVE=$S/registry.reg BRIGHTFOLD_HANDHELD=$S/Handheld BRIGHTFOLD_UI=gtk TZ=EST5
unset BRIGHTFOLD_GRIDLINK BRIGHTFOLD_TEXTLINK BRIGHTFOLD_NOTIFIER_DIR BRIGHTFOLD_FAULTS
mkdir -p "$S/Tabulo" "$S/Quillo" "$S/Palm/Ann/Backup" "$S/Palm/Bo/Backup" "$S/Documents"
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
D=$S/Documents
printf 'Item,Amount\r\nRent,500\r\nFood,230.5\r\n' >"$D/Budget-Jan.csv"
printf 'City,Nights\r\nRome,3\r\n' >"$D/Travel-Trip.csv"
printf 'A short letter.\n' >"$D/letter.txt"
"$build/bin/hotsync" users add Ann --id 1001 --folder "$S/Palm/Ann" >/dev/null
"$build/bin/hotsync" users add Bo --id 1002 --folder "$S/Palm/Bo" >/dev/null
"$build/bin/hotsync" notifiers add libgridlink.so >/dev/null
"$build/bin/tabulo-addin" link "$D/Budget-Jan.csv" --user 0 --rule synchronize >/dev/null
"$build/bin/tabulo-addin" link "$D/Travel-Trip.csv" --user 0 --rule handheld --font-map large >/dev/null
"$build/bin/quillo-addin" write "$D/letter.txt" --user 0 --to "$S/Palm/Ann/Backup/letter.txt" >/dev/null
"$build/bin/hotsync" sync --user Ann >/dev/null  # the linked books reach the handheld and its backup
touch -d "2026-01-05 14:30 UTC" "$S"/Palm/*/Backup/*  # a fixed "Hotsynced" time

# shot NAME SCRIPT PROGRAM ARGS...: plays SCRIPT (SNAP stands for the picture's path)
shot() {
  local name=$1 script=$2
  shift 2
  printf '%s\n' "${script//SNAP/$out/$name.png}" >"$S/ui.script"
  rm -f "$S/ui.log"
  BRIGHTFOLD_UI_SCRIPT=$S/ui.script BRIGHTFOLD_UI_LOG=$S/ui.log "$@" >"$S/out.txt" 2>&1 || true
  if ! grep -q "^snapshot .* ok$" "$S/ui.log" 2>/dev/null; then
    echo "screenshots.sh: no picture of $name:" >&2
    cat "$S/ui.log" "$S/out.txt" >&2 2>/dev/null || true
    exit 1
  fi
  echo "$out/$name.png"
}

tabulo=("$build/bin/tabulo-addin")
quillo=("$build/bin/quillo-addin")
shot sync-manager $'dialog 130\nselect 1002 0\nsnapshot SNAP\nend' "${tabulo[@]}" manager
shot gridlink-password $'dialog 131\ntype 1020 secret\nsnapshot SNAP\nend' "${tabulo[@]}" password
shot gridlink-export $'dialog 132\ntype 1024 owner\nsnapshot SNAP\nend' "${tabulo[@]}" export-dialog "$D/Travel-Trip.csv"
shot gridlink-import $'dialog 133\nselect 1002 0\nsnapshot SNAP\nend' "${tabulo[@]}" import-dialog "$S/out.json"
shot gridlink-change-size $'dialog 153\nsnapshot SNAP\nend' "${tabulo[@]}" size 1 1 20 5
shot textlink-export $'dialog 132\ntype 1029 '"$D"$'/letter.txt\nsnapshot SNAP\nend' "${quillo[@]}" export-dialog
shot textlink-import $'dialog 133\nselect 1002 0\nsnapshot SNAP\nend' "${quillo[@]}" import-dialog
shot textlink-about $'dialog 134\nsnapshot SNAP\nend' "${quillo[@]}" about

# setupwiz from a distribution of its own, the GTK module beside it as the
# dist target ships it: the licence, the main dialog with two components
# offered and one whose Office version is missing (unchecked, disabled), and
# the Pilot Users dialog the install opens for the two Palm users.
"$build/bin/hotsync" desktop >/dev/null
W=$S/dist
mkdir -p "$W"
cp "$build/bin/setupwiz" "$build/lib/libbrightfold-gtk.so" "$build/bin/tabulo-addin" "$build/bin/quillo-addin" "$W/"
printf 'A guide.\n' >"$W/guide.txt"
cat >"$W/setup.inf" <<INF
[Installation]
DefDir=$S/Brightfold
Application=Brightfold Suite
Application0=Tabulo
Application1=Quillo

[Brightfold Suite]
AppName0=Tabulo, Workbooks and CSV books for the handheld Tabulo
AppName1=Quillo, Text documents for the handheld reader Quillo
AppName2=Tabulo macros, Toolbar for the 97 spreadsheet

[Tabulo]
File0=tabulo-addin
[Quillo]
File0=quillo-addin
File1=guide.txt
Destination1=Pilot
[Tabulo macros]
File0=tabulo-addin
Destination0=\Excel97
INF
{
  printf 'BRIGHTFOLD SUITE LICENSE AGREEMENT\n\n'
  printf 'Please read this agreement before installing the Brightfold Suite. By choosing '
  printf 'Accept you agree to its terms; choose Decline to leave without installing.\n\n'
  for n in 1 2 3 4 5 6; do
    printf '%d. Sample clause %d: the software is provided as it is, without warranty of any kind, ' "$n" "$n"
    printf 'and the authors are not liable for any claim arising from its use.\n\n'
  done
} >"$W/license.txt"
printf '%s\n' "dialog 129" "snapshot $out/setupwiz-license.png" "click 1" \
  "dialog 102" "snapshot $out/setupwiz-main.png" "click 1" \
  "dialog 131" "snapshot $out/setupwiz-pilot-users.png" "end" >"$S/ui.script"
rm -f "$S/ui.log"
mkdir -p "$S/home"
HOME=$S/home XDG_DATA_HOME=$S/home/data BRIGHTFOLD_SYSTEM_DIR=$S/system \
  BRIGHTFOLD_UI_SCRIPT=$S/ui.script BRIGHTFOLD_UI_LOG=$S/ui.log "$W/setupwiz" >"$S/out.txt" 2>&1 || true
if [ "$(grep -c "^snapshot .* ok$" "$S/ui.log" 2>/dev/null)" != 3 ]; then
  echo "screenshots.sh: no pictures of setupwiz's dialogs:" >&2
  cat "$S/ui.log" "$S/out.txt" >&2 2>/dev/null || true
  exit 1
fi
printf '%s\n' "$out"/setupwiz-license.png "$out"/setupwiz-main.png "$out"/setupwiz-pilot-users.png
