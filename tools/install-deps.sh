#!/usr/bin/env bash
# Installs the build and test tools on a Debian 12 machine, only what is missing.
# Wine is installed as wine64 only: the i386 wine32 package breaks the wine
# command on these machines.
set -euo pipefail

packages=(cmake make g++ clang clang-format libclang-rt-14-dev googletest
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
          binutils-mingw-w64-i686 wine wine64 xvfb xauth imagemagick x11-utils xdotool python3
          wixl msitools nlohmann-json3-dev)

# One query for all of them: the installed ones, one name a line.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
            awk '$2 == "install" && $3 == "ok" && $4 == "installed" { print $1 }' || true)
need=()
for p in "${packages[@]}"; do
  grep -qxF "$p" <<<"$installed" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
