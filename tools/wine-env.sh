# Sourced by the scripts: a private Wine prefix inside the build tree.
#   wine_prefix DIR null|x11   creates DIR when missing and selects the
#                              graphics driver (null: headless window tests).
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

wine_prefix() {
  local dir=$1 driver=$2
  export WINEPREFIX=$dir
  if [ ! -f "$dir/system.reg" ]; then
    echo "Creating Wine prefix $dir"
    mkdir -p "$dir"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Without a window manager every hide of a managed window costs seconds.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  if [ "$driver" = null ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
  fi
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Keeps a wineserver running so that every test does not pay its start-up.
wine_keepalive() {
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Makes the headless prefixes DIR/s0 ... DIR/s<N-1> of tools/wine-suite.sh
# that are missing: the first with wineboot, the others as copies of it (a
# copy takes a second or two, a wineboot several).
wine_slots() {
  local dir=$1 n=$2 i
  [ -f "$dir/s0/system.reg" ] || (wine_prefix "$dir/s0" null)
  for ((i = 1; i < n; i++)); do
    [ -f "$dir/s$i/system.reg" ] && continue
    rm -rf "$dir/s$i" "$dir/s$i.new"
    cp -a "$dir/s0" "$dir/s$i.new"
    mv "$dir/s$i.new" "$dir/s$i"
  done
}
