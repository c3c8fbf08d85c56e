# What the installers' tests share (sourced): a named check that counts failures, its negation,
# and a stored TCP/IP host in the user's settings key, as the program stores it.
failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
not() { ! "$@"; }
settings='HKCU\Software\Telmora\Vestrel'
store_settings() { wine reg add "$settings\\Hosts" /v "Line 3" /t REG_SZ /d "10.0.0.7:8002" /f >/dev/null 2>&1; }
settings_kept() { wine reg query "$settings\\Hosts" /v "Line 3" >/dev/null 2>&1; }
