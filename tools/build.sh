#!/usr/bin/env bash
# Configures and builds one tree: native | win64 | win32, everything in it
# or, after the tree's name, only the targets named (tools/test.sh builds
# only the shipped programs in the win32 tree: what its package holds).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
tree=${1:-}
shift || true
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
# VK_BUILD moves the build trees (default build/), e.g. for a second worktree.
out=${VK_BUILD:-build}
# The Windows trees: optimised, without debug information. Nothing here
# reads it (crash reports name modules and addresses, the packages are
# stripped), it takes a fifth of the compile time, and Wine reads every test
# program's debug sections into memory each time it starts one. For a
# debugger: cmake -B build/win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo.
windows=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG")
case "$tree" in
  native)
    cmake -S . -B "$out/native" -DCMAKE_BUILD_TYPE=Debug -DVARNOKEL_FUZZ=ON \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$out/native" -j"$jobs" "${targets[@]}" ;;
  win64)
    cmake -S . -B "$out/win64" "${windows[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
    cmake --build "$out/win64" -j"$jobs" "${targets[@]}" ;;
  win32)
    cmake -S . -B "$out/win32" "${windows[@]}" -DVARNOKEL_TESTS=OFF \
          -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
    cmake --build "$out/win32" -j"$jobs" "${targets[@]}" ;;
  *) echo "usage: $0 native|win64|win32 [target ...]" >&2; exit 2 ;;
esac
