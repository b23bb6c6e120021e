#!/usr/bin/env bash
# End to end: a real pointer move over the viewer shows the glyph panel, which
# is gone about a second later; Enter toggles full screen.
# Usage: panel_and_fullscreen.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-panel.png}
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"

convert -size 300x200 xc:'#204080' "$WORK/dark.png"
"$build/velvane" /windowed "$WORK/dark.png" &
PIDS+=($!)
wid=$(wait_window '^dark\.png  \(300 x 200\)') || fail "no viewer window"
client_geometry "$wid"
# Give the first timer ticks time to pass: the panel shown at start hides.
sleep 1.5

# The panel's buttons sit in the bottom strip, centred: sample its row.
strip_y=$((Y + HEIGHT - 12))
count_light() {  # light pixels along the strip (button faces are light grey)
  convert "$1" -crop "${WIDTH}x1+${X}+${strip_y}" +repage -colorspace gray -threshold 60% \
    -format "%[fx:int(mean*w+0.5)]" info:
}
import -window root "$WORK/before.png"
[ "$(count_light "$WORK/before.png")" -lt 5 ] || fail "the panel is showing before any pointer movement"

xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 3))
sleep 0.1
xdotool mousemove $((X + WIDTH / 2 + 7)) $((Y + HEIGHT / 3 + 3))
sleep 0.3
import -window root "$shot_out"
[ "$(count_light "$shot_out")" -gt 50 ] || fail "no panel after the pointer moved"

sleep 1.5
import -window root "$WORK/after.png"
[ "$(count_light "$WORK/after.png")" -lt 5 ] || fail "the panel is still showing a second after the pointer stopped"

xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key Return
for _ in $(seq 50); do
  client_geometry "$wid"
  [ "$WIDTH" -eq 1280 ] && [ "$HEIGHT" -eq 800 ] && break
  sleep 0.1
done
[ "$WIDTH" -eq 1280 ] && [ "$HEIGHT" -eq 800 ] || fail "Enter did not make the window cover the screen (${WIDTH}x${HEIGHT})"
echo "ok: panel shown on movement and hidden after a second; Enter gave full screen; screenshot $shot_out"
