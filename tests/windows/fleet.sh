#!/usr/bin/env bash
# vestrel-fleet.exe under Wine with three virtual receivers on COM5, COM6 and COM7, one of which
# pulls its cable mid-transfer: the two others are loaded (each image compared byte for byte), the
# third fails, the JSON summary and the exit status say so. Then Ctrl-C on the fleet: each child
# stops, closes its log, and the fleet exits with 130. Then the fleet killed outright (each child
# finishes the image it writes and stops with its log closed) and the inventory (--identify).
#   tests/windows/fleet.sh PROGRAMS_DIR SIM MKFW
# PROGRAMS_DIR holds vestrel.exe and vestrel-fleet.exe side by side. Needs WINEPREFIX set.
set -euo pipefail
programs=$(realpath "$1") sim=$(realpath "$2") mkfw=$(realpath "$3")
fleet="$programs/vestrel-fleet.exe"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
"$mkfw" "$work/fw" --main-size 49152 >/dev/null  # a short load: three run side by side under Wine
named=$work/fw/named
failures=0
winpath() { echo "Z:${1//\//\\}"; }
fail() {
  echo "FAIL $1"
  failures=$((failures + 1))
}

# start_receivers ARGS5 -- ARGS6 -- ARGS7: a receiver on each port, its flashed images in its folder.
start_receivers() {
  local n=5 args=()
  pids=()
  rm -rf "$work"/rx*
  for a in "$@" --; do
    if [ "$a" != "--" ]; then args+=("$a"); continue; fi
    mkdir -p "$work/rx$n/flashed"
    "$sim" --path-file "$work/rx$n/pty" --flashed-dir "$work/rx$n/flashed" "${args[@]}" >"$work/rx$n/sim.log" 2>&1 &
    pids+=($!)
    n=$((n + 1)) args=()
  done
  for n in 5 6 7; do
    for _ in $(seq 50); do [ -s "$work/rx$n/pty" ] && break; sleep 0.1; done
    ln -sfn "$(cat "$work/rx$n/pty")" "$WINEPREFIX/dosdevices/com$n"
  done
}

stop_receivers() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  pids=()
}

# flashed N: receiver N flashed the distribution's images, byte for byte.
flashed() {
  local dir="$work/rx$1/flashed" i=0 pair
  for pair in flash="$named/boot.ldp" ram="$named/rfbrd.ldr" ram="$named/powbrd.ldr" flash="$named/main.ldp"; do
    i=$((i + 1))
    cmp -s "$dir/$i-${pair%%=*}.bin" "${pair#*=}" || return 1
  done
  [ "$(ls "$dir" | wc -l)" -eq 4 ]
}

source_args=(/speed 115200 /source "$(winpath "$work/fw/named.zip")" /capture soft)

# Three receivers, the third pulls its cable after 20 frames.
start_receivers -- -- --drop-link-after 20
status=0
(cd "$work" && wine "$fleet" --port COM5 --port COM6 --port COM7 --json --log-dir "$(winpath "$work/logs")" -- \
  "${source_args[@]}" >"$work/fleet.json" 2>"$work/fleet.err") || status=$?
stop_receivers
summary=$(tr -d '\r' <"$work/fleet.json")
outcome() {
  printf '%s' "$summary" | python3 -c "import json,sys
d=json.load(sys.stdin)
print([r for r in d['receivers'] if r['port']=='$1'][0]['outcome'])" 2>/dev/null || echo "?"
}
if [ "$status" -eq 1 ] && [ "$(outcome COM5)" = confirmed ] && [ "$(outcome COM6)" = confirmed ] &&
   [ "$(outcome COM7)" = failed ] && flashed 5 && flashed 6 && ! flashed 7 &&
   grep -q "^Log file closed " "$work/logs/COM7-port.log"; then
  echo "ok   fleet-three-com-ports"
else
  fail "fleet-three-com-ports: exit status $status, COM5 $(outcome COM5), COM6 $(outcome COM6), COM7 $(outcome COM7)"
  head -c 1500 "$work/fleet.json"; tail -5 "$work/fleet.err"
fi

# Ctrl-C on the fleet while the three load (a terminal of its own, so that it has a console):
# each child gets Ctrl-Break, aborts and closes its log; the fleet exits with 130.
start_receivers -- -- --
rm -rf "$work/logs"
(status=0; cd "$work" && script -qec "wine '$fleet' --port COM5 --port COM6 --port COM7 --log-dir '$(winpath "$work/logs")' \
   -- /speed 115200 /source '$(winpath "$work/fw/named.zip")' /capture soft >'$work/ctrl-c.out' 2>&1" /dev/null </dev/null >/dev/null 2>&1 || status=$?
 echo "$status" >"$work/ctrl-c.status") &
loading() { [ "$( (grep -l "\] Loading " "$work"/logs/COM*.log 2>/dev/null || true) | wc -l)" -eq 3 ]; }
for _ in $(seq 600); do loading && break; sleep 0.1; done
kill -INT "$(pgrep -f "^$fleet" | head -1)" 2>/dev/null || true
for _ in $(seq 300); do [ -s "$work/ctrl-c.status" ] && break; sleep 0.1; done
stop_receivers
closed=$( (grep -l "^Log file closed " "$work"/logs/COM*.log 2>/dev/null || true) | wc -l)
left=$( (pgrep -f "vestrel\.exe --json /port COM" || true) | wc -l)
if [ "$(cat "$work/ctrl-c.status" 2>/dev/null)" = 130 ] && [ "$closed" -eq 3 ] && [ "$left" -eq 0 ]; then
  echo "ok   fleet-ctrl-c"
else
  fail "fleet-ctrl-c: status $(cat "$work/ctrl-c.status" 2>/dev/null), $closed logs closed, $left children left"
  tail -8 "$work/ctrl-c.out" 2>/dev/null || true
fi

# The fleet killed outright while the three load: each child sees its fleet go, finishes the image it
# writes, then stops with its log closed.
start_receivers -- -- --
rm -rf "$work/logs"
(cd "$work" && wine "$fleet" --port COM5 --port COM6 --port COM7 --log-dir "$(winpath "$work/logs")" -- \
  "${source_args[@]}" >"$work/killed.out" 2>&1 &)
for _ in $(seq 600); do loading && break; sleep 0.1; done
children=$( (pgrep -f "vestrel\.exe --json /port COM" || true) | wc -l)
kill -KILL "$(pgrep -f "^$fleet" | head -1)" 2>/dev/null || true
for _ in $(seq 3000); do [ "$( (pgrep -f "vestrel\.exe --json /port COM" || true) | wc -l)" -eq 0 ] && break; sleep 0.1; done
left=$( (pgrep -f "vestrel\.exe --json /port COM" || true) | wc -l)
stop_receivers
closed=$(grep -l "Log file closed" "$work"/logs/*.log 2>/dev/null | wc -l)
if [ "$children" -eq 3 ] && [ "$left" -eq 0 ] && [ "$closed" -eq 3 ]; then
  echo "ok   fleet-killed-children-end-their-image"
else
  fail "fleet-killed-children-end-their-image: $children children while loading, $left left, $closed logs closed"
fi

# The inventory: two receivers answer, COM7 is switched off.
start_receivers --identity R5 -- --identity R6 -- --off
status=0
(cd "$work" && wine "$fleet" --identify --port COM5 --port COM6 --port COM7 --json >"$work/inventory.json" 2>&1) || status=$?
stop_receivers
if [ "$status" -eq 1 ] && grep -q '"id":"R5"' "$work/inventory.json" && grep -q '"id":"R6"' "$work/inventory.json" &&
   grep -q '"port":"COM7","found":false' "$work/inventory.json"; then
  echo "ok   fleet-identify"
else
  fail "fleet-identify: exit status $status"
  head -c 800 "$work/inventory.json"
fi

# --all: the COM ports the system lists (COM5 is in the registry's serial-port map) and the stored
# hosts, here narrowed to COM5.
start_receivers --identity R5 -- -- --
status=0
(cd "$work" && wine "$fleet" --identify --all --match '^COM5$' --json >"$work/all.json" 2>&1) || status=$?
stop_receivers
if [ "$status" -eq 0 ] && grep -q '"port":"COM5","found":true' "$work/all.json" && grep -q '"id":"R5"' "$work/all.json"; then
  echo "ok   fleet-all-com-ports"
else
  fail "fleet-all-com-ports: exit status $status"
  head -c 800 "$work/all.json"
fi

[ "$failures" -eq 0 ] && echo "the fleet under Wine: all passed" || echo "the fleet under Wine: $failures failed"
exit "$failures"
