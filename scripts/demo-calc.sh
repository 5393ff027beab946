#!/usr/bin/env bash
# The Calc add-in end to end in a sandbox, when LibreOffice is installed: a
# real .xls workbook is made in a headless Calc with the extension
# (build/addins/brightfold-addins.oxt) in a fresh profile, linked for the
# HotSync user Ann, saved (the save exports it), HotSynced to the simulated
# handheld, edited there, HotSynced back and opened again in Calc, which
# loads the handheld's newer book; saved as .xls and reopened, the cells
# are the edited ones. Ends with DEMO PASSED, DEMO FAILED or DEMO SKIPPED
# (LibreOffice or python3-uno missing: scripts/install-deps.sh installs them).
#
# BRIGHTFOLD_BUILD_DIR names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BRIGHTFOLD_BUILD_DIR:-$PWD/build}
if ! command -v soffice >/dev/null || ! /usr/bin/python3 -c 'import uno' 2>/dev/null; then
  echo "DEMO SKIPPED: LibreOffice with python3-uno is not installed (scripts/install-deps.sh)"
  exit 0
fi
if [ -z "${BRIGHTFOLD_BUILD_DIR:-}" ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    scripts/install-deps.sh
    gen=()
    command -v ninja >/dev/null && gen=(-G Ninja)
    cmake -S . -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" \
    --target hotsync tabulo-addin libreoffice-addin >/dev/null
fi
BRIGHTFOLD_BUILD_DIR=$build exec /usr/bin/python3 scripts/demo_calc.py
