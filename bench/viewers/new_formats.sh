#!/usr/bin/env bash
# Velvane against eog (with Debian's heif-gdk-pixbuf, which reads HEIC and
# AVIF) on 12-megapixel HEIC and AVIF photos, under Xvfb, in interleaved
# rounds:
#   first_heic, first_avif   ms from start to the photo on screen
#   step_heic, step_avif     ms from a Next key press to the next photo, six
#                            photos at one press per PACE_MS (default 1500 ms;
#                            median of the five steps): Velvane decodes the
#                            next photo ahead, which a pace shorter than one
#                            decode cannot hide
# Prints every round and the medians, with our figures as ratios of eog's.
# Usage: bench/viewers/new_formats.sh BUILD_DIR [ROUNDS]   (ROUNDS defaults to 5)
# With BASELINE_DECODER=path/to/an/older/velvane-decoder, our viewer is also
# measured with that worker, as "baseline", in the same rounds: a change to
# the decoders is then measured against the worker before it.
# Not a test: the machine should be otherwise idle (check `uptime`). The
# kernel shares the cores among sessions, whatever their nice values: while
# another session builds, a decode on two threads gets about one core. When
# that work cannot wait, `echo -15 >/proc/self/autogroup` (as root) before the
# run gives this session (our viewer and eog alike) its cores back.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: new_formats.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
pace=${PACE_MS:-1500}
[ -x "$build/velvane" ] && [ -x "$build/velvane-decoder" ] || { echo "build velvane and velvane-decoder first" >&2; exit 2; }

# The peer and what it needs to read the formats, and the encoders.
packages=(eog heif-gdk-pixbuf libheif-examples dbus-x11)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The probe, the photos (and their colours), Xvfb and a window manager.
source "$here/probe_session.sh"

# Six 12-megapixel photos (4000 x 3000) a format, each with its own centre
# colour, encoded once and kept.
new=$cache/new-formats
mkdir -p "$new/heic" "$new/avif"
for i in 1 2 3 4 5 6; do
  n=$(printf %02d "$i")
  [ -f "$new/src-$n.png" ] || convert "$photos/step/$n.jpg" -resize 4000x3000! -depth 8 "$new/src-$n.png"
  [ -f "$new/heic/$n.heic" ] || heif-enc -q 85 "$new/src-$n.png" -o "$new/heic/$n.heic" >/dev/null
  [ -f "$new/avif/$n.avif" ] || avifenc -s 8 -j 2 "$new/src-$n.png" "$new/avif/$n.avif" >/dev/null
done
patch=${colours[0]}
step_colours=("${colours[@]:0:6}")

# eog wants a session bus.
eval "$(dbus-launch --sh-syntax)"
PIDS+=("$DBUS_SESSION_BUS_PID")
# eog's settings come from a keyfile of the benchmark's own, not the user's:
# no side panel, gallery or status bar, so the picture fills the window and
# its centre is the picture's centre, as in ours.
eog_config=$cache/eog-config
mkdir -p "$eog_config/glib-2.0/settings"
printf '[org/gnome/eog/ui]\nsidebar=false\nimage-gallery=false\nstatusbar=false\n' \
  >"$eog_config/glib-2.0/settings/keyfile"
results=$cache/new-formats-results.txt
: >"$results"

viewers=(velvane eog)
if [ -n "${BASELINE_DECODER:-}" ]; then
  [ -x "$BASELINE_DECODER" ] || { echo "no worker at $BASELINE_DECODER" >&2; exit 2; }
  viewers=(baseline velvane eog)
fi

viewer_cmd() {  # viewer file -> the command line
  case $1 in
    velvane) echo "$build/velvane /windowed $2" ;;
    baseline) echo "env VELVANE_DECODER=$BASELINE_DECODER $build/velvane /windowed $2" ;;
    eog) echo "env XDG_CONFIG_HOME=$eog_config GSETTINGS_BACKEND=keyfile eog --new-instance $2" ;;
  esac
}
next_key() { case $1 in velvane | baseline) echo space ;; eog) echo Right ;; esac; }

first() {  # viewer file -> first_ms
  local out
  # shellcheck disable=SC2046
  out=$("$probe" first "$patch" 300 -- $(viewer_cmd "$1" "$2"))
  sed -n 's/.*first_ms=\([0-9.]*\).*/\1/p' <<<"$out"
}

step() {  # viewer first-file -> median step ms
  local out
  # shellcheck disable=SC2046
  out=$("$probe" step "$(next_key "$1")" "$pace" "$pace" "${step_colours[@]}" -- $(viewer_cmd "$1" "$2"))
  python3 - "$out" <<'PY'
import re, statistics, sys
steps = re.search(r"steps_ms=([-0-9.,]+)", sys.argv[1])
values = [float(v) for v in steps.group(1).split(",")] if steps else []
print(f"{statistics.median(values) if values and min(values) >= 0 else -1:.1f}")
PY
}

for round in $(seq "$rounds"); do
  echo "round $round: $(uptime | sed 's/.*load/load/')"
  for who in "${viewers[@]}"; do
    fh=$(first "$who" "$new/heic/01.heic")
    fa=$(first "$who" "$new/avif/01.avif")
    sh=$(step "$who" "$new/heic/01.heic")
    sa=$(step "$who" "$new/avif/01.avif")
    echo "$who round=$round first_heic=$fh first_avif=$fa step_heic=$sh step_avif=$sa" | tee -a "$results"
  done
done

python3 - "$results" "$here" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
from figures import medians
med = medians(sys.argv[1])
print("\nmedians (ms):")
for who, m in med.items():
    print(f"  {who:8s} " + " ".join(f"{k}={v:.0f}" for k, v in m.items()))
e = med["eog"]
for who in [w for w in med if w != "eog"]:
    v = med[who]
    print(f"\nratios {who}/eog (target):")
    for k, target in (("first_heic", 0.8), ("first_avif", 0.8), ("step_heic", 0.25), ("step_avif", 0.25)):
        print(f"  {k:11s} {v[k] / e[k]:.2f} (<= {target})")
if "baseline" in med:
    print("\nratios velvane/baseline:")
    for k, b in med["baseline"].items():
        print(f"  {k:11s} {med['velvane'][k] / b:.2f}")
PY
