#!/usr/bin/env bash
# End to end: a bright photo, then the next file of the folder, a 96-bit float
# image (a colour Portable Floatmap) that cannot be shown: nothing of the photo stays on screen, only the
# black background under the new caption.
# Usage: float_after_photo.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-float-after-photo.png}
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"

convert -size 300x200 xc:'#ffd020' "$WORK/a.png"
convert -size 300x200 xc:'#ff8000' -endian LSB "$WORK/b.pfm"
[ "$(head -c 2 "$WORK/b.pfm")" = "PF" ] || fail "no colour floatmap was made"
touch -d '2020-01-01 10:00' "$WORK/a.png"  # by date (the factory order): a, then b
touch -d '2020-01-01 11:00' "$WORK/b.pfm"

"$build/velvane" /windowed "$WORK/a.png" &
PIDS+=($!)
wid=$(wait_window '^a\.png  \(300 x 200\)') || fail "no viewer window"
sleep 0.5
client_geometry "$wid"
import -window root "$WORK/photo.png"
[ "$(pixel "$WORK/photo.png" $((X + WIDTH / 2)) $((Y + HEIGHT / 2)))" != "0,0,0" ] || fail "the photo is not shown"

xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key space
wait_window '^b\.pfm  \(300 x 200\) - Velvane Photo Viewer$' >/dev/null || fail "Space did not open the float image"
sleep 0.5
client_geometry "$wid"
import -window root "$shot_out"
# Every pixel of the client area but its bottom strip (the hint line) is black.
brightest=$(convert "$shot_out" -crop "${WIDTH}x$((HEIGHT - 40))+${X}+${Y}" +repage -format '%[max]' info:)
[ "$brightest" = "0" ] || fail "the client area is not all background (brightest value $brightest)"
echo "ok: after the float image the window shows only the background; screenshot $shot_out"
