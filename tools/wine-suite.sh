#!/usr/bin/env bash
# Runs the Windows test cases of build/win64 under Wine, several at a time.
# Cases share named mutexes, mappings, registry keys and files, all of which
# live in a Wine prefix and its wineserver, so every case runs in one of N
# prefixes (build/wine-slots/s0 ...), each with a wineserver of its own, and
# no two cases use one prefix at the same time (tools/wine-test.sh picks the
# prefix CTest gives a case). Arguments go to ctest, e.g.
#   tools/wine-suite.sh -R 'settings\.'
# and the exit code is ctest's. With --batches (make test) it runs every
# case, in batches of a program's cases (CTest label batch) rather than one
# process a case, and ends with the number of cases that passed and failed.
#   VK_WINE_SLOTS=N   number of prefixes, cases at a time (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
batches=
if [ "${1:-}" = --batches ]; then
  batches=1
  shift
  set -- -L '^batch$' "$@"
fi
out=$(realpath -m "${VK_BUILD:-build}")
slots=${VK_WINE_SLOTS:-3}
[[ "$slots" =~ ^[1-9][0-9]*$ ]] || { echo "wine-suite: VK_WINE_SLOTS must be a number, not '$slots'" >&2; exit 2; }
dir=$out/wine-slots

. tools/wine-env.sh
wine_slots "$dir" "$slots"

spec=$dir/resources-$slots.json
ids=
for ((i = 0; i < slots; i++)); do ids+="${ids:+, }{\"id\": \"s$i\", \"slots\": 1}"; done
printf '{"version": {"major": 1, "minor": 0}, "local": [{"wine": [%s]}]}\n' "$ids" >"$spec"

stop() { for ((i = 0; i < slots; i++)); do WINEPREFIX=$dir/s$i wineserver -k 2>/dev/null || true; done; }
trap stop EXIT
for ((i = 0; i < slots; i++)); do (WINEPREFIX=$dir/s$i wine_keepalive); done

# The list of each program's cases is read when ctest starts, in the first prefix.
export WINEPREFIX=$dir/s0 VK_WINE_SLOT_DIR=$dir
set +e
ctest --test-dir "$out/win64" --resource-spec-file "$spec" -j "$slots" --output-on-failure "$@"
rc=$?
if [ -n "$batches" ]; then
  # GoogleTest's own count, from every batch's output.
  awk '/^\[  PASSED  \] [0-9]+ test/ { passed += $4 }
       /^\[  FAILED  \] [0-9]+ test/ { failed += $4 }
       END { printf "Windows cases: %d passed, %d failed\n", passed, failed }' \
    "$out/win64/Testing/Temporary/LastTest.log"
fi
exit $rc
