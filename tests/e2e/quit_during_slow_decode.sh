#!/usr/bin/env bash
# End to end: the viewer started on a file that takes FreeImage very long to
# decode shows its window with the loading message, and Esc quits it at once
# with exit code 0.
# Usage: quit_during_slow_decode.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail
build=$1
shot_out=${2:-$build/e2e-slow-decode.png}
source "$(dirname "$0")/xvfb_session.sh"
start_window_manager || fail "the window manager did not start"

slow_jpeg "$WORK/slow.jpg" 20000

"$build/velvane" /windowed "$WORK/slow.jpg" &
viewer=$!
PIDS+=($viewer)
wid=$(wait_window 'Velvane Photo Viewer') || fail "no viewer window while the first picture decodes"
sleep 0.5
kill -0 "$viewer" 2>/dev/null || fail "the viewer ended by itself"
client_geometry "$wid"
import -window root "$shot_out"
# The message box sits in the middle of the window, on its own colour.
cy=$((Y + HEIGHT / 2))
boxed=$(convert "$shot_out" -crop "${WIDTH}x60+${X}+$((cy - 30))" +repage -fuzz 3% -fill white \
  -opaque 'rgb(144,86,86)' -fill black +opaque white -format "%[fx:int(mean*w*h+0.5)]" info:)
[ "$boxed" -gt 100 ] || fail "no loading message in the window ($boxed pixels of its box)"

worker=$(pgrep -P "$viewer" -f velvane-decoder | head -n1 || true)
[ -n "$worker" ] || fail "no decoding worker beside the viewer"

xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
start=$(date +%s%N)
xdotool key Escape
rc=0
for _ in $(seq 40); do
  kill -0 "$viewer" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$viewer" 2>/dev/null; then
  fail "the viewer is still running two seconds after Esc"
fi
wait "$viewer" || rc=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
[ "$rc" -eq 0 ] || fail "exit code $rc after Esc"
[ "$elapsed_ms" -lt 2000 ] || fail "Esc took ${elapsed_ms} ms"
for _ in $(seq 20); do
  kill -0 "$worker" 2>/dev/null || break
  sleep 0.05
done
kill -0 "$worker" 2>/dev/null && fail "the worker outlived the viewer"
echo "ok: loading message shown, Esc quit in ${elapsed_ms} ms with exit code 0; screenshot $shot_out"
