#!/usr/bin/env bash
# End to end: the real viewer under Xvfb opens a known image, given as its
# folder (the oldest picture comes first in the factory date order); the
# screenshot shows it where the view geometry puts it, and the title is the
# caption. A damaged file then says so in the middle of the picture area.
# Usage: show_image.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-show-image.png}
source "$(dirname "$0")/xvfb_session.sh"

# 300 x 200: left half red, right half blue; and a newer picture beside it.
mkdir -p "$WORK/album"
convert -size 150x200 xc:'#ff0000' -size 150x200 xc:'#0000ff' +append "$WORK/album/known.png"
convert -size 40x40 xc:'#00ff00' "$WORK/album/newer.png"
touch -d '2020-01-01 12:00' "$WORK/album/known.png"

"$build/velvane" /windowed "$WORK/album" &
PIDS+=($!)
wid=$(wait_window '^known\.png  \(300 x 200\) - Velvane Photo Viewer$') || fail "no window with the caption"
sleep 0.5
title=$(xdotool getwindowname "$wid")
[ "$title" = "known.png  (300 x 200) - Velvane Photo Viewer" ] || fail "title is '$title'"

client_geometry "$wid"
import -window root "$shot_out"

# The picture is smaller than the window, so with the factory settings it is
# enlarged to fit; the wider of the two ratios decides the limiting side.
read -r dx dy dw dh < <(awk -v cw="$WIDTH" -v ch="$HEIGHT" 'BEGIN {
  ir = 300 / 200; wr = cw / ch
  if (ir > wr) { w = cw; h = sprintf("%.0f", w / ir) } else { h = ch; w = sprintf("%.0f", h * ir) }
  printf "%d %d %d %d\n", int((cw - w) / 2), int((ch - h) / 2), w, h }')

sx=$((X + dx)); sy=$((Y + dy))
[ "$(pixel "$shot_out" $((sx + dw / 4)) $((sy + dh / 2)))" = "255,0,0" ] || fail "left half is not red"
[ "$(pixel "$shot_out" $((sx + 3 * dw / 4)) $((sy + dh / 2)))" = "0,0,255" ] || fail "right half is not blue"
[ "$(pixel "$shot_out" $((sx + 1)) $((sy + 1)))" = "255,0,0" ] || fail "top-left corner of the picture is not red"
[ "$(pixel "$shot_out" $((sx + dw - 2)) $((sy + dh - 2)))" = "0,0,255" ] || fail "bottom-right corner is not blue"
if [ "$dy" -gt 1 ]; then
  [ "$(pixel "$shot_out" $((X + WIDTH / 2)) $((Y + dy / 2)))" = "0,0,0" ] || fail "band above the picture is not black"
fi
if [ "$dx" -gt 1 ]; then
  [ "$(pixel "$shot_out" $((X + dx / 2)) $((Y + HEIGHT / 2)))" = "0,0,0" ] || fail "band left of the picture is not black"
fi
echo "ok: window ${WIDTH}x${HEIGHT} at $X,$Y, picture ${dw}x${dh} at +$dx+$dy; screenshot $shot_out"

# A damaged JPEG: the caption names it at 0 x 0, and the message box says why
# in the middle of the window.
printf '\377\330\377\340garbage' >"$WORK/damaged.jpg"
problem_shot="${shot_out%.png}-damaged.png"
"$build/velvane" /windowed "$WORK/damaged.jpg" &
PIDS+=($!)
wid=$(wait_window '^damaged\.jpg  \(0 x 0\) - Velvane Photo Viewer$') || fail "no window for the damaged file"
sleep 0.5
client_geometry "$wid"
import -window root "$problem_shot"
boxed=$(convert "$problem_shot" -crop "${WIDTH}x40+$X+$((Y + HEIGHT / 2 - 20))" +repage txt:- | grep -c '#905656' || true)
[ "$boxed" -gt 200 ] || fail "no message box in the middle of the window ($boxed pixels); screenshot $problem_shot"
echo "ok: the damaged file says why ($boxed pixels of its box); screenshot $problem_shot"
