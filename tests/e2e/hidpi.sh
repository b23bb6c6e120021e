#!/usr/bin/env bash
# End to end on a screen of device pixel ratio 2, set once with QT_SCALE_FACTOR
# and once with "Xft.dpi: 192" as a desktop sets it, against the same viewer
# at ratio 1: the window keeps its logical size (twice the device pixels);
# "Original size" shows each image pixel on one screen pixel; the information
# overlay's text keeps its logical size and is drawn at the screen's own
# resolution, not enlarged from ratio 1.
# Usage: hidpi.sh BUILD_DIR [SCREENSHOT_PREFIX]
set -euo pipefail
build=$1
prefix=${2:-$build/e2e-hidpi}
XVFB_SCREEN=2560x1600x24
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI

# 37 x 23, every pixel its own colour: a shift, a doubling or a smoothing of
# a single pixel shows.
awk 'BEGIN { w = 37; h = 23; print "P3"; print w, h; print 255
  for (y = 0; y < h; y++) for (x = 0; x < w; x++) print x * 7, y * 11, ((x + y) % 2) * 200 + (x * y) % 50 }' \
  >"$WORK/known.ppm"
convert "$WORK/known.ppm" -strip -define png:exclude-chunks=date,time "$WORK/known.png"

# Starts the viewer with the given environment, switches to "Original size"
# and the information overlay, and takes a screenshot. Sets WIDTH, HEIGHT, X,
# Y (the client area on the screen) and SHOT.
shoot() {
  local name=$1
  shift
  env "$@" "$build/velvane" /windowed "$WORK/known.png" &
  local pid=$!
  local wid
  wid=$(wait_window '^known\.png  \(37 x 23\)') || fail "$name: no viewer window"
  sleep 0.5
  xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
  xdotool key KP_Divide n
  xdotool mousemove 5 5  # away from the window: the panel hides
  sleep 1.6
  client_geometry "$wid"
  SHOT=$prefix-$name.png
  import -window root "$SHOT"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# The bounding box "w h x y" of the overlay's text below the picture, inside
# the client area.
text_box() {
  local top=$(($2 + ($4 - 23) / 2 + 23 + 4))
  convert "$SHOT" -crop "${3}x$(($2 + $4 - top))+$1+$top" +repage -bordercolor black -border 1 \
    -fuzz 3% -format '%@' info: | tr 'x+' '  ' | awk -v t="$top" -v x0="$1" '{ print $1, $2, $3 - 1 + x0, $4 - 1 + t }'
}

# The pixels of a text that averaging 2 x 2 blocks and enlarging them again
# changes: none when the text was enlarged by doubling its pixels.
finer_than_2x2() {
  convert "$1" -scale 50% -sample 200% "$WORK/doubled.png"
  local changed
  changed=$(compare -metric AE "$1" "$WORK/doubled.png" null: 2>&1 || true)
  echo "${changed%%.*}"
}

# The share of a text's ink on its soft edges, in per mille: a smoothly
# enlarged text has edges twice as wide, a text drawn at the finer
# resolution has them as narrow as at ratio 1.
soft_edges() {
  local ink solid
  ink=$(convert "$1" -colorspace gray -threshold 10% -format '%[fx:mean*w*h]' info:)
  solid=$(convert "$1" -colorspace gray -threshold 40% -format '%[fx:mean*w*h]' info:)
  awk -v a="$ink" -v b="$solid" 'BEGIN { printf "%d\n", 1000 * (a - b) / a }'
}

shoot ratio1
read -r w1 h1 <<<"$WIDTH $HEIGHT"
read -r tw1 th1 tx1 ty1 < <(text_box "$X" "$Y" "$WIDTH" "$HEIGHT")
[ "$tw1" -gt 100 ] && [ "$th1" -gt 30 ] || fail "no overlay text at ratio 1 (${tw1}x$th1)"
convert "$SHOT" -crop "${tw1}x$th1+$tx1+$ty1" +repage "$WORK/text1.png"
soft1=$(soft_edges "$WORK/text1.png")

check_ratio2() {
  local name=$1
  [ "$WIDTH" -eq $((2 * w1)) ] && [ "$HEIGHT" -eq $((2 * h1)) ] ||
    fail "$name: client ${WIDTH}x$HEIGHT is not twice ${w1}x$h1"

  # One image pixel per screen pixel, every one of them.
  local px=$((X + (WIDTH - 37) / 2)) py=$((Y + (HEIGHT - 23) / 2))
  local diff
  convert "$SHOT" -crop "37x23+$px+$py" +repage "$WORK/shown.png"
  diff=$(compare -metric AE "$WORK/shown.png" "$WORK/known.png" null: 2>&1 || true)
  [ "$diff" = "0" ] || fail "$name: the picture at +$px+$py differs from the image in $diff pixels"
  [ "$(pixel "$SHOT" $((px - 1)) $((py + 5)))" = "0,0,0" ] || fail "$name: the picture is wider than 37 pixels"
  [ "$(pixel "$SHOT" $((px + 37)) $((py + 5)))" = "0,0,0" ] || fail "$name: the picture is wider than 37 pixels"

  # The text keeps its logical size: twice the device pixels of ratio 1.
  local tw th tx ty
  read -r tw th tx ty < <(text_box "$X" "$Y" "$WIDTH" "$HEIGHT")
  [ $((tw - 2 * tw1)) -le $((tw1 / 25 + 2)) ] && [ $((2 * tw1 - tw)) -le $((tw1 / 25 + 2)) ] ||
    fail "$name: text block ${tw} wide, ratio 1 had $tw1"
  [ $((th - 2 * th1)) -le 3 ] && [ $((2 * th1 - th)) -le 3 ] || fail "$name: text block ${th} high, ratio 1 had $th1"

  # Crisp: drawn at device resolution, not enlarged from ratio 1 by doubling
  # (blocks aligned with the client area) or by smoothing.
  local ex=$(((tx - X) % 2)) ey=$(((ty - Y) % 2))
  convert "$SHOT" -crop "${tw}x${th}+$((tx - ex))+$((ty - ey))" +repage "$WORK/text.png"
  local fine soft
  fine=$(finer_than_2x2 "$WORK/text.png")
  [ "$fine" -gt $((tw * th / 20)) ] || fail "$name: the text is ratio 1's with doubled pixels ($fine finer than 2 x 2)"
  soft=$(soft_edges "$WORK/text.png")
  [ "$soft" -le $((soft1 * 6 / 5)) ] || fail "$name: the text is blurred: $soft per mille on soft edges, ratio 1 $soft1"
  echo "ok: $name client ${WIDTH}x$HEIGHT (ratio 1: ${w1}x$h1), picture 1:1 at +$px+$py," \
    "text ${tw}x$th (ratio 1: ${tw1}x$th1), $fine pixels finer than 2 x 2, soft edges $soft per mille (ratio 1: $soft1)"
}

shoot scale-factor QT_SCALE_FACTOR=2
check_ratio2 scale-factor

echo "Xft.dpi: 192" | xrdb -merge
shoot xft-dpi
check_ratio2 xft-dpi
