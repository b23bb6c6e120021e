# Sourced by the viewer benchmarks: the peers' packages, the timing probe
# and the photos in the cache, a window manager under Xvfb, and a step run
# measured with its memory. Expects $here and $build; sets $cache, $probe,
# $photos, $patch, $colours and $steps.

tools=${VELVANE_PROBE_TOOLS:-$here/../../../shared/tools}
[ -f "$tools/viewer-probe.c" ] || tools=/work/shared/tools

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

# Runs the probe's step mode over a viewer while memory_sampler.py watches
# it; prints "median_step_ms rss_kb total_kb" (-1 for a failed step run).
# Usage: measured_steps [env NAME=VALUE ...] KEY -- COMMAND...
measured_steps() {
  local mem=$WORK/mem.txt prefix=()
  while [ "$1" = env ]; do prefix+=("$2"); shift 2; done
  local key=$1
  shift
  env "${prefix[@]}" "$probe" step "$key" 1500 1500 "${colours[@]}" "$@" >"$WORK/step.txt" &
  local pid=$!
  python3 "$here/memory_sampler.py" "$pid" "$mem" &
  local sampler=$!
  wait "$pid" || true
  wait "$sampler" || true
  python3 "$here/figures.py" step "$WORK/step.txt" "$mem"
}

# One round's row for a viewer, by the caller's first and step functions:
# the 24 MP and 2 MP first pictures and the steps, appended to $results.
record_round() {  # who round
  local f24 f2 s rss total
  f24=$(first "$1" "$photos/fp/j24/big.jpg")
  f2=$(first "$1" "$photos/fp/j2/small.jpg")
  read -r s rss total < <(step "$1")
  echo "$1 round=$2 first24=$f24 first2=$f2 step=$s rss_kb=$rss total_kb=$total" | tee -a "$results"
}
