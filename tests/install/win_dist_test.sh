#!/usr/bin/env bash
# The Windows distribution end to end under Wine: the dist target's folder is
# installed with setupwiz.exe and a scripted answer file, a HotSync through
# the stand-in hotsync.exe loads gridlink.dll as notifier from the system
# folder, and setupwiz.exe /d uninstalls. Everything lives in a private hive
# (BRIGHTFOLD_HIVE), system folder and handheld under BUILD_DIR.
#   win_dist_test.sh BUILD_DIR SOURCE_DIR
# Exit status 77 (skipped) where Wine cannot run the programs or no Linux
# build of the tree is there to write the user guide.
set -euo pipefail
build=$(cd "$1" && pwd) source=$(cd "$2" && pwd)
run() { "$source/scripts/wine-run.sh" "$@"; }
# A Unix path as Wine's drive Z: shows it.
win() { local p=${1//\//\\}; echo "Z:$p"; }

if ! out=$(cmake --build "$build" --target dist 2>&1); then
  if grep -q "quillo-addin could not write the user guide" <<<"$out"; then
    echo "no Linux build to write the user guide (BRIGHTFOLD_HOST_BUILD_DIR): skipped"
    exit 77
  fi
  echo "$out"
  exit 1
fi

box=$build/win-dist-test
rm -rf "$box"
mkdir -p "$box/system" "$box/handheld" "$box/palm"
cp -r "$build/dist" "$box/dist"
export BRIGHTFOLD_HIVE BRIGHTFOLD_SYSTEM_DIR BRIGHTFOLD_HANDHELD BRIGHTFOLD_UI=scripted
BRIGHTFOLD_HIVE=$(win "$box/hive.reg")
BRIGHTFOLD_SYSTEM_DIR=$(win "$box/system")
BRIGHTFOLD_HANDHELD=$(win "$box/handheld")
export BRIGHTFOLD_UI_SCRIPT=$(win "$box/ui-script.txt") BRIGHTFOLD_UI_LOG=$(win "$box/ui-log.txt")
target=$(win "$box/target")

status=0
hotsync() { run "$build/bin/hotsync.exe" "$@"; }
step() {  # step WHAT COMMAND...: stops at a skip or a failure
  local rc=0
  "${@:2}" >"$box/out.txt" 2>&1 || rc=$?
  [ $rc = 77 ] && { echo "Wine cannot run the programs here: skipped"; exit 77; }
  [ $rc = 0 ] || { echo "$1 failed ($rc):"; cat "$box/out.txt" "$box/ui-log.txt" 2>/dev/null; exit 1; }
}
expect() {  # expect TEXT: the last step's output holds TEXT
  grep -qF -- "$1" "$box/out.txt" || { echo "missing: $1"; cat "$box/out.txt"; status=1; }
}

# The Palm Desktop stand-in: hotsync.exe, CondMgr.dll and Instaide.dll in bin/.
step desktop hotsync desktop
step user hotsync users add Ann --id 1001 --folder "$(win "$box/palm/Ann")"

printf 'dialog 129\nclick 1\ndialog 102\ntype 1008 %s\nclick 1\nyes\nok\nok\n' "$target" >"$box/ui-script.txt"
step install run "$box/dist/setupwiz.exe"
for file in gridlink.dll textlink.dll; do
  [ -f "$box/system/$file" ] || { echo "not installed: $file"; status=1; }
done
step notifiers hotsync notifiers list
expect gridlink.dll

step sync hotsync sync --user Ann
expect "gridlink.dll loaded"
expect "HS_SYNC_SUCCESS to 1 notifier(s)"

printf 'dialog 102\nclick 1\nok\nok\n' >"$box/ui-script.txt"
step uninstall run "$box/target/setupwiz.exe" /d
step notifiers hotsync notifiers list
[ ! -s "$box/out.txt" ] || { echo "notifier left after the uninstall:"; cat "$box/out.txt"; status=1; }
[ ! -e "$box/system/gridlink.dll" ] || { echo "gridlink.dll left in the system folder"; status=1; }
exit $status
