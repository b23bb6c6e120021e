#!/usr/bin/env bash
# Velvane against nsxiv and qimgv under Xvfb, in interleaved rounds:
#   first24  ms from start to the 24-megapixel JPEG on screen
#   first2   ms from start to the 2-megapixel JPEG on screen
#   step     ms from a Next key press to the next picture, ten 24-megapixel
#            photos at one press per 1.5 s (median of the nine steps)
#   memory   peak while stepping: the sum of VmRSS of the viewer and its
#            children, and the fuller count of memory_sampler.py
# Prints every round and the medians, with our figures as ratios of the peers'.
# Usage: bench/viewers/run.sh BUILD_DIR [ROUNDS]   (ROUNDS defaults to 5)
# Not a test: the machine should be otherwise idle (check `uptime`).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
[ -x "$build/velvane" ] && [ -x "$build/velvane-decoder" ] || { echo "build velvane and velvane-decoder first" >&2; exit 2; }

source "$here/probe_session.sh"
results=$cache/results.txt
: >"$results"

viewer_cmd() {  # viewer file-or-step -> the command line
  local who=$1 what=$2
  case $who in
    velvane) if [ "$what" = step ]; then echo "$build/velvane /windowed ${steps[0]}"; else echo "$build/velvane /windowed $what"; fi ;;
    nsxiv) if [ "$what" = step ]; then echo "nsxiv ${steps[*]}"; else echo "nsxiv $what"; fi ;;
    qimgv) if [ "$what" = step ]; then echo "qimgv ${steps[0]}"; else echo "qimgv $what"; fi ;;
  esac
}
next_key() { case $1 in velvane) echo space ;; nsxiv) echo n ;; qimgv) echo Right ;; esac; }

first() {  # viewer file -> first_ms
  local out
  # shellcheck disable=SC2046
  out=$("$probe" first "$patch" 300 -- $(viewer_cmd "$1" "$2"))
  sed -n 's/.*first_ms=\([0-9.]*\).*/\1/p' <<<"$out"
}

step() {  # viewer -> "median_step_ms rss_kb total_kb"
  # shellcheck disable=SC2046
  measured_steps "$(next_key "$1")" -- $(viewer_cmd "$1" step)
}

for round in $(seq "$rounds"); do
  echo "round $round: $(uptime | sed 's/.*load/load/')"
  for who in velvane nsxiv qimgv; do
    record_round "$who" "$round"
  done
done

python3 - "$results" "$here" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
from figures import medians, show
med = medians(sys.argv[1])
show(med, ("first24", "first2", "step", "rss_kb", "total_kb"))
v, n, q = med["velvane"], med["nsxiv"], med["qimgv"]
print("\nratios (target):")
print(f"  first picture, 24 MP: velvane/nsxiv = {v['first24'] / n['first24']:.2f} (<= 0.70)")
print(f"  first picture, 2 MP:  velvane/nsxiv = {v['first2'] / n['first2']:.2f} (<= 1.00)")
print(f"  steady step:          velvane/qimgv = {v['step'] / q['step']:.2f} (<= 1.00)")
print(f"  peak memory stepping: velvane/qimgv = {v['total_kb'] / q['total_kb']:.2f} (<= 0.60; "
      f"by summed RSS {v['rss_kb'] / q['rss_kb']:.2f})")
PY
