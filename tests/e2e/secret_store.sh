#!/usr/bin/env bash
# The secret-store test with a secret service of its own: a private session bus and a GNOME
# keyring daemon whose login keyring is made and unlocked with a password of the test's, in a home folder
# of the test's own. Skipped (77) where gnome-keyring is not installed.
#   secret_store.sh TEST_BINARY
set -euo pipefail
test=$1
command -v gnome-keyring-daemon >/dev/null || { echo "gnome-keyring-daemon is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
session() {
  printf 'vestrel-test' | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  local keyring=$!
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
      string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true" && break
    sleep 0.1
  done
  local status=0
  VESTREL_TEST_SECRET_SERVICE=1 "$test" --gtest_filter='SecretStore.*' || status=$?
  kill "$keyring" 2>/dev/null || true
  return $status
}
export -f session
export test
dbus-run-session -- bash -c session 2> >(grep -v "Failed to set fd limit" >&2)
