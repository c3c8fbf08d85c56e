#!/usr/bin/env bash
# The Windows installer under Wine: a silent install ("/S") puts the programs into Program Files
# with a Start-menu entry and an uninstaller registered with Windows, the installed program runs,
# and a silent uninstall takes all of it away again.
#   tests/windows/installer.sh SETUP_EXE VERSION      (WINEPREFIX set to a ready prefix)
set -euo pipefail
setup=$(realpath "$1") version=$2
drive="$WINEPREFIX/drive_c"
installed="$drive/Program Files/Vestrel"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Vestrel"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vestrel'
failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
registered() { wine reg query "$key" /v UninstallString >/dev/null 2>&1; }
not() { ! "$@"; }

wine "$setup" /S
check "installed into Program Files" test -f "$installed/vestrel.exe" -a -f "$installed/vestrelw.exe" \
  -a -f "$installed/vestrel-fleet.exe" -a -f "$installed/NOTICES.txt"
check "Start-menu entry" test -f "$menu/Vestrel.lnk"
check "uninstaller registered" registered
runs() { [ "$(wine "$installed/vestrel.exe" --version | tr -d '\r')" = "vestrel $version" ]; }
check "the installed program runs" runs

wine "$installed/uninstall.exe" /S
# The uninstaller copies itself away and finishes in the background.
for _ in $(seq 100); do [ -e "$installed" ] || break; sleep 0.1; done
check "uninstalled: the folder is gone" not test -e "$installed"
check "uninstalled: the Start-menu entry is gone" not test -e "$menu"
check "uninstalled: no longer registered" not registered
exit "$failures"
