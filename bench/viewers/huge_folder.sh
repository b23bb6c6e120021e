#!/usr/bin/env bash
# The first step through a folder of 50,000 small JPEGs (and the step after
# each sort command), Velvane against qimgv under Xvfb, interleaved rounds;
# see huge_folder.py. The folder is written once into the cache folder.
# Usage: bench/viewers/huge_folder.sh BUILD_DIR [ROUNDS]   (ROUNDS defaults to 5)
# Not a test: the machine should be otherwise idle (check `uptime`).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: huge_folder.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-5}
tools=${VELVANE_PROBE_TOOLS:-$here/../../../shared/tools}
[ -f "$tools/viewer-probe.c" ] || tools=/work/shared/tools
[ -x "$build/velvane" ] && [ -x "$build/velvane-decoder" ] || { echo "build velvane and velvane-decoder first" >&2; exit 2; }

"$here/setup.sh"
cache=${VELVANE_BENCH_CACHE:-$build/bench/viewers}
mkdir -p "$cache"
probe=$cache/viewer-probe
[ -x "$probe" ] || cc -O2 -o "$probe" "$tools/viewer-probe.c" -lX11 -lXtst

source "$here/../../tests/e2e/xvfb_session.sh"
start_window_manager || { echo "no window manager" >&2; exit 1; }
export XDG_CACHE_HOME=$WORK/cache  # qimgv's thumbnails
python3 "$here/huge_folder.py" "$build" "$probe" "$cache" "$rounds"
