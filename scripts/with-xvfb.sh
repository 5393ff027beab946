#!/usr/bin/env bash
# Runs a command on a display of its own: a new Xvfb (800x600, 24 bits, 96
# DPI) on a free display number, stopped when the command ends. Exits 77
# (skipped) when Xvfb is missing.
#   scripts/with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
command -v Xvfb >/dev/null || { echo "with-xvfb.sh: Xvfb is not installed" >&2; exit 77; }
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 5 -screen 0 800x600x24 -dpi 96 -nolisten tcp -wr 5>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r -t 20 display <"$fifo" || { echo "with-xvfb.sh: Xvfb did not start" >&2; exit 77; }
export DISPLAY=":$display"
unset WAYLAND_DISPLAY
# No D-Bus or accessibility bus under Xvfb: keep GTK from looking.
export NO_AT_BRIDGE=1 GTK_A11Y=none GDK_BACKEND=x11
"$@"
