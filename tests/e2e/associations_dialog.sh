#!/usr/bin/env bash
# End to end: a first run shows the associations dialog before the main
# window, every format checked, even when the first picture takes the
# decoder over a second; Esc closes it without touching the registry or the
# desktop's defaults, and the main window follows. Help there, with no web
# browser on the machine, says so in a message.
# Usage: associations_dialog.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-associations.png}
source "$(dirname "$0")/xvfb_session.sh"
first_run_again
start_window_manager || fail "no window manager"

slow_jpeg "$WORK/slow.jpg" 300

"$build/velvane" /windowed "$WORK/slow.jpg" &
PIDS+=($!)
wid=
for _ in $(seq 150); do
  xdotool search --onlyvisible --name 'Velvane Photo Viewer$' >/dev/null 2>&1 &&
    fail "the main window came before the dialog"
  wid=$(xdotool search --onlyvisible --name '^File Associations$' 2>/dev/null | head -n1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no associations dialog on the first run"
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

# Help on a desktop without a web browser: the menu (M), its third entry from
# the bottom, and a message instead of nothing.
main=$(wait_window 'Velvane Photo Viewer$')
xdotool windowactivate --sync "$main" key m
sleep 0.3
xdotool key Up Up Up Return
box=$(wait_window '^Velvane Photo Viewer$') || fail "no message when Help finds no web browser"
sleep 0.3
import -window root "${shot_out%.png}-help.png"
xdotool windowactivate --sync "$box" key Return
echo "associations dialog: ok; help without a browser: message shown"
