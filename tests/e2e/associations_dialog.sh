#!/usr/bin/env bash
# End to end: a first run shows the associations dialog before the main
# window, every format checked; Esc closes it without touching the registry
# or the desktop's defaults, and the main window follows.
# Usage: associations_dialog.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-associations.png}
source "$(dirname "$0")/xvfb_session.sh"
first_run_again
start_window_manager || fail "no window manager"

"$build/velvane" /windowed "$build/samples/A_beautiful_Sky.jpg" &
PIDS+=($!)
wid=$(wait_window '^File Associations$') || fail "no associations dialog on the first run"
sleep 0.5
xdotool search --onlyvisible --name 'Velvane Photo Viewer$' >/dev/null 2>&1 && fail "the main window came before the dialog"
client_geometry "$wid"
import -window root "$shot_out"
# Designed as 551 x 481 at 120 pixels per inch, scaled as a whole.
awk -v w="$WIDTH" -v h="$HEIGHT" 'BEGIN { d = w * 481 - h * 551; exit !(d < 1000 && d > -1000 && w >= 400) }' ||
  fail "dialog is $WIDTH x $HEIGHT, not 551 x 481 scaled"

xdotool windowactivate --sync "$wid" key Escape
wait_window 'Velvane Photo Viewer$' >/dev/null || fail "no main window after Esc"
[ ! -e "$XDG_CONFIG_HOME/mimeapps.list" ] || fail "Esc wrote mimeapps.list"
[ ! -e "$XDG_DATA_HOME/applications/org.norquill.Velvane.desktop" ] || fail "Esc wrote the desktop entry"
grep -q 'Classes' "$XDG_CONFIG_HOME/velvane/registry-hkcu.txt" && fail "Esc wrote associations"
grep -qi '"FirstRun"=dword:00000000' "$XDG_CONFIG_HOME/velvane/registry-hkcu.txt" || fail "FirstRun not stored as done"
echo "associations dialog: ok"
