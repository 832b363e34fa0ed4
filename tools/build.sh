#!/usr/bin/env bash
# Configures and builds one tree: native | win64 | win32.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# VK_BUILD moves the build trees (default build/), e.g. for a second worktree.
out=${VK_BUILD:-build}
case "$1" in
  native)
    cmake -S . -B "$out/native" -DCMAKE_BUILD_TYPE=Debug -DVARNOKEL_FUZZ=ON \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$out/native" -j"$jobs" ;;
  win64)
    cmake -S . -B "$out/win64" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
    cmake --build "$out/win64" -j"$jobs" ;;
  win32)
    cmake -S . -B "$out/win32" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOKEL_TESTS=OFF \
          -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
    cmake --build "$out/win32" -j"$jobs" ;;
  *) echo "usage: $0 native|win64|win32" >&2; exit 2 ;;
esac
