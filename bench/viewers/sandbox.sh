#!/usr/bin/env bash
# What the decoding worker's lock-in costs: velvane under Xvfb with the test
# build's worker (tests/velvane-decoder-test) locked in as it ships, and with
# VELVANE_TEST_LOCKIN=off as it ran before, in interleaved rounds. Same
# figures as run.sh: first24, first2, step (median of nine), peak memory.
# Prints every round, the medians and locked/unlocked ratios.
# Usage: bench/viewers/sandbox.sh BUILD_DIR [ROUNDS]   (ROUNDS defaults to 5)
# Not a test: the machine should be otherwise idle (check `uptime`).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: sandbox.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
tools=${VELVANE_PROBE_TOOLS:-$here/../../../shared/tools}
[ -f "$tools/viewer-probe.c" ] || tools=/work/shared/tools
worker=$build/tests/velvane-decoder-test
[ -x "$build/velvane" ] && [ -x "$worker" ] || { echo "build velvane and velvane-decoder-test first" >&2; exit 2; }

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
results=$cache/sandbox-results.txt
: >"$results"
export VELVANE_DECODER=$worker

as() {  # locked|unlocked command... -> runs command with the worker so
  local how=$1
  shift
  if [ "$how" = unlocked ]; then VELVANE_TEST_LOCKIN=off "$@"; else "$@"; fi
}

first() {  # locked|unlocked file -> first_ms
  as "$1" "$probe" first "$patch" 300 -- "$build/velvane" /windowed "$2" | sed -n 's/.*first_ms=\([0-9.]*\).*/\1/p'
}

step() {  # locked|unlocked -> "median_step_ms rss_kb total_kb"
  local mem=$WORK/mem.txt
  as "$1" "$probe" step space 1500 1500 "${colours[@]}" -- "$build/velvane" /windowed "${steps[0]}" >"$WORK/step.txt" &
  local pid=$!
  python3 "$here/memory_sampler.py" "$pid" "$mem" &
  local sampler=$!
  wait "$pid" || true
  wait "$sampler" || true
  python3 - "$(cat "$WORK/step.txt")" "$(cat "$mem")" <<'PY'
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
  # Alternating which goes first, so neither always meets a warm cache.
  order=(locked unlocked)
  [ $((round % 2)) -eq 0 ] && order=(unlocked locked)
  for how in "${order[@]}"; do
    f24=$(first "$how" "$photos/fp/j24/big.jpg")
    f2=$(first "$how" "$photos/fp/j2/small.jpg")
    read -r s rss total < <(step "$how")
    echo "$how round=$round first24=$f24 first2=$f2 step=$s rss_kb=$rss total_kb=$total" | tee -a "$results"
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
l, u = med["locked"], med["unlocked"]
print("\nlocked / unlocked:")
for k in ("first24", "first2", "step", "rss_kb", "total_kb"):
    print(f"  {k:9s} {l[k] / u[k]:.2f}")
PY
