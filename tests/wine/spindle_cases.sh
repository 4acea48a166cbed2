#!/usr/bin/env bash
# Spindle.exe under Wine, over the real named pipe, in a prefix of its own:
#   1. console mode with the default snapshot's disk: mode 0 and mode 3 answered byte-exactly;
#      a client that stalls is dropped while a second one waits and is then served; a bad mode
#      byte and a client that leaves without a request get nothing, and the server serves on;
#   2. the real service control manager: sc create (binPath with the snapshot argument), start,
#      serve, stop within the wait hint.
#
#   spindle_cases.sh BUILD_DIR SOURCE_DIR      (WINEPREFIX and QUARRO_WINE_TEMPLATE set)
set -euo pipefail
build=$1
source_dir=$2
harness="$source_dir/tests/wine/winetest.sh"
bash "$harness" clone "$QUARRO_WINE_TEMPLATE"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY QUARRO_MACHINE
WINE=/usr/lib/wine/wine64
winpath() { local p; p=$(readlink -f "$1"); printf 'Z:%s' "${p//\//\\}"; }
server=$(winpath "$build/bin/Spindle.exe")
machine=$(winpath "$source_dir/machines/default")
client="$build/tests/smart_pipe_client.exe"
work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
expect() {  # expect WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}
ask() { "$WINE" "$client" "$@" 2>/dev/null | tr -d '\r'; }

# Attribute 194 is the 14th entry of the default disk: value 181, raw 21 00 12 00 3a 00, worst 166.
entry194="entry13=c2b5210012003a00a600"

"$WINE" "$server" /console "/machine:$machine" >"$work/server.log" 2>&1 &
server_pid=$!
expect "mode 0" "count=19 $entry194" "$(ask ask 0)"
expect "mode 3" "count=19 $entry194 sector=1000 sum=00" "$(ask ask 3)"

# A client that holds the pipe without a request, and one that arrives meanwhile.
ask stall 3000 >"$work/stall.log" &
stall_pid=$!
sleep 0.5
expect "a second client while the first stalls" "count=19 $entry194 sector=1000 sum=00" "$(ask ask 3)"
wait "$stall_pid" || true
expect "the stalled client was dropped" "holding
dropped" "$(tr -d '\r' <"$work/stall.log")"

expect "a bad mode byte gets nothing" "reply=0" "$(ask send 07)"
expect "a client that leaves without asking" "reply=0" "$(ask send)"
expect "served after all that" "count=19 $entry194" "$(ask ask 0)"
kill "$server_pid" 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
server_pid=
expect "the server answered four clients" "4" "$(grep -c 'answered' "$work/server.log" || true)"

# The service control manager: install, start, serve, stop.
"$WINE" sc create Spindle binPath= "$server /machine:$machine" start= auto >/dev/null 2>&1
"$WINE" sc start Spindle >/dev/null 2>&1 || true
expect "served by the service" "count=19 $entry194 sector=1000 sum=00" "$(ask ask 3)"
"$WINE" sc stop Spindle >/dev/null 2>&1 || true
state=
for _ in $(seq 1 30); do  # the wait hint is 3 s: poll for at most that
    state=$("$WINE" sc query Spindle 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}')
    [ "$state" = "STOPPED" ] && break
    sleep 0.1
done
expect "stopped within the wait hint" "STOPPED" "$state"
"$WINE" sc delete Spindle >/dev/null 2>&1 || true

[ "$failures" = 0 ] || { echo "server log:"; cat "$work/server.log"; exit 1; }
