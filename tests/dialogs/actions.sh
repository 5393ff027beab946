#!/usr/bin/env bash
# Plays actions.script on dialog_layouts with a backend on a display of its
# own and compares the script's log with the expected one.
#   actions.sh BACKEND COMMAND...
# Exit status: 0 equal, 1 different, 77 when the backend cannot run here.
set -euo pipefail
backend=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/actions.script" "$work/"
cd "$work"
export BRIGHTFOLD_UI=$backend BRIGHTFOLD_UI_SCRIPT=actions.script BRIGHTFOLD_UI_LOG=actions.log
status=0
bash "$here/../../scripts/with-xvfb.sh" "$@" report.txt >out.txt 2>&1 || status=$?
if [ "$status" = 77 ]; then cat out.txt >&2; exit 77; fi
tr -d '\r' <actions.log 2>/dev/null | sed -n '1,/^dialog 131 closed/p' >got.log || true
if ! diff -u "$here/expected_actions.log" got.log; then
  echo "actions.sh: the $backend backend's log differs (above)" >&2
  cat out.txt >&2
  exit 1
fi
