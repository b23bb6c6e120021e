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
worker=$build/tests/velvane-decoder-test
[ -x "$build/velvane" ] && [ -x "$worker" ] || { echo "build velvane and velvane-decoder-test first" >&2; exit 2; }

source "$here/probe_session.sh"
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
  local lockin=()
  [ "$1" = unlocked ] && lockin=(env VELVANE_TEST_LOCKIN=off)
  measured_steps "${lockin[@]}" space -- "$build/velvane" /windowed "${steps[0]}"
}

for round in $(seq "$rounds"); do
  echo "round $round: $(uptime | sed 's/.*load/load/')"
  # Alternating which goes first, so neither always meets a warm cache.
  order=(locked unlocked)
  [ $((round % 2)) -eq 0 ] && order=(unlocked locked)
  for how in "${order[@]}"; do
    record_round "$how" "$round"
  done
done

python3 - "$results" "$here" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
from figures import medians, show
med = medians(sys.argv[1])
show(med, ("first24", "first2", "step", "rss_kb", "total_kb"))
l, u = med["locked"], med["unlocked"]
print("\nlocked / unlocked:")
for k in ("first24", "first2", "step", "rss_kb", "total_kb"):
    print(f"  {k:9s} {l[k] / u[k]:.2f}")
PY
