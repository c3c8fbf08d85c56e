#!/usr/bin/env bash
# Whole unattended loads of the Windows program under Wine into the virtual receiver (the Linux
# vestrel-sim): a Soft Break Capture load and a file upload over COM5, linked to the receiver's
# pseudo-terminal, and a file upload over TCP/IP from a folder with a non-ASCII name. Each image
# the receiver flashed is compared byte for byte with the distribution's. Then Ctrl-C during a
# load, and a port that is not there; with a display, the Soft Break load through the dialog.
#   tests/windows/end-to-end.sh VESTREL_EXE SIM MKFW
# Needs WINEPREFIX set to a ready prefix.
set -euo pipefail
exe=$(realpath "$1") sim=$(realpath "$2") mkfw=$(realpath "$3")
work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Vestrel  # this run's load history starts empty
"$mkfw" "$work/fw" >/dev/null
unicode="$work/Übertragung für Empfänger"
cp -r "$work/fw/named" "$unicode"
failures=0

winpath() { echo "Z:${1//\//\\}"; }

start_receiver() {
  rm -rf "$work/flashed" "$work/pty" "$work/sim.log"
  mkdir -p "$work/flashed"
  "$sim" --path-file "$work/pty" --tcp 0 --flashed-dir "$work/flashed" "$@" >"$work/sim.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$work/pty" ] && break; sleep 0.1; done
  ln -sfn "$(cat "$work/pty")" "$WINEPREFIX/dosdevices/com5"
  for _ in $(seq 50); do grep -q '^tcp:' "$work/sim.log" && break; sleep 0.1; done
}

# Stops the receiver, which then writes what it flashed.
stop_receiver() {
  kill "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=
}

# run NAME EXPECTED_STATUS ARGS...: one run of the program, its output kept for a failure.
run() {
  local name=$1 expected=$2
  shift 2
  local status=0
  (cd "$work" && wine "$exe" "$@" /log "$(winpath "$work/$name.log")" /run /exit >"$work/$name.out" 2>&1) || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "FAIL $name: exit status $status, expected $expected"
    tail -20 "$work/$name.out"
    failures=$((failures + 1))
    return 1
  fi
}

# flashed NAME FILE=IMAGE...: the receiver flashed exactly these, in this order.
flashed() {
  local name=$1
  shift
  local got
  got=$(cd "$work/flashed" && ls | sort -n | tr '\n' ' ')
  local want="" i=0
  for pair in "$@"; do
    i=$((i + 1))
    want+="$i-${pair%%=*}.bin "
    if ! cmp -s "$work/flashed/$i-${pair%%=*}.bin" "${pair#*=}"; then
      echo "FAIL $name: image $i (${pair%%=*}) differs from ${pair#*=}"
      failures=$((failures + 1))
      return 1
    fi
  done
  if [ "$got" != "$want" ]; then
    echo "FAIL $name: the receiver flashed '$got', expected '$want'"
    failures=$((failures + 1))
    return 1
  fi
  echo "ok   $name"
}

named=$work/fw/named
start_receiver
run soft-break-com5 0 /port COM5 /speed 115200 /source "$(winpath "$work/fw/named.zip")" /capture soft || true
stop_receiver
flashed soft-break-com5 flash="$named/boot.ldp" ram="$named/rfbrd.ldr" ram="$named/powbrd.ldr" flash="$named/main.ldp" || true

# The same load through the wizard's dialog ("--window": the dialog presses its own buttons), on
# the display the tests run on.
if [ -n "${DISPLAY:-}" ]; then
  start_receiver
  run dialog-soft-break-com5 0 /port COM5 /speed 115200 /source "$(winpath "$work/fw/named.zip")" /capture soft \
    --window || true
  stop_receiver
  flashed dialog-soft-break-com5 flash="$named/boot.ldp" ram="$named/rfbrd.ldr" ram="$named/powbrd.ldr" \
    flash="$named/main.ldp" || true
fi

start_receiver
run upload-com5 0 /port COM5 /speed 115200 /source "$(winpath "$work/fw/numbered/010.ldp")" /capture fldp || true
stop_receiver
flashed upload-com5 fld-stream="$work/fw/numbered/010.ldp" || true

start_receiver
tcp=$(grep '^tcp:' "$work/sim.log")
run upload-tcp 0 /port "$tcp" /source "$(winpath "$unicode/main.ldp")" /capture fldp || true
stop_receiver
flashed upload-tcp fld="$unicode/main.ldp" || true

# Ctrl-C during a load: Wine turns SIGINT to the program into the console's Ctrl-C event (the
# program runs on a terminal of its own, so that it has a console). The run stops with 130, the
# abort texts and the activity log's close line.
start_receiver
(status=0; cd "$work" && script -qec "wine '$exe' /port COM5 /speed 115200 /source '$(winpath "$work/fw/named.zip")' \
   /capture soft /log '$(winpath "$work/ctrl-c.log")' /run /exit >'$work/ctrl-c.out' 2>&1" /dev/null \
   </dev/null >/dev/null 2>&1 || status=$?; echo "$status" >"$work/ctrl-c.status") &
for _ in $(seq 300); do grep -q "^Loading " "$work/ctrl-c.out" 2>/dev/null && break; sleep 0.1; done
kill -INT "$(pgrep -f "^$exe" | head -1)" 2>/dev/null || true
for _ in $(seq 100); do [ -s "$work/ctrl-c.status" ] && break; sleep 0.1; done
stop_receiver
if [ "$(cat "$work/ctrl-c.status" 2>/dev/null)" = 130 ] && grep -q "^Aborted by user" "$work/ctrl-c.out" &&
   grep -q "^Log file closed " "$work/ctrl-c.log"; then
  echo "ok   ctrl-c-com5"
else
  echo "FAIL ctrl-c-com5: status $(cat "$work/ctrl-c.status" 2>/dev/null), expected 130 with the abort texts"
  tail -5 "$work/ctrl-c.out" 2>/dev/null || true
  failures=$((failures + 1))
fi

# A port that is not there: a clear error, exit status 1, nothing reported as loaded.
if run missing-port 1 /port COM9 /speed 115200 /source "$(winpath "$work/fw/named.zip")" /capture soft; then
  if grep -q "Check the port name" "$work/missing-port.out"; then echo "ok   missing-port"
  else
    echo "FAIL missing-port: no remedy in the output"
    tail -5 "$work/missing-port.out"
    failures=$((failures + 1))
  fi
fi

# Signed distributions (minisign's format; minisign itself signs): a trusted key's signature loads
# and the history names the key; an untrusted key, an altered file, no signature where one is
# required and a garbage signature are each refused with their own words before any port opens
# (COM4 is no port at all: a refusal after opening it would name it).
if command -v minisign >/dev/null; then
  keys="$work/keys"
  mkdir -p "$keys"
  minisign -G -W -p "$keys/maker.pub" -s "$keys/maker.key" >/dev/null
  minisign -G -W -p "$keys/other.pub" -s "$keys/other.key" >/dev/null
  for name in good other altered unsigned garbage; do cp "$work/fw/named.zip" "$work/$name.zip"; done
  minisign -S -s "$keys/maker.key" -m "$work/good.zip" -t "VR-100 release under Wine" >/dev/null
  minisign -S -s "$keys/other.key" -m "$work/other.zip" >/dev/null
  minisign -S -s "$keys/maker.key" -m "$work/altered.zip" >/dev/null
  printf 'x' >>"$work/altered.zip"
  printf 'untrusted comment: x\nnot base64\ntrusted comment: y\nAAAA\n' >"$work/garbage.zip.minisig"
  trust=(--trusted-key "$(winpath "$keys/maker.pub")" --require-signature)
  start_receiver
  if run signed-com5 0 /port COM5 /speed 115200 /source "$(winpath "$work/good.zip")" /capture soft "${trust[@]}"; then
    signer=$(cd "$work" && wine "$exe" --list-history --json --limit 1 2>/dev/null |
             python3 -c 'import json,sys; print(json.load(sys.stdin)[0]["signer_comment"])' 2>/dev/null || true)
    if [ "$signer" = "VR-100 release under Wine" ]; then echo "ok   signed-com5"
    else echo "FAIL signed-com5: the history names no signer ($signer)"; failures=$((failures + 1)); fi
  fi
  stop_receiver
  for pair in "other:not a trusted key" "altered:changed after it was signed" "unsigned:is not signed" \
              "garbage:not a minisign signature"; do
    name=${pair%%:*} words=${pair#*:}
    if run "refused-$name" 1 /port COM4 /source "$(winpath "$work/$name.zip")" /capture soft "${trust[@]}"; then
      if grep -q "$words" "$work/refused-$name.out" && ! grep -q "COM4" "$work/refused-$name.out"; then
        echo "ok   refused-$name"
      else
        echo "FAIL refused-$name: not refused for its own reason before the port"
        tail -5 "$work/refused-$name.out"
        failures=$((failures + 1))
      fi
    fi
  done
fi

# The load history in %LOCALAPPDATA%: every run above left its row, the first load confirmed with
# its digests; the activity log names the program and its command line.
history=$(cd "$work" && wine "$exe" --list-history --json 2>&1) || true
rows=$(printf '%s' "$history" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))' 2>/dev/null || echo 0)
if [ "$rows" -ge 5 ] && printf '%s' "$history" | grep -q '"outcome":"confirmed","stage":"done"' &&
   printf '%s' "$history" | grep -q '"source_sha256":"[0-9a-f]\{64\}"' &&
   grep -q "\] Command line: vestrel /port COM5" "$work/soft-break-com5.log"; then
  echo "ok   load-history"
else
  echo "FAIL load-history: $rows rows"
  printf '%s\n' "$history" | head -c 600
  failures=$((failures + 1))
fi

# A PostgreSQL server is reached from Linux only: named here, it is bad usage that names the way a
# Windows station joins the line (the line service).
status=0
server=$(cd "$work" && wine "$exe" --history-db postgresql://line@127.0.0.1/history --list-history 2>&1) || status=$?
if [ "$status" -eq 2 ] && printf '%s' "$server" | grep -q "cannot reach a PostgreSQL server" &&
  printf '%s' "$server" | grep -q "https://HOST"; then echo "ok   history-server-refused"
else
  echo "FAIL history-server-refused: exit status $status: $server"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "end-to-end under Wine: all passed" || echo "end-to-end under Wine: $failures failed"
exit "$failures"
