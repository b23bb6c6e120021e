#!/usr/bin/env bash
# End to end: `cmake --install` into a staging folder (DESTDIR, prefix /usr)
# gives a viewer that runs from there with nothing else copied: it finds its
# sample under share/velvane/, draws the panel's glyphs with the system's icon
# font, gives the window its icon, and opens a file named like one of Qt's
# options when it comes after "--". The installed desktop entry, metainfo and
# MIME package pass their validators.
# Usage: installed_viewer.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-installed.png}
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"

stage=$WORK/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$WORK/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$WORK/install.log")"
share=$stage/usr/share
for f in usr/bin/velvane usr/bin/velvane-orient usr/share/velvane/samples/A_beautiful_Sky.jpg \
  usr/share/velvane/res/icons/JPEG.ico usr/share/velvane/res/icons/OTHER.ico \
  usr/share/velvane/res/mime/org.norquill.Velvane.xml usr/share/velvane/res/help/index.html \
  usr/share/applications/org.norquill.Velvane.desktop usr/share/metainfo/org.norquill.Velvane.metainfo.xml \
  usr/share/mime/packages/org.norquill.Velvane.xml usr/share/icons/hicolor/scalable/apps/org.norquill.Velvane.svg \
  usr/share/man/man1/velvane.1 usr/share/man/man1/velvane-orient.1; do
  [ -f "$stage/$f" ] || fail "not installed: $f"
done
for size in 48 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/org.norquill.Velvane.png
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "the ${size} pixel icon is not ${size} pixels"
done
# The icon font is the system's: no copy of it is installed.
[ -z "$(find "$stage" -name '*.ttf')" ] || fail "a font file was installed"

desktop-file-validate "$share/applications/org.norquill.Velvane.desktop" || fail "desktop-file-validate"
appstreamcli validate --pedantic --no-net "$share/metainfo/org.norquill.Velvane.metainfo.xml" >"$WORK/as.log" 2>&1 ||
  fail "appstreamcli: $(cat "$WORK/as.log")"
! grep -E '^(E|W): ' "$WORK/as.log" || fail "appstreamcli reports errors or warnings"
XDG_DATA_DIRS="$share:/usr/share" update-mime-database "$share/mime" >"$WORK/mime.log" 2>&1 || fail "update-mime-database: $(cat "$WORK/mime.log")"
[ ! -s "$WORK/mime.log" ] || fail "update-mime-database: $(cat "$WORK/mime.log")"
grep -q '^image/x-portable-floatmap:\*\.pfm$' "$share/mime/globs" || fail "the MIME package does not declare *.pfm"

viewer=$stage/usr/bin/velvane
# Help and version need no display.
env -u DISPLAY "$viewer" --help | grep -q -- '--windowed' || fail "--help"
[ "$(env -u DISPLAY "$viewer" --version)" = "Velvane Photo Viewer 1.5.2" ] || fail "--version"

# No argument: the sample, in a window, from a folder that holds nothing of the viewer's.
mkdir -p "$WORK/elsewhere"
(cd "$WORK/elsewhere" && exec "$viewer") &
PIDS+=($!)
wid=$(wait_window '^A_beautiful_Sky\.jpg  \([0-9]+ x [0-9]+\) - Velvane Photo Viewer$') || fail "no window showing the sample"
read -r iw ih < <(xdotool getwindowname "$wid" | sed -E 's/.*\(([0-9]+) x ([0-9]+)\).*/\1 \2/')
client_geometry "$wid"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 3))
sleep 0.1
xdotool mousemove $((X + WIDTH / 2 + 7)) $((Y + HEIGHT / 3 + 3))
sleep 0.4
import -window root "$shot_out"

# The sample, fitted: the window's centre region matches the photograph
# scaled the same way.
read -r dx dy dw dh < <(awk -v cw="$WIDTH" -v ch="$HEIGHT" -v iw="$iw" -v ih="$ih" 'BEGIN {
  ir = iw / ih; wr = cw / ch
  if (ir > wr) { w = cw; h = sprintf("%.0f", w / ir) } else { h = ch; w = sprintf("%.0f", h * ir) }
  printf "%d %d %d %d\n", int((cw - w) / 2), int((ch - h) / 2), w, h }')
region="$((dw / 2))x$((dh / 3))+$((dw / 4))+$((dh / 6))"
convert "$shot_out" -crop "${dw}x${dh}+$((X + dx))+$((Y + dy))" +repage -crop "$region" +repage "$WORK/shown.png"
convert "$share/velvane/samples/A_beautiful_Sky.jpg" -filter point -resize "${dw}x${dh}!" -crop "$region" +repage \
  "$WORK/expected.png"
rmse=$( (compare -metric RMSE "$WORK/shown.png" "$WORK/expected.png" null: 2>&1 || true) | sed -E 's/.*\((.*)\)/\1/')
awk -v e="$rmse" 'BEGIN { exit !(e < 0.08) }' || fail "the window does not show the sample (RMSE $rmse)"

# The glyphs: five buttons of the panel, each a different picture. Empty
# boxes would all look alike, and so would letters ("O" for both
# "Original size" and "Options").
scale=$(awk -v w="$WIDTH" 'BEGIN { printf "%.4f", w / 786 }')
s() { awk -v v="$1" -v k="$scale" 'BEGIN { printf "%d", v * k + 0.5 }'; }
row_left=$(((WIDTH - $(s 621)) / 2))
row_top=$((HEIGHT - $(s 49)))
crops=()
for left in 68 106 145 185 419; do
  out=$WORK/glyph-$left.png
  convert "$shot_out" -crop "$(($(s 32) - 8))x$(($(s 25) - 8))+$((X + row_left + $(s "$left") + 4))+$((Y + row_top + $(s 13) + 4))" \
    +repage -colorspace gray -threshold 50% "$out"
  ink=$(convert "$out" -negate -format '%[fx:int(mean*w*h+0.5)]' info:)
  [ "$ink" -ge 8 ] || fail "no glyph on the button at $left ($ink dark pixels)"
  crops+=("$out")
done
for ((i = 0; i < ${#crops[@]}; i++)); do
  for ((j = i + 1; j < ${#crops[@]}; j++)); do
    diff=$(compare -metric AE "${crops[i]}" "${crops[j]}" null: 2>&1 || true)
    [ "${diff%%.*}" -ge 6 ] || fail "buttons ${crops[i]##*/} and ${crops[j]##*/} show the same picture"
  done
done

# The desktop knows the window: its icon is set.
icons=$(xprop -id "$wid" _NET_WM_ICON)
grep -q 'Icon (48 x 48)' <<<"$icons" || fail "the window has no 48 pixel icon"
[ "$(xprop -id "$wid" WM_CLASS)" = 'WM_CLASS(STRING) = "velvane", "velvane"' ] ||
  fail "the window class is not the desktop entry's StartupWMClass"

# A file named like a Qt option, after "--", is the file.
convert -size 30x20 xc:'#336699' "png:$WORK/elsewhere/-session"
(cd "$WORK/elsewhere" && exec "$viewer" /windowed -- -session) &
PIDS+=($!)
wait_window '^-session  \(30 x 20\) - Velvane Photo Viewer$' >/dev/null || fail "-session after -- did not open"
echo "ok: installed under $stage, sample ${dw}x${dh} (RMSE $rmse), glyphs on the panel; screenshot $shot_out"
