#!/usr/bin/env bash
# End to end: a bright photo, then the next file of the folder, a 96-bit float
# image (a colour Portable Floatmap): it is shown as ImageMagick shows it, and
# nothing of the photo stays on screen.
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
# The float picture fills the middle in ImageMagick's colour of it, and no
# pixel of the client area keeps the photo's yellow.
want=$(convert "$WORK/b.pfm" -colorspace sRGB -depth 8 -format '%[fx:int(255*p{150,100}.r+0.5)],%[fx:int(255*p{150,100}.g+0.5)],%[fx:int(255*p{150,100}.b+0.5)]' info:)
got=$(pixel "$shot_out" $((X + WIDTH / 2)) $((Y + HEIGHT / 2)))
awk -v a="$want" -v b="$got" 'BEGIN { split(a, p, ","); split(b, q, ",");
  for (i = 1; i <= 3; i++) if (p[i] - q[i] > 2 || q[i] - p[i] > 2) exit 1 }' ||
  fail "the float picture shows $got, ImageMagick makes it $want"
yellow=$(convert "$shot_out" -crop "${WIDTH}x$((HEIGHT - 40))+${X}+${Y}" +repage txt:- | grep -ci '#FFD020' || true)
[ "$yellow" = "0" ] || fail "$yellow pixels of the photo stay on screen"
echo "ok: after the photo the float image shows as ImageMagick shows it ($got); screenshot $shot_out"
