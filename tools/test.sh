#!/usr/bin/env bash
# Checks the code's layout (.clang-format), builds everything and runs every
# test: the core natively under ASan/UBSan, each fuzz target for a fixed
# time, the installer packages (built from the same trees, x64 tested in a
# Wine prefix of its own) and the Windows tests under Wine, in batches of a
# test program's cases, so that the run ends with the count of cases.
#
# Each test job starts as soon as the tree it needs is built, and runs while
# the next tree builds (the machine has few cores, and much of the Windows
# tests' time is spent waiting). The Windows tests take longest, so their
# tree comes first:
#   win64 tree  -> the Windows tests, several batches at a time, each in a
#                  Wine prefix of its own (tools/wine-suite.sh), and the
#                  installer test (x64 installed, upgraded and removed)
#   win32 tree  -> the x86 package (the programs it ships only), which the
#                  installer test waits for to try it on 64-bit Windows
#   native tree -> core tests, then the fuzz targets
# The Wine prefixes are made meanwhile. Each job writes its log to
# build/test-logs/; the logs are shown in that order when the jobs end, the
# Windows tests' last. The exit code is non-zero when any job failed.
#   FUZZ_SECONDS   time per fuzz target (default 4)
#   VK_WINE_SLOTS  Windows test batches at a time (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
FUZZ_SECONDS=${FUZZ_SECONDS:-4}
export VK_WINE_SLOTS=${VK_WINE_SLOTS:-3}
logs=$root/build/test-logs

tools/install-deps.sh

echo "== Code layout (.clang-format)"
tools/format-check.sh

rm -rf "$logs"
mkdir -p "$logs"
. tools/wine-env.sh
# The Wine prefixes: the Windows tests' slots and the installer test's
# prefix, a copy of the first slot.
(
  wine_slots "$root/build/wine-slots" "$VK_WINE_SLOTS"
  if [ ! -f "$root/build/wine-package/system.reg" ]; then
    rm -rf "$root/build/wine-package"
    cp -a "$root/build/wine-slots/s0" "$root/build/wine-package"
  fi
) >"$logs/prefixes.log" 2>&1 &
prefixes=$!

# One fuzz target for FUZZ_SECONDS; prints one line, and the log's end
# when it found a crash.
fuzz_one() {
  local fz=$1 name corpus seeds
  name=$(basename "$fz")
  corpus=build/fuzz-corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=
  if "$fz" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "$corpus" $seeds >build/$name.log 2>&1; then
    echo "$name: $(grep -c . build/$name.log) log lines, no crash"
  else
    tail -50 build/$name.log
    echo "$name FAILED"
    return 1
  fi
}

core_and_fuzz() {
  echo "== Core tests (native, AddressSanitizer + UndefinedBehaviorSanitizer)"
  ctest --test-dir build/native -j"$(nproc)" --output-on-failure || return 1
  echo "== Fuzz targets (${FUZZ_SECONDS} s each, $(nproc) at a time)"
  # Each target runs on one core; their lines are shown in the targets' order.
  local fz running=0 bad=0
  for fz in build/native/fuzz_*; do
    [ -x "$fz" ] || continue
    fuzz_one "$fz" >"build/$(basename "$fz").result" 2>&1 &
    if ((++running >= $(nproc))); then
      wait -n || bad=1
      ((running--))
    fi
  done
  while ((running > 0)); do
    wait -n || bad=1
    ((running--))
  done
  for fz in build/native/fuzz_*; do
    [ -x "$fz" ] && cat "build/$(basename "$fz").result"
  done
  return $bad
}

windows() {
  echo "== Windows tests (x86_64, Wine, $VK_WINE_SLOTS at a time)"
  tools/wine-suite.sh --batches
}

installer() {
  echo "== Installer package (x64 installed, upgraded and removed under Wine)"
  tools/package-test.sh || { echo "Installer test FAILED"; return 1; }
}

failed=()
declare -A pid
start() {
  "$1" >"$logs/$1.log" 2>&1 &
  pid[$1]=$!
}
built() {
  echo "== Building the $1 tree${2:+ (${*:2})}"
  tools/build.sh "$@" || { failed+=("build $1"); return 1; }
}
prefixes_made() {
  wait $prefixes || { cat "$logs/prefixes.log"; failed+=("Wine prefixes"); return 1; }
}

# A failed build skips the jobs that need its tree; the others still end
# and are shown.
# The installer test also tries the x86 package on 64-bit Windows; it
# waits for that package only for that step.
export VK_X86_PENDING=$logs/x86-package.pending
touch "$VK_X86_PENDING"
if built win64 && prefixes_made; then
  start windows
  start installer
fi
# The i686 tree: the programs its package ships (the rest of the code
# compiles in the win64 tree; i686 programs cannot run here), and the
# package. Before the native tree, whose jobs use both cores to the end.
if built win32 Varnokel XCrashReport vkctl; then
  echo "== Installer package (x86)"
  tools/package.sh --no-build x86 || failed+=("package x86")
fi
rm -f "$VK_X86_PENDING"
if built native; then start core_and_fuzz; fi

for job in core_and_fuzz installer windows; do
  [ -n "${pid[$job]:-}" ] || continue
  rc=0
  wait "${pid[$job]}" || rc=$?
  cat "$logs/$job.log"
  [ $rc -eq 0 ] || failed+=("$job")
done

wait $prefixes 2>/dev/null || true

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]} (logs in build/test-logs/)"
  exit 1
fi
