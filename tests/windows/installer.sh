#!/usr/bin/env bash
# The NSIS installer under Wine: a silent install ("/S") puts the programs into Program Files
# with a Start-menu entry that starts in the user's own folder and an uninstaller registered with
# Windows, the installed program runs, and a silent uninstall takes all of it away again but the
# user's stored hosts and devices, which go only with "/REMOVESETTINGS".
#   tests/windows/installer.sh SETUP_EXE VERSION      (WINEPREFIX set to a ready prefix)
set -euo pipefail
setup=$(realpath "$1") version=$2
drive="$WINEPREFIX/drive_c"
installed="$drive/Program Files/Vestrel"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Vestrel"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vestrel'
. "$(dirname "$0")/install-checks.sh"
registered() { wine reg query "$key" /v UninstallString >/dev/null 2>&1; }
here=$(cd "$(dirname "$0")" && pwd)
shortcut_folder() { [ "$(python3 "$here/shortcut_folder.py" "$menu/Vestrel.lnk" | sed -n 2p)" = "%USERPROFILE%" ]; }
uninstall() {  # uninstall [OPTION]: silently, then waits for the copy the uninstaller runs from
  wine "$installed/uninstall.exe" /S "$@"
  for _ in $(seq 100); do [ -e "$installed" ] || break; sleep 0.1; done
}

wine "$setup" /S
check "installed into Program Files" test -f "$installed/vestrel.exe" -a -f "$installed/vestrelw.exe" \
  -a -f "$installed/vestrel-fleet.exe" -a -f "$installed/NOTICES.txt"
check "Start-menu entry" test -f "$menu/Vestrel.lnk"
check "the Start-menu entry starts in %USERPROFILE%, unexpanded" shortcut_folder
check "uninstaller registered" registered
runs() { [ "$(wine "$installed/vestrel.exe" --version | tr -d '\r')" = "vestrel $version" ]; }
check "the installed program runs" runs

store_settings
uninstall
check "uninstalled: the folder is gone" not test -e "$installed"
check "uninstalled: the Start-menu entry is gone" not test -e "$menu"
check "uninstalled: no longer registered" not registered
check "uninstalled silently: the stored hosts kept" settings_kept

wine "$setup" /S
uninstall /REMOVESETTINGS
check "uninstalled with /REMOVESETTINGS: the stored hosts gone" not settings_kept
check "uninstalled with /REMOVESETTINGS: the folder is gone" not test -e "$installed"
exit "$failures"
