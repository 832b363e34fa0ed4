#!/usr/bin/env bash
# Builds the Windows Installer packages with wixl:
#   build/Varnokel-<version>-x64.msi   from build/win64
#   build/Varnokel-<version>-x86.msi   from build/win32
# The version is the product version of res/Varnokel.rc. vkctl.exe and
# XCrashReport.exe go into a package when its build tree holds them.
#
#   tools/package.sh [--no-build] [--version V] [--out DIR] [x64|x86 ...]
#     --no-build   package the build trees as they are (tools/test.sh has
#                  just built them); otherwise each tree is brought up to date
#     --version V  another product version (three numbers), for upgrade tests
#     --out DIR    where the packages go (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${VK_BUILD:-build}
dest=$out
build=1
version=
arches=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --version) version=$2; shift ;;
    --out) dest=$2; shift ;;
    x64|x86) arches+=("$1") ;;
    *) echo "usage: $0 [--no-build] [--version V] [--out DIR] [x64|x86 ...]" >&2; exit 2 ;;
  esac
  shift
done
[ ${#arches[@]} -gt 0 ] || arches=(x64 x86)

if [ -z "$version" ]; then
  # PRODUCTVERSION 7,0,1717,0 -> 7.0.1717 (Windows Installer compares three fields).
  version=$(sed -n 's/^ *PRODUCTVERSION *\([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' res/Varnokel.rc)
fi
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package: bad version '$version'" >&2; exit 1; }

for tool in wixl msiinfo; do
  command -v "$tool" >/dev/null || { echo "package: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
done

# The product codes derive from the package's fixed upgrade code.
upgrade_code=$(sed -n 's/.*UpgradeCode="\([0-9A-F-]*\)".*/\1/p' installer/Varnokel.wxs)
[ ${#upgrade_code} = 36 ] || { echo "package: no upgrade code in installer/Varnokel.wxs" >&2; exit 1; }
mkdir -p "$dest"

for arch in "${arches[@]}"; do
  case $arch in
    x64) tree=$out/win64; target=win64; strip=x86_64-w64-mingw32-strip ;;
    x86) tree=$out/win32; target=win32; strip=i686-w64-mingw32-strip ;;
  esac
  [ $build = 1 ] && tools/build.sh $target
  [ -f "$tree/Varnokel.exe" ] || { echo "package: $tree/Varnokel.exe is missing (tools/build.sh $target)" >&2; exit 1; }

  # The packaged programs without their debug information (a tenth of the size).
  stage=$dest/stage/$arch
  rm -rf "$stage"
  mkdir -p "$stage"
  defines=()
  programs=(Varnokel.exe)
  # Built programs: in the tree's root, or one folder down.
  built() { find "$tree" -maxdepth 2 -name "$1" -type f | sort | head -1; }
  sources=("$tree/Varnokel.exe")
  if [ -n "$(built vkctl.exe)" ]; then
    programs+=(vkctl.exe); sources+=("$(built vkctl.exe)"); defines+=(-D HaveVkctl=1)
  fi
  if [ -n "$(built XCrashReport.exe)" ]; then
    programs+=(XCrashReport.exe); sources+=("$(built XCrashReport.exe)"); defines+=(-D HaveCrashReport=1)
  fi
  for i in "${!programs[@]}"; do "$strip" -o "$stage/${programs[$i]}" "${sources[$i]}"; done

  # One product code per version and architecture, the same on every build:
  # rebuilding a version gives the same product, a new version a new one.
  product_code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
                 "$upgrade_code" "Varnokel-$version-$arch")
  msi=$dest/Varnokel-$version-$arch.msi
  # wixl takes source paths relative to the current folder only.
  rel() { realpath -m --relative-to="$PWD" "$1"; }
  wixl -a "$arch" -D Version="$version" -D ProductCode="$product_code" -D Arch="$arch" \
       -D BinDir="$(rel "$stage")" -D IconFile="$(rel "$tree/res/art/icon_128.ico")" "${defines[@]}" \
       installer/Varnokel.wxs -o "$msi"

  props=$(msiinfo export "$msi" Property | tr -d '\r')
  prop() { printf '%s\n' "$props" | awk -F'\t' -v k="$1" '$1 == k { print $2 }'; }
  echo "$msi: $(prop ProductName) $(prop ProductVersion) ($arch), product code $(prop ProductCode)," \
       "upgrade code $(prop UpgradeCode); programs: ${programs[*]}"
done
