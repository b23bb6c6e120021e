#!/usr/bin/env bash
# Velvane against qimgv and eog playing a 600 x 400, 100-frame GIF under
# Xvfb, in interleaved rounds: CPU time (user + system, the viewer and its
# children) over ten seconds of play after two seconds of start-up, and the
# peak memory meanwhile (memory_sampler.py's two counts). Prints every round
# and the medians, with our figures as ratios of the better peer's.
# Usage: bench/viewers/animation.sh BUILD_DIR [ROUNDS]   (ROUNDS defaults to 5)
# Not a test: the machine should be otherwise idle (check `uptime`).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: animation.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
[ -x "$build/velvane" ] && [ -x "$build/velvane-decoder" ] || { echo "build velvane and velvane-decoder first" >&2; exit 2; }

"$here/setup.sh"
command -v eog >/dev/null || {
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends eog
}
cache=${VELVANE_BENCH_CACHE:-$build/bench/viewers}
mkdir -p "$cache"
gif=$cache/anim-600x400-100.gif
if [ ! -f "$gif" ]; then
  # A photo-like scene with a shape moving over it, 40 ms a frame.
  convert -size 600x400 -seed 7 plasma:fractal -blur 0x2 "$cache/anim-base.png"
  args=()
  for i in $(seq 0 99); do
    args+=( "(" "$cache/anim-base.png" -fill white -draw "circle $((50 + i * 5)),200 $((80 + i * 5)),200" ")" )
  done
  convert -delay 4 "${args[@]}" -loop 0 "$gif"
fi

source "$here/../../tests/e2e/xvfb_session.sh"
start_window_manager || { echo "no window manager" >&2; exit 1; }

results=$cache/animation-results.txt
: >"$results"

viewer_cmd() {
  case $1 in
    velvane) echo "$build/velvane /windowed $gif" ;;
    qimgv) echo "qimgv $gif" ;;
    eog) echo "eog --new-instance $gif" ;;
  esac
}

# Clock ticks of user + system time of pid's tree.
cpu_ticks() {
  python3 - "$1" <<'PY'
import sys
def tree(pid):
    out = [pid]
    try:
        for c in open(f"/proc/{pid}/task/{pid}/children").read().split():
            out += tree(int(c))
    except OSError:
        pass
    return out
total = 0
for p in tree(int(sys.argv[1])):
    try:
        f = open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()
        total += int(f[11]) + int(f[12]) + int(f[13]) + int(f[14])
    except OSError:
        pass
print(total)
PY
}

play() {  # viewer -> "cpu_ms rss_kb total_kb"
  local mem=$WORK/mem.txt
  # shellcheck disable=SC2046
  bash -c "$(viewer_cmd "$1")"' >/dev/null 2>&1; true' &
  local parent=$!
  sleep 2
  python3 "$here/memory_sampler.py" "$parent" "$mem" &
  local sampler=$!
  local before after
  before=$(cpu_ticks "$parent")
  sleep 10
  after=$(cpu_ticks "$parent")
  pkill -KILL -P "$parent" || true
  wait "$parent" 2>/dev/null || true
  wait "$sampler" 2>/dev/null || true
  local hz; hz=$(getconf CLK_TCK)
  echo "$(( (after - before) * 1000 / hz )) $(sed 's/[a-z_]*=//g' "$mem")"
}

for round in $(seq "$rounds"); do
  echo "round $round: $(uptime | sed 's/.*load/load/')"
  for who in velvane qimgv eog; do
    read -r cpu rss total < <(play "$who")
    echo "$who round=$round cpu_ms=$cpu rss_kb=$rss total_kb=$total" | tee -a "$results"
  done
done

python3 - "$results" "$here" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
from figures import medians
med = medians(sys.argv[1])
print("\nmedians over ten seconds of play (ms of CPU, kB):")
for who, m in med.items():
    print(f"  {who:8s} cpu_ms={m['cpu_ms']:.0f} rss_kb={m['rss_kb']:.0f} total_kb={m['total_kb']:.0f}")
v = med["velvane"]
cpu_peer = min(med["qimgv"]["cpu_ms"], med["eog"]["cpu_ms"])
mem_peer = min(med["qimgv"]["total_kb"], med["eog"]["total_kb"])
rss_peer = min(med["qimgv"]["rss_kb"], med["eog"]["rss_kb"])
print("\nratios against the better peer (target):")
print(f"  CPU:    {v['cpu_ms'] / max(cpu_peer, 1):.2f} (<= 0.50)")
print(f"  memory: {v['total_kb'] / mem_peer:.2f} (<= 1.00; by summed RSS {v['rss_kb'] / rss_peer:.2f})")
PY
