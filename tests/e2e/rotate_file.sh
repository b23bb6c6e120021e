#!/usr/bin/env bash
# End to end: F7 in the real viewer turns the picture on screen and rewrites
# the file, turned, with its EXIF orientation saying upright; the caption keeps
# the size as loaded. The file has a second name and a tag in an extended
# attribute: both names show the turned picture, and the tag stays.
# Usage: rotate_file.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-rotate.png}
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"

# 320 x 160: left half red, right half blue, stored as a JPEG.
convert -size 160x160 xc:'#ff0000' -size 160x160 xc:'#0000ff' +append -quality 95 "$WORK/wide.jpg"
mkdir "$WORK/album"
ln "$WORK/wide.jpg" "$WORK/album/same.jpg"
setfattr -n user.xdg.tags -v holiday "$WORK/wide.jpg"

"$build/velvane" /windowed "$WORK/wide.jpg" &
PIDS+=($!)
wid=$(wait_window '^wide\.jpg  \(320 x 160\) - Velvane Photo Viewer$') || fail "no viewer window"
sleep 0.5
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key F7
for _ in $(seq 50); do
  [ "$(identify -format '%wx%h' "$WORK/wide.jpg")" = "160x320" ] && break
  sleep 0.1
done
[ "$(identify -format '%wx%h' "$WORK/wide.jpg")" = "160x320" ] || fail "the file was not turned"
[ "$(exiftool -s3 -n -Orientation "$WORK/wide.jpg")" = "1" ] || fail "the orientation is not 1"
[ "$(identify -format '%wx%h' "$WORK/album/same.jpg")" = "160x320" ] || fail "the file's second name shows the old picture"
[ "$(getfattr --only-values -n user.xdg.tags "$WORK/wide.jpg")" = "holiday" ] || fail "the file lost its tag"
sleep 0.3
title=$(xdotool getwindowname "$wid")
[ "$title" = "wide.jpg  (320 x 160) - Velvane Photo Viewer" ] || fail "title is '$title'"

client_geometry "$wid"
import -window root "$shot_out"
# Turned clockwise, the red half is on top, fitted to the client height.
cx=$((X + WIDTH / 2))
close() {  # the pixel is near the colour "r,g,b" (JPEG)
  awk -v a="$1" -v b="$2" 'BEGIN { split(a, p, ","); split(b, q, ",");
    for (i = 1; i <= 3; i++) if (p[i] - q[i] > 40 || q[i] - p[i] > 40) exit 1 }'
}
close "$(pixel "$shot_out" "$cx" $((Y + HEIGHT / 4)))" "255,0,0" || fail "the top of the picture is not red"
close "$(pixel "$shot_out" "$cx" $((Y + 3 * HEIGHT / 4)))" "0,0,255" || fail "the bottom of the picture is not blue"
close "$(pixel "$shot_out" $((X + 5)) $((Y + HEIGHT / 2)))" "0,0,0" || fail "the band left of the picture is not black"
echo "ok: file turned to 160x320 with orientation 1, under both names, tag kept; screenshot $shot_out"
