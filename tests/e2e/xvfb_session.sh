# Sourced by the end-to-end tests: starts a private Xvfb display and cleans
# up everything on exit. Sets DISPLAY and WORK (a private temporary folder).
WORK=$(mktemp -d)
export XDG_CONFIG_HOME=$WORK/config
export XDG_DATA_HOME=$WORK/data
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
# The associations dialog of a first run would come before the main window;
# a test that wants it calls first_run_again.
mkdir -p "$XDG_CONFIG_HOME/velvane"
printf 'Velvane registry hive 1\n[SOFTWARE\\Norquill\\Velvane]\n"FirstRun"=dword:00000000\n' \
  >"$XDG_CONFIG_HOME/velvane/registry-hkcu.txt"
first_run_again() { rm -f "$XDG_CONFIG_HOME/velvane/registry-hkcu.txt"; }
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

exec 5>"$WORK/displayfd"
Xvfb -displayfd 5 -screen 0 "${XVFB_SCREEN:-1280x800x24}" -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 5>&-
for _ in $(seq 100); do
  [ -s "$WORK/displayfd" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$WORK/displayfd")"
# The number comes as soon as the socket listens; on a loaded machine the
# first client can still be turned away, so wait until one gets through.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTED >/dev/null 2>&1 && break
  sleep 0.1
done

PIDS=()
# A window manager, for what needs one (full screen, focus).
start_window_manager() {
  local wm attempt
  # A busy machine can make openbox lose its race with the new display; it
  # then exits at once and is started again, a moment later.
  for attempt in 1 2 3 4 5; do
    [ "$attempt" -eq 1 ] || sleep 0.5
    kill -0 "$XVFB_PID" 2>/dev/null || { cat "$WORK/xvfb.log" >&2; return 1; }
    openbox --sm-disable >"$WORK/wm.log" 2>&1 &
    wm=$!
    PIDS+=("$wm")
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
      kill -0 "$wm" 2>/dev/null || continue 2
      sleep 0.1
    done
    break  # running but silent: another start would not help
  done
  cat "$WORK/wm.log" "$WORK/xvfb.log" >&2
  echo "DISPLAY=$DISPLAY" >&2
  return 1
}

cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to 10 s for a window whose name matches the regex; prints its id.
wait_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Sets X, Y, WIDTH, HEIGHT to the client area of a window, on the screen.
client_geometry() {
  local info
  info=$(xwininfo -id "$1")
  X=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
  Y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
  WIDTH=$(awk '/^ *Width:/ {print $NF}' <<<"$info")
  HEIGHT=$(awk '/^ *Height:/ {print $NF}' <<<"$info")
}

# Writes a JPEG that takes the decoder long: a progressive 2048 x 2048 picture
# followed by SCANS scans without data, each of which makes libjpeg walk the
# whole picture once. Usage: slow_jpeg OUT SCANS
slow_jpeg() {
  convert -size 2048x2048 gradient:red-blue -interlace JPEG -quality 80 "$WORK/prog.jpg"
  local size
  size=$(stat -c %s "$WORK/prog.jpg")
  head -c $((size - 2)) "$WORK/prog.jpg" >"$1"
  printf '\xff\xda\x00\x08\x01\x01\x00\x00\x00\x10%.0s' $(seq "$2") >>"$1"
  printf '\xff\xd9' >>"$1"
}

# The colour of one screen pixel as "r,g,b".
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}
