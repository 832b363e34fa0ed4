#!/usr/bin/env bash
# Installs the x64 package in a Wine prefix of its own (build/wine-package,
# headless), starts the installed program, upgrades it to a package of the
# next build number, tries a downgrade and removes it again, checking after
# each step what an administrator would look at. Prints every check.
# Needs build/win64 with the test helpers (tools/build.sh win64).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${VK_BUILD:-build}")
bin=$out/win64

version=$(sed -n 's/^ *PRODUCTVERSION *\([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' res/Varnokel.rc)
next=${version%.*}.$(( ${version##*.} + 1 ))
msi=$out/Varnokel-$version-x64.msi
# Packaged again from the tree as it is, so that the package matches the stage it is compared with.
tools/package.sh --no-build x64 >/dev/null
# The same programs as the next version: what a newer release looks like to the installer.
tools/package.sh --no-build --version "$next" --out "$out/package-test" x64 >/dev/null
msi_next=$out/package-test/Varnokel-$next-x64.msi

. tools/wine-env.sh
# Wine's menu builder would copy the Start-menu entry into the desktop of
# whoever runs the test: keep it inside the prefix.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
wine_prefix "$out/wine-package" null
wine_keepalive
trap 'wineserver -k 2>/dev/null || true' EXIT
trap 'echo "  FAILED: command at line $LINENO of tools/package-test.sh" >&2' ERR

drive=$WINEPREFIX/drive_c
dir="$drive/Program Files/Varnokel"
rules=$drive/windows/system32/QX5Rule.rle
log=$drive/windows/system32/QX5.log
settings='HKLM\Software\QuorvexSoftware\QX5\Settings'
logs=$out/package-test
checks=0

ok() { checks=$((checks + 1)); echo "  ok: $*"; }
fail() { echo "  FAILED: $*" >&2; exit 1; }
# msiexec ACTION PACKAGE|CODE NAME: runs msiexec silently with a verbose log; prints the exit code.
msiexec() {
  local rc=0
  wine msiexec "$1" "$2" /qn /l*v "$(winepath -w "$logs/$3.txt")" </dev/null >/dev/null 2>&1 || rc=$?
  echo "$rc"
}
# The Apps entries named Varnokel, one "{product code}" a line.
apps() { wine uninstaller --list 2>/dev/null | tr -d '\r' | awk -F'[|][|][|]' '$2 == "Varnokel" { print $1 }'; }
display_version() {
  wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" /v DisplayVersion 2>/dev/null \
    | tr -d '\r' | awk '$1 == "DisplayVersion" { print $3 }'
}
product_code() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }'; }
settings_now() { wine reg query "$settings" 2>/dev/null | tr -d '\r' | sort; }

code=$(product_code "$msi")
code_next=$(product_code "$msi_next")
programs=()
stage=$out/stage/x64 stage_next=$out/package-test/stage/x64
for p in "$stage/"*.exe; do programs+=("$(basename "$p")"); done

# A prefix left by an interrupted run may still hold the product.
for c in $(apps); do msiexec /x "$c" cleanup-"$c" >/dev/null; done
# The prefix is this test's own: start without the user's data, so that the
# program's first start has to make it.
rm -rf "$dir" "$rules" "$log"
wine reg delete 'HKLM\Software\QuorvexSoftware' /f >/dev/null 2>&1 || true

echo "Installing $(basename "$msi") (programs: ${programs[*]})"
rc=$(msiexec /i "$(winepath -w "$msi")" install)
[ "$rc" = 0 ] || fail "msiexec /i exited with $rc (log: $logs/install.txt)"
ok "silent install exited with 0"
for p in "${programs[@]}"; do
  cmp -s "$dir/$p" "$stage/$p" || fail "$p is not in C:\\Program Files\\Varnokel"
done
ok "C:\\Program Files\\Varnokel holds ${programs[*]}, byte for byte"
# With ALLUSERS=1 Windows resolves the Start-menu folder to the all-users
# one; Wine's installer always takes the installing user's. Check the folder
# the installer itself resolved.
menu=$(tr -d '\r' <"$logs/install.txt" | sed -n 's/^Property(S): ProgramMenuFolder = //p' | tail -1)
[ -n "$menu" ] || fail "the install log names no Start-menu folder"
lnk=$(winepath -u "${menu}Varnokel.lnk")
[ -f "$lnk" ] || fail "no Start-menu shortcut $lnk"
shortcut=$(wine "$bin/install_probe.exe" shortcut "$(winepath -w "$lnk")" | tr -d '\r')
target=$(sed -n 1p <<<"$shortcut")
[ "$target" = 'C:\Program Files\Varnokel\Varnokel.exe' ] || fail "the shortcut points to '$target'"
ok "Start menu: ${menu}Varnokel.lnk -> $target (working folder $(sed -n 2p <<<"$shortcut"))"
[ "$(apps)" = "$code" ] || fail "Apps entries: '$(apps)', expected $code"
[ "$(display_version "$code")" = "$version" ] || fail "Apps shows version '$(display_version "$code")'"
# The icon Apps shows: the product icon the installer registered and cached.
icon=$(wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' \
       | sed -n 's/^ *ProductIcon *REG_SZ *//p' | grep -F "$code" || true)
[ -n "$icon" ] && [ -f "$(winepath -u "$icon")" ] || fail "the Apps entry has no icon file ('$icon')"
ok "one Apps entry: Varnokel $version, $code, icon $icon"

echo "Starting the installed program"
run=$(wine "$bin/install_probe.exe" run 'C:\Program Files\Varnokel\Varnokel.exe' 60 | tr -d '\r') \
  || fail "the installed program did not run: $run"
grep -qx 'window: Varnokel' <<<"$run" || fail "unexpected window: $run"
grep -qx 'process: C:\\Program Files\\Varnokel\\Varnokel.exe' <<<"$run" || fail "unexpected process: $run"
ok "C:\\Program Files\\Varnokel\\Varnokel.exe showed its window \"Varnokel\" and ended on Exit ($(grep ^ended <<<"$run"))"
[ -f "$rules" ] || fail "the program made no rule file"
settings_now | grep -q regStrExePath || fail "the program wrote no settings"
ok "the program wrote the rule file and its settings under HKEY_LOCAL_MACHINE"

# The user's data, as the program and the engine leave it: rules, log
# records, settings, and a text log beside the program.
wine "$bin/rule_seed.exe" 12 >/dev/null
wine "$bin/engine-sim.exe" log --generate 8 >/dev/null
printf 'user text log\r\n' >"$dir/Varnokel.exe.log"
rules_sum=$(sha256sum <"$rules")
log_sum=$(sha256sum <"$log")
settings_before=$(settings_now)
keep_data() {
  [ "$(sha256sum <"$rules")" = "$rules_sum" ] || fail "$1 changed the rule file"
  [ "$(sha256sum <"$log")" = "$log_sum" ] || fail "$1 changed the log"
  [ "$(settings_now)" = "$settings_before" ] || fail "$1 changed the settings"
  [ -f "$dir/Varnokel.exe.log" ] || fail "$1 removed the text log beside the program"
}

echo "Upgrading to $(basename "$msi_next")"
rc=$(msiexec /i "$(winepath -w "$msi_next")" upgrade)
[ "$rc" = 0 ] || fail "msiexec /i of $next exited with $rc (log: $logs/upgrade.txt)"
ok "silent install of $next over $version exited with 0"
[ "$(apps)" = "$code_next" ] || fail "Apps entries after the upgrade: '$(apps | tr '\n' ' ')'"
[ "$(display_version "$code_next")" = "$next" ] || fail "Apps shows version '$(display_version "$code_next")'"
ok "one Apps entry: Varnokel $next, $code_next ($version is gone)"
for p in "${programs[@]}"; do
  cmp -s "$dir/$p" "$stage_next/$p" || fail "the upgrade did not install the new $p"
done
[ -f "$lnk" ] || fail "the upgrade lost the shortcut"
keep_data "the upgrade"
ok "the programs of $next and the shortcut in place; rule file, log and settings unchanged"

rc=$(msiexec /i "$(winepath -w "$msi")" downgrade)
[ "$rc" = 67 ] || fail "installing $version over $next exited with $rc, not 1603"
[ "$(apps)" = "$code_next" ] || fail "Apps entries after the refused downgrade: '$(apps | tr '\n' ' ')'"
ok "installing the older $version over $next is refused (exit 1603), $next stays"

msi_x86=$out/Varnokel-$version-x86.msi
# tools/test.sh starts this test while the i686 tree still builds: the file
# VK_X86_PENDING names is there until the x86 package is made (or failed).
while [ -n "${VK_X86_PENDING:-}" ] && [ -e "$VK_X86_PENDING" ]; do sleep 1; done
if [ -f "$msi_x86" ]; then
  rc=$(msiexec /i "$(winepath -w "$msi_x86")" x86)
  # 1603 (fatal error) reaches the shell as its low byte, 67.
  [ "$rc" = 67 ] || fail "the x86 package on 64-bit Windows exited with $rc"
  [ "$(apps)" = "$code_next" ] || fail "Apps entries after the x86 package: '$(apps | tr '\n' ' ')'"
  ok "the x86 package refuses 64-bit Windows (exit 1603)"
fi

echo "Uninstalling by product code"
rc=$(msiexec /x "$code_next" uninstall)
[ "$rc" = 0 ] || fail "msiexec /x exited with $rc (log: $logs/uninstall.txt)"
ok "silent uninstall exited with 0"
for p in "${programs[@]}"; do [ ! -e "$dir/$p" ] || fail "$p is still installed"; done
[ ! -e "$lnk" ] || fail "the shortcut is still there"
[ -z "$(apps)" ] || fail "Apps still lists '$(apps)'"
ok "programs, shortcut and Apps entry removed"
keep_data "the uninstall"
ok "rule file and log in the system directory, settings and the text log beside the program unchanged"
echo "Installer: $checks checks passed"
