#!/usr/bin/env bash
# End to end: Ctrl+O opens the options dialog over the real viewer; a hotkey
# captured in its list with real key presses runs its command after OK, and
# is saved. Opened again, the dialog shows at the same place each time.
# Usage: options_hotkey.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-options.png}
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"

mkdir "$WORK/photos"
convert -size 300x200 xc:'#204080' "$WORK/photos/a.png"
convert -size 320x200 xc:'#802040' "$WORK/photos/b.png"
"$build/velvane" /windowed "$WORK/photos/a.png" &
PIDS+=($!)
wid=$(wait_window '^a\.png  \(300 x 200\)') || fail "no viewer window"
sleep 0.5
focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }
focus "$wid"

xdotool key ctrl+o
did=$(wait_window '^Options$') || fail "Ctrl+O did not open the options dialog"
sleep 0.5
client_geometry "$did"
first_place="$X $Y"
# The dialog is laid out at 96 pixels per inch and scaled with the screen.
[ "$((WIDTH * 429))" -eq "$((HEIGHT * 621))" ] || fail "the dialog is ${WIDTH}x${HEIGHT}, not 621 x 429 scaled"
at() {  # screen x and y of a design point of the dialog
  awk -v w="$WIDTH" -v x0="$X" -v y0="$Y" -v dx="$1" -v dy="$2" \
    'BEGIN { s = w / 621; printf "%d %d\n", x0 + dx * s, y0 + dy * s }'
}
# The list sits at 302, 36 in the dialog under a 19-pixel header, rows 17 high;
# the point is right in the "Hotkey" column, clear of its text.
row_point() { at 565 $((36 + 19 + 17 * $1 + 8)); }

read -r rx ry < <(row_point 1)  # "Next photo", on Space
xdotool mousemove "$rx" "$ry" click 1
sleep 0.2
xdotool key F9
sleep 0.3
import -window root "$shot_out"

# The selected row is drawn highlighted, the next one on the list's white.
IFS=, read -r nr ng nb <<<"$(pixel "$shot_out" "$rx" "$ry")"
[ "$nb" -gt "$nr" ] && [ "$nb" -gt 100 ] || fail "row 1 is not shown selected ($nr,$ng,$nb)"
read -r wx wy < <(row_point 2)
[ "$(pixel "$shot_out" "$wx" "$wy")" = "255,255,255" ] || fail "row 2 is not on white"

read -r ox oy < <(at 445 411)  # Ok
xdotool mousemove "$ox" "$oy" click 1
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Options$' >/dev/null 2>&1 || break
  sleep 0.1
done
! xdotool search --onlyvisible --name '^Options$' >/dev/null 2>&1 || fail "Ok did not close the dialog"

hive="$XDG_CONFIG_HOME/velvane/registry-hkcu.txt"
grep -qi '^"HOTKEY1"=dword:0*78$' "$hive" || fail "F9 (0x78) was not saved for row 1"

focus "$wid"
xdotool key space  # no longer Next
sleep 0.5
[ "$(xdotool getwindowname "$wid")" = "a.png  (300 x 200) - Velvane Photo Viewer" ] || fail "Space still runs Next"
xdotool key F9
wait_window '^b\.png  \(320 x 200\)' >/dev/null || fail "F9 did not show the next image"

# Shown again and again under a window manager, it does not creep down by
# the height of its title bar.
for i in 2 3 4; do
  focus "$wid"
  xdotool key ctrl+o
  did=$(wait_window '^Options$') || fail "Ctrl+O did not open the options dialog again"
  sleep 0.3
  client_geometry "$did"
  [ "$X $Y" = "$first_place" ] || fail "showing $i put the dialog at $X $Y, the first at $first_place"
  xdotool key Escape
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Options$' >/dev/null 2>&1 || break
    sleep 0.1
  done
done
echo "ok: Ctrl+O opened the options; F9 captured for Next, saved, and runs it; the dialog stays in place; screenshot $shot_out"
