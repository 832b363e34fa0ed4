#!/usr/bin/env bash
# Builds the program and runs every benchmark under Wine, each figure a
# ratio to a baseline measured in the same run:
#   bench_lists   Files page: rebuild of 1,250 rules and one paint, against
#                 a plain list view
#   bench_log     Log page: 1000 styled rows against a plain list view; the
#                 reader's backlog pass
#   bench_start   the real program: start and one change with 1,250 rules,
#                 against an empty rule file
#   bench_rules   one rule-file pass
# They run in a Wine prefix of their own (build/wine-bench) on the display
# in DISPLAY, or on a virtual one (VK_DISPLAY, default 97) started here.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/build.sh win64 >/dev/null
. tools/wine-env.sh
wine_prefix "$root/build/wine-bench" x11
bin=$root/build/win64

xvfb=
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:${VK_DISPLAY:-97}
  Xvfb "$DISPLAY" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT
wine_keepalive

echo "load: $(uptime | sed 's/.*load average/load average/')"
for b in bench_lists bench_log bench_start bench_rules; do
  echo
  echo "== $b"
  # Wine's notes about a missing 32-bit part are not the benchmarks' output.
  wine "$bin/$b.exe" 2>&1 | grep -v -e wine32 -e multiarch -e "dpkg --add" -e "apt-get install" || true
done
