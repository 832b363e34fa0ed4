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
exec wine "$@"
