#!/usr/bin/env bash
# Checks the code's layout (.clang-format), builds everything and runs every
# test: the core natively under ASan/UBSan, the fuzz targets for a fixed time
# each, the installer packages (built from the same trees, x64 tested in a
# Wine prefix of its own), then the Windows tests under Wine, one CTest test
# per GoogleTest case, so that the run ends with CTest's count of cases.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
FUZZ_SECONDS=${FUZZ_SECONDS:-20}

tools/install-deps.sh

echo "== Code layout (.clang-format)"
tools/format-check.sh

tools/build.sh native
tools/build.sh win32
tools/build.sh win64

echo "== Core tests (native, AddressSanitizer + UndefinedBehaviorSanitizer)"
ctest --test-dir build/native --output-on-failure

echo "== Fuzz targets (${FUZZ_SECONDS} s each)"
for fz in build/native/fuzz_*; do
  [ -x "$fz" ] || continue
  name=$(basename "$fz")
  corpus=build/fuzz-corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=
  "$fz" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "$corpus" $seeds >build/$name.log 2>&1 \
    || { tail -50 build/$name.log; echo "$name FAILED"; exit 1; }
  echo "$name: $(grep -c . build/$name.log) log lines, no crash"
done

echo "== Installer packages (x64 installed, upgraded and removed under Wine)"
set +e
tools/package.sh --no-build && tools/package-test.sh
pkg=$?
set -e
[ $pkg -ne 0 ] && echo "Installer test FAILED"

echo "== Windows tests (x86_64, Wine)"
. tools/wine-env.sh
wine_prefix "$root/build/wine-test" null
wine_keepalive
set +e
ctest --test-dir build/win64 --output-on-failure
rc=$?
wineserver -k 2>/dev/null

[ $pkg -ne 0 ] && echo "Installer test FAILED (see above)"
[ $rc -ne 0 ] && exit $rc
exit $pkg
