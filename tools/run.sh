#!/usr/bin/env bash
# Builds the program and runs it under Wine. With no display it starts a
# virtual one, waits for the main window, saves build/screenshot.png and
# ends the program and the display again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/install-deps.sh
tools/build.sh win64
. tools/wine-env.sh
wine_prefix "$root/build/wine-run" x11

exe="$root/build/win64/Varnokel.exe"
sim="$root/build/win64/engine-sim.exe"

start_demo() {
  # The access engine is not part of this program: the stand-in feeds the
  # Log page a slow stream of demonstration records.
  if [ -x "$sim" ]; then
    # A backlog first, so the page opens with its summary row of records
    # saved only to the text log, then a slow stream of new ones.
    wine "$sim" log --generate 150 >/dev/null 2>&1 || true
    wine "$sim" log --demo >/dev/null 2>&1 &
    # Accesses decided by the user's own rules: protect one of these with
    # the kind buttons (or vkctl) and its next try shows up as "Denied".
    decide_accesses &
    decider=$!
  fi
}

decide_accesses() {
  local docs='C:\users\'"$(id -un)"'\Documents'
  local tries=(
    "--process C:\Windows\explorer.exe --kind copy $docs\plan.doc"
    "--process C:\Windows\System32\notepad.exe --kind open $docs\plan.doc"
    "--process C:\Windows\System32\cmd.exe --kind delete $docs\budget.xls"
    "--process C:\Users\Public\setup.exe --kind modify --registry hkey_local_machine\Software\Microsoft\Windows\CurrentVersion\Run"
  )
  while sleep 4; do
    for t in "${tries[@]}"; do
      # shellcheck disable=SC2086
      wine "$sim" access $t >/dev/null 2>&1 || true
      sleep 3
    done
  done
}
decider=
stop_decider() { [ -n "$decider" ] && kill "$decider" 2>/dev/null || true; }

if [ -n "${DISPLAY:-}" ]; then
  start_demo
  wine "$exe"
  stop_decider
  wineserver -k 2>/dev/null || true
  exit 0
fi

display=:${VK_DISPLAY:-97}
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
cleanup() {
  stop_decider
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

start_demo
wine "$exe" >/dev/null 2>&1 &
for _ in $(seq 150); do
  xdotool search --name '^Varnokel$' >/dev/null 2>&1 && break
  sleep 0.2
done
sleep "${VK_SETTLE:-3}"
import -window root "$root/build/screenshot.png"
echo "Screenshot: build/screenshot.png"
