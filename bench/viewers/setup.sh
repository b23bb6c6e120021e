#!/usr/bin/env bash
# Installs what the viewer benchmark needs besides the project's own packages:
# the two peer viewers, the X11 headers for the timing probe, and xdotool for
# the keys a probe cannot send.
set -euo pipefail
packages=(nsxiv qimgv libx11-dev libxtst-dev xvfb openbox imagemagick python3 xdotool)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
