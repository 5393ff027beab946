#!/usr/bin/env bash
# Runs dialog_layouts with a backend on a display of its own and compares
# the layout report with the expected one: the client size and base units of
# each dialog, and each control's kind and rectangle (the text widths differ
# with the font and are left out).
#   layouts.sh EXPECTED [--without PREFIX] BACKEND COMMAND...
# --without leaves out the dialogs whose names begin with PREFIX (a program
# built without them).
# Exit status: 0 equal, 1 different, 77 when the backend cannot run here.
set -euo pipefail
expected=$1
shift
without=
if [ "$1" = --without ]; then without=$2; shift 2; fi
backend=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v p="$without" '$1 == "#" { skip = p != "" && index($2, p) == 1 } !skip' "$expected" >"$work/expected.txt"
expected_name=$expected expected=$work/expected.txt
cd "$work"
: >empty.script
export BRIGHTFOLD_UI=$backend BRIGHTFOLD_UI_SCRIPT=empty.script BRIGHTFOLD_UI_REPORT=report.txt
status=0
bash "$here/../../scripts/with-xvfb.sh" "$@" report.txt >out.txt 2>&1 || status=$?
if [ "$status" = 77 ]; then cat out.txt >&2; exit 77; fi
if [ ! -s report.txt ] || ! grep -q '^dialog ' report.txt; then
  echo "layouts.sh: no layout from the $backend backend (exit $status)" >&2
  cat out.txt >&2
  exit 1
fi
tr -d '\r' <report.txt | awk '$1 == "control" { print $1, $2, $3, $4, $5, $6, $7; next } { print }' >got.txt
if ! diff -u "$expected" got.txt; then
  echo "layouts.sh: the $backend backend's layout differs from $expected_name (above)" >&2
  exit 1
fi
