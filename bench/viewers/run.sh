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
tools=${VELVANE_PROBE_TOOLS:-$here/../../../shared/tools}
[ -f "$tools/viewer-probe.c" ] || tools=/work/shared/tools
[ -x "$build/velvane" ] && [ -x "$build/velvane-decoder" ] || { echo "build velvane and velvane-decoder first" >&2; exit 2; }

"$here/setup.sh"
cache=${VELVANE_BENCH_CACHE:-$build/bench/viewers}
mkdir -p "$cache"
probe=$cache/viewer-probe
[ -x "$probe" ] || cc -O2 -o "$probe" "$tools/viewer-probe.c" -lX11 -lXtst
photos=$cache/photos
[ -f "$photos/step/10.jpg" ] || "$tools/make-probe-photos" "$photos" >/dev/null

source "$here/../../tests/e2e/xvfb_session.sh"
start_window_manager || { echo "no window manager" >&2; exit 1; }

patch=230,40,200
read -r -a colours <"$photos/step/colours.txt"
steps=("$photos"/step/*.jpg)
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
  local out mem=$WORK/mem.txt
  # shellcheck disable=SC2046
  "$probe" step "$(next_key "$1")" 1500 1500 "${colours[@]}" -- $(viewer_cmd "$1" step) >"$WORK/step.txt" &
  local pid=$!
  python3 "$here/memory_sampler.py" "$pid" "$mem" &
  local sampler=$!
  wait "$pid" || true
  wait "$sampler" || true
  out=$(cat "$WORK/step.txt")
  python3 - "$out" "$(cat "$mem")" <<'PY'
import re, statistics, sys
steps = re.search(r"steps_ms=([-0-9.,]+)", sys.argv[1])
values = [float(v) for v in steps.group(1).split(",")] if steps else []
mem = dict(kv.split("=") for kv in sys.argv[2].split())
ok = values and min(values) >= 0
print(f"{statistics.median(values) if ok else -1:.1f} {mem['rss_kb']} {mem['total_kb']}")
PY
}

for round in $(seq "$rounds"); do
  echo "round $round: $(uptime | sed 's/.*load/load/')"
  for who in velvane nsxiv qimgv; do
    f24=$(first "$who" "$photos/fp/j24/big.jpg")
    f2=$(first "$who" "$photos/fp/j2/small.jpg")
    read -r s rss total < <(step "$who")
    echo "$who round=$round first24=$f24 first2=$f2 step=$s rss_kb=$rss total_kb=$total" | tee -a "$results"
  done
done

python3 - "$results" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    who, *pairs = line.split()
    d = dict(p.split("=") for p in pairs)
    rows.setdefault(who, []).append({k: float(v) for k, v in d.items() if k != "round"})
med = {who: {k: statistics.median(r[k] for r in rs) for k in rs[0]} for who, rs in rows.items()}
print("\nmedians (ms, kB):")
for who, m in med.items():
    print(f"  {who:8s} first24={m['first24']:.0f} first2={m['first2']:.0f} step={m['step']:.1f} "
          f"rss_kb={m['rss_kb']:.0f} total_kb={m['total_kb']:.0f}")
v, n, q = med["velvane"], med["nsxiv"], med["qimgv"]
print("\nratios (target):")
print(f"  first picture, 24 MP: velvane/nsxiv = {v['first24'] / n['first24']:.2f} (<= 0.70)")
print(f"  first picture, 2 MP:  velvane/nsxiv = {v['first2'] / n['first2']:.2f} (<= 1.00)")
print(f"  steady step:          velvane/qimgv = {v['step'] / q['step']:.2f} (<= 1.00)")
print(f"  peak memory stepping: velvane/qimgv = {v['total_kb'] / q['total_kb']:.2f} (<= 0.60; "
      f"by summed RSS {v['rss_kb'] / q['rss_kb']:.2f})")
PY
