#!/usr/bin/env bash
# Checks the code's layout (.clang-format), builds everything and runs every
# test: the core natively under ASan/UBSan, each fuzz target for a fixed
# time, the installer packages (built from the same trees, x64 tested in a
# Wine prefix of its own) and the Windows tests under Wine, one CTest test
# per GoogleTest case, so that the run ends with CTest's count of cases.
#
# The trees build one after another, each on every core, while the Wine
# prefixes are made. The tests then run side by side in three jobs: the
# Windows cases (several at a time, each in a Wine prefix of its own:
# tools/wine-suite.sh), the installer test, and the core tests followed by
# the fuzz targets. Each job writes its log to build/test-logs/; the logs
# are shown in that order as the jobs end, the Windows cases' last. The exit
# code is non-zero when any job failed.
#   FUZZ_SECONDS   time per fuzz target (default 20)
#   VK_WINE_SLOTS  Windows cases at a time (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
FUZZ_SECONDS=${FUZZ_SECONDS:-20}
export VK_WINE_SLOTS=${VK_WINE_SLOTS:-3}
logs=$root/build/test-logs

tools/install-deps.sh

echo "== Code layout (.clang-format)"
tools/format-check.sh

rm -rf "$logs"
mkdir -p "$logs"
. tools/wine-env.sh
# The Wine prefixes, made while the trees build: the Windows cases' slots
# and the installer test's prefix, a copy of the first slot.
(
  wine_slots "$root/build/wine-slots" "$VK_WINE_SLOTS"
  if [ ! -f "$root/build/wine-package/system.reg" ]; then
    rm -rf "$root/build/wine-package"
    cp -a "$root/build/wine-slots/s0" "$root/build/wine-package"
  fi
) >"$logs/prefixes.log" 2>&1 &
prefixes=$!

echo "== Building the trees: native, win64, win32"
tools/build.sh native
tools/build.sh win64
tools/build.sh win32
wait $prefixes || { cat "$logs/prefixes.log"; echo "Making the Wine prefixes FAILED"; exit 1; }

core_and_fuzz() {
  echo "== Core tests (native, AddressSanitizer + UndefinedBehaviorSanitizer)"
  ctest --test-dir build/native --output-on-failure || return 1
  echo "== Fuzz targets (${FUZZ_SECONDS} s each)"
  local fz name corpus seeds
  for fz in build/native/fuzz_*; do
    [ -x "$fz" ] || continue
    name=$(basename "$fz")
    corpus=build/fuzz-corpus/$name
    mkdir -p "$corpus"
    seeds=fuzz/corpus/$name
    [ -d "$seeds" ] || seeds=
    "$fz" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "$corpus" $seeds >build/$name.log 2>&1 \
      || { tail -50 build/$name.log; echo "$name FAILED"; return 1; }
    echo "$name: $(grep -c . build/$name.log) log lines, no crash"
  done
}

installer() {
  echo "== Installer packages (x64 installed, upgraded and removed under Wine)"
  tools/package.sh --no-build && tools/package-test.sh || { echo "Installer test FAILED"; return 1; }
}

windows() {
  echo "== Windows tests (x86_64, Wine, $VK_WINE_SLOTS at a time)"
  tools/wine-suite.sh
}

jobs=(core_and_fuzz installer windows)
declare -A pid
for job in "${jobs[@]}"; do
  $job >"$logs/$job.log" 2>&1 &
  pid[$job]=$!
done

failed=()
for job in "${jobs[@]}"; do
  rc=0
  wait "${pid[$job]}" || rc=$?
  cat "$logs/$job.log"
  [ $rc -eq 0 ] || failed+=("$job")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]} (logs in build/test-logs/)"
  exit 1
fi
