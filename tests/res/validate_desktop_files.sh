#!/usr/bin/env bash
# The files an installation hands to the desktop pass the desktop's own
# validators: the desktop entry (desktop-file-validate), the AppStream
# metainfo (appstreamcli, pedantic, offline), the manual pages (groff's
# warnings). The ID's capitals are the one pedantic note appstreamcli makes.
# Usage: validate_desktop_files.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$build/res/org.norquill.Velvane.desktop" || fail "desktop-file-validate"
log=$(appstreamcli validate --pedantic --no-net "$src/res/desktop/org.norquill.Velvane.metainfo.xml" 2>&1) ||
  fail "appstreamcli: $log"
if grep -E '^[EWI]: ' <<<"$log"; then fail "appstreamcli reports issues"; fi
grep -E '^P: ' <<<"$log" | grep -v 'cid-contains-uppercase-letter' && fail "appstreamcli: unexpected pedantic note"

for page in velvane.1 velvane-orient.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$src/res/man/$page" 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
# Every switch the viewer knows is in its manual.
for switch in '\-\-windowed' '/windowed' '\-\-uninstall' '/uninstall' '\-\-help' '\-\-version' 'VELVANE_DEBUG'; do
  grep -qF -- "$switch" "$src/res/man/velvane.1" || fail "velvane.1 does not mention $switch"
done
echo "ok: desktop entry, metainfo and manual pages validate"
