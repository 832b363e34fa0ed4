#!/bin/sh
# CTest runs every Windows test program through this script (the programs'
# emulator). It runs the program under Wine, in the prefix $WINEPREFIX:
# the one `wine_prefix` chose for a run by hand.
#
# tools/wine-suite.sh runs several cases at a time, each in a Wine prefix of
# its own, because cases running side by side must not share the prefix's
# named objects, registry and files. It hands CTest a resource file of
# "wine" slots, one per prefix ($VK_WINE_SLOT_DIR/<id>); CTest gives every
# case one free slot and names it in CTEST_RESOURCE_GROUP_0_WINE
# ("id:s0,slots:1").
if [ -n "${CTEST_RESOURCE_GROUP_0_WINE:-}" ]; then
  if [ -z "${VK_WINE_SLOT_DIR:-}" ]; then
    echo "wine-test.sh: a wine slot without VK_WINE_SLOT_DIR (run the suite with tools/wine-suite.sh)" >&2
    exit 1
  fi
  slot=${CTEST_RESOURCE_GROUP_0_WINE#id:}
  WINEPREFIX=$VK_WINE_SLOT_DIR/${slot%%,*}
  export WINEPREFIX
fi

# Now and then Wine's loader fails to start a program at all (it could not
# reserve the program's address space, and says nothing with
# WINEDEBUG=-all): the case fails in a few milliseconds without a line of
# output. The test programs create the file VARNOKEL_TEST_STARTED names as their
# first step, so a program that never started is told from one that ran and
# failed; only the first is started once more. (Z: is the Unix root in
# every Wine prefix.)
marker=$(mktemp -u "${TMPDIR:-/tmp}/vk-started.XXXXXX")
VARNOKEL_TEST_STARTED="Z:$(printf '%s' "$marker" | tr / '\\')"
export VARNOKEL_TEST_STARTED
for try in 1 2; do
  wine "$@"
  rc=$?
  if [ $rc -eq 0 ] || [ -e "$marker" ]; then
    rm -f "$marker"
    exit $rc
  fi
  [ $try = 1 ] && echo "wine-test.sh: Wine did not start $1 (exit code $rc); starting it again" >&2
done
exit $rc
