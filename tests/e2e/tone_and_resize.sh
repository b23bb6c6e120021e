#!/usr/bin/env bash
# End to end: on the real viewer, Ctrl+keypad + lightens the picture on
# screen and G turns it grey; P opens the "Resize to" dialog, where real key
# presses set the width, the height follows, and Ok resizes and (with the
# automatic save on) writes the resized file with the file's own colours.
# Usage: tone_and_resize.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-resize-dialog.png}
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"
printf '"AutoSaveAfterResize"=dword:00000001\n' >>"$XDG_CONFIG_HOME/velvane/registry-hkcu.txt"

mkdir "$WORK/photos"
photo=$WORK/photos/a.png
convert -size 300x200 xc:'#204080' "PNG24:$photo"  # 24-bit: a 1-bit palette would be greyed to be scaled
"$build/velvane" /windowed "$photo" &
PIDS+=($!)
wid=$(wait_window '^a\.png  \(300 x 200\)') || fail "no viewer window"
sleep 0.5
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
client_geometry "$wid"
centre() {
  import -window root "$WORK/shot.png"
  pixel "$WORK/shot.png" $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
}
[ "$(centre)" = "32,64,128" ] || fail "the picture is not shown as it is ($(centre))"

xdotool key ctrl+KP_Add
sleep 0.5
IFS=, read -r r g b <<<"$(centre)"
[ "$r" -gt 32 ] && [ "$g" -gt 64 ] && [ "$b" -gt 128 ] || fail "gamma + did not lighten the picture ($r,$g,$b)"
xdotool key g
sleep 0.5
IFS=, read -r r g b <<<"$(centre)"
[ "$r" = "$g" ] && [ "$g" = "$b" ] || fail "G did not turn the picture grey ($r,$g,$b)"

xdotool key p
did=$(wait_window '^Resize to$') || fail "P did not open the resize dialog"
sleep 0.5
client_geometry "$did"
# Laid out at 96 pixels per inch and scaled with the screen.
[ "$((WIDTH * 174))" -eq "$((HEIGHT * 314))" ] || fail "the dialog is ${WIDTH}x${HEIGHT}, not 314 x 174 scaled"
# The focus starts on Ok; four tabs reach the width box.
xdotool key Tab Tab Tab Tab ctrl+a
xdotool type --delay 50 "x150"  # the x is not taken
sleep 0.3
import -window root "$shot_out"
xdotool key Tab Tab Return  # the height box, then Ok
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Resize to$' >/dev/null 2>&1 || break
  sleep 0.1
done
! xdotool search --onlyvisible --name '^Resize to$' >/dev/null 2>&1 || fail "Ok did not close the dialog"
for _ in $(seq 50); do
  [ "$(identify -format %wx%h "$photo")" = "150x100" ] && break
  sleep 0.1
done
size=$(identify -format %wx%h "$photo")
[ "$size" = "150x100" ] || fail "the file is $size, not 150x100"
# Resized from the file: the unsaved gamma and grey-scale are not in it.
[ "$(pixel "$photo" 75 50)" = "32,64,128" ] || fail "the saved picture is $(pixel "$photo" 75 50)"
echo "ok: gamma and grey-scale shown; the dialog took 150, the height followed, the file is 150x100;" \
  "screenshot $shot_out"
