#!/usr/bin/env bash
# The MSI package under Wine: installed silently (msiexec /i ... /qn) with its programs, the
# Start-menu entry that starts in the user's own folder and its registration; an older version
# (built here from the same files) replaced by it; removed silently (msiexec /x ... /qn) keeping
# the user's stored hosts and devices, and with REMOVESETTINGS=1 removing them.
#   tests/windows/msi.sh MSI VERSION STAGE WXS
# STAGE is the folder the package was built from (scripts/package-windows); WINEPREFIX set.
set -euo pipefail
msi=$(realpath "$1") version=$2 stage=$(realpath "$3") wxs=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
drive="$WINEPREFIX/drive_c"
installed="$drive/Program Files/Vestrel"
. "$(dirname "$0")/install-checks.sh"
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
registered() { wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" >/dev/null 2>&1; }
runs() { [ "$(wine "$installed/vestrel.exe" --version | tr -d '\r')" = "vestrel $1" ]; }
programs() { test -f "$installed/vestrel.exe" -a -f "$installed/vestrelw.exe" -a -f "$installed/vestrel-fleet.exe"; }
shortcut() { find "$drive" -path "*Start Menu/Programs/Vestrel/Vestrel.lnk" | head -1; }
shortcut_folder() {
  local lnk
  lnk=$(shortcut)
  [ -n "$lnk" ] && python3 "$here/shortcut_folder.py" "$lnk" | sed -n 2p | grep -qx '%USERPROFILE%\\\?'
}

# An older version of the same package, as a site would have installed it before.
old="$work/vestrel-0.9.0-x64.msi"
(cd "$stage" && wixl -a x64 -D Version=0.9.0 -o "$old" "$wxs")
old_code=$(product_code "$old") new_code=$(product_code "$msi")

wine msiexec /i "$old" /qn
check "the older version installed" registered "$old_code"
wine msiexec /i "$msi" /qn
check "installed silently: the three programs" programs
check "installed silently: the program runs as $version" runs "$version"
check "installed silently: registered" registered "$new_code"
check "the older version was replaced" not registered "$old_code"
check "the Start-menu entry starts in %USERPROFILE%, unexpanded" shortcut_folder
secure_removesettings() { msiinfo export "$msi" Property | tr -d '\r' | grep -q $'^SecureCustomProperties\t.*REMOVESETTINGS'; }
check "REMOVESETTINGS is a secure property" secure_removesettings

store_settings
wine msiexec /x "$msi" /qn
check "removed silently: the programs gone" not programs
check "removed silently: no longer registered" not registered "$new_code"
check "removed silently: the stored hosts kept" settings_kept

wine msiexec /i "$msi" /qn
wine msiexec /x "$msi" /qn REMOVESETTINGS=1
check "removed with REMOVESETTINGS=1: the stored hosts gone" not settings_kept
check "removed with REMOVESETTINGS=1: the programs gone" not programs
exit "$failures"
