#!/usr/bin/env bash
# Wine harness for the test suite: one throw-away WINEPREFIX per test run.
#
#   winetest.sh init                      create the prefix (wineboot -i)
#   winetest.sh clone TEMPLATE            make WINEPREFIX a fresh copy of the prefix TEMPLATE
#   winetest.sh run [options] -- PROGRAM [ARGS...]
#       --clone TEMPLATE make WINEPREFIX a fresh copy of TEMPLATE first (a test with a prefix of
#                        its own, which can run beside the others)
#       --reg FILE       import FILE with regedit /S first (64-bit view, as wine64 runs it)
#       --winver VER     switch the reported Windows version first (winxp64, vista, win7, win8, win81, win10)
#       --machine DIR    run with QUARRO_MACHINE set to DIR (as a Windows path)
#       --relay DIR      run on the real device path: start the relay for the snapshot DIR (see
#                        "relay start") and set QUARRO_MACHINE to DIR without its driver and device
#                        list, so that the device concern and the device inventory are the real
#                        ones while the rest of the machine still comes from the snapshot
#       --gui            run under a private X display (xvfb-run -a)
#   winetest.sh relay start DIR           the real device path for the snapshot DIR: register the
#                                         Misc Driver's device, start the firmware host on DIR and
#                                         the relay driver (QUARRO_RELAY_TOOLS names the folder with
#                                         FirmwareHost.exe and QuarroRelay.sys). Prints the snapshot
#                                         the programs are to be given (Windows path). With
#                                         QUARRO_RELAY_FAULT (oversize, badmagic, hangup) the host
#                                         breaks every reply that way.
#   winetest.sh relay stop-host           end the firmware host; the relay stays (requests fail)
#   winetest.sh stop                      shut the prefix's wineserver down
#
# WINEPREFIX must be set (CTest sets it to a folder under the build tree).
set -euo pipefail

: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko installers: the tests need neither and there is no network.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

windows_path() {
    local path
    path=$(readlink -f "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# A copy of a booted prefix costs a second where a wineboot costs half a minute. Wine's program
# files are hard links (a booted prefix never rewrites them); every other file (the registry, ini
# files, anything a test may change in place) is a real copy, so the template never changes.
clone_prefix() {
    local template=$1
    test -f "$template/system.reg" || { echo "winetest: no template prefix at $template" >&2; exit 1; }
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    cp -al "$template" "$WINEPREFIX"
    (cd "$template" && find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' \
        -o -iname '*.sys' -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.ax' \
        -o -iname '*.tlb' -o -iname '*.nls' -o -iname '*.msstyles' -o -iname '*.ds' \) -print0) |
        while IFS= read -r -d '' file; do
            cp --remove-destination -p "$template/$file" "$WINEPREFIX/$file"
        done
}

# The relay's files and state live in the prefix, at C:\quarro-relay.
relay_dir() { printf '%s/drive_c/quarro-relay' "$WINEPREFIX"; }

relay_stop_host() {
    local pidfile
    pidfile="$(relay_dir)/host.pid"
    if [ -f "$pidfile" ]; then
        local pid
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
        # Gone means its pipe is gone: the next open of the device finds no host.
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        rm -f "$pidfile" "$(relay_dir)/machine.source"
    fi
}

# relay_start DIR: sets QUARRO_MACHINE to the snapshot the programs get. A relay already serving
# DIR in this prefix is kept.
relay_start() {
    local machine dir tools derived state
    machine=$(readlink -f "$1")
    dir=$(relay_dir)
    tools=${QUARRO_RELAY_TOOLS:?QUARRO_RELAY_TOOLS must name the folder with FirmwareHost.exe and QuarroRelay.sys}
    derived="$dir/machine"
    export QUARRO_MACHINE
    if [ -f "$dir/host.pid" ] && kill -0 "$(cat "$dir/host.pid")" 2>/dev/null &&
        [ "$(cat "$dir/machine.source" 2>/dev/null)" = "$machine ${QUARRO_RELAY_FAULT:-}" ]; then
        QUARRO_MACHINE=$(windows_path "$derived")
        return 0
    fi
    relay_stop_host
    mkdir -p "$dir"
    cp "$tools/FirmwareHost.exe" "$tools/QuarroRelay.sys" "$dir/"
    # The programs' snapshot: every part file without the driver and the device list.
    rm -rf "$derived"
    cp -r "$machine" "$derived"
    python3 - "$derived" <<'PY'
import glob, json, sys
for path in glob.glob(sys.argv[1] + "/machine*.json"):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    data.pop("miscDriver", None)
    data.pop("devices", None)
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=1, ensure_ascii=False)
PY
    # Services and the device host end with the last program; a persistent server keeps the
    # relay up between the programs a test runs (one already running stays as it is). The
    # server and Wine's own processes keep the standard handles of the program that started
    # them, and outlive it here: none of them may hold the caller's pipes, or a test runner
    # that reads them waits for ever.
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
    "$WINE" "$dir/FirmwareHost.exe" register "$(windows_path "$machine")" </dev/null >"$dir/register.log" 2>&1 ||
        { echo "winetest: the device could not be registered: $(cat "$dir/register.log")" >&2; exit 1; }
    rm -f "$dir/ready"
    "$WINE" "$dir/FirmwareHost.exe" serve "$(windows_path "$machine")" 'C:\quarro-relay\ready' ${QUARRO_RELAY_FAULT:-} \
        >"$dir/host.log" 2>&1 </dev/null &
    echo $! >"$dir/host.pid"
    # A loaded machine starts a Wine program in seconds rather than a fraction of one.
    for _ in $(seq 1 300); do
        [ -f "$dir/ready" ] && break
        sleep 0.1
    done
    [ -f "$dir/ready" ] || { echo "winetest: the firmware host did not start: $(cat "$dir/host.log")" >&2; exit 1; }
    printf '%s' "$machine ${QUARRO_RELAY_FAULT:-}" >"$dir/machine.source"
    "$WINE" sc create QuarroRelay type= kernel binPath= 'C:\quarro-relay\QuarroRelay.sys' >/dev/null 2>&1 || true
    "$WINE" sc start QuarroRelay >/dev/null 2>&1 || true
    for _ in $(seq 1 300); do
        state=$("$WINE" sc query QuarroRelay 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}')
        [ "$state" = RUNNING ] && break
        sleep 0.1
    done
    [ "$state" = RUNNING ] || { echo "winetest: the relay driver did not start ($state)" >&2; exit 1; }
    QUARRO_MACHINE=$(windows_path "$derived")
}

cmd=${1:-}
shift || true
case "$cmd" in
init)
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    unset DISPLAY
    "$WINE" wineboot -i >/dev/null 2>&1
    "$WINESERVER" -w
    test -f "$WINEPREFIX/system.reg" || { echo "winetest: wineboot did not create $WINEPREFIX" >&2; exit 1; }
    # The template the tests with prefixes of their own copy: the booted prefix before any test
    # has run in it.
    if [ -n "${QUARRO_WINE_TEMPLATE:-}" ]; then
        rm -rf "$QUARRO_WINE_TEMPLATE"
        cp -a "$WINEPREFIX" "$QUARRO_WINE_TEMPLATE"
    fi
    echo "winetest: prefix ready at $WINEPREFIX"
    ;;
clone)
    clone_prefix "${1:?clone needs the template prefix}"
    ;;
run)
    regs=()
    winver=""
    gui=0
    relay=""
    while [ $# -gt 0 ]; do
        case "$1" in
        --reg) regs+=("$2"); shift 2 ;;
        --winver) winver=$2; shift 2 ;;
        --machine) export QUARRO_MACHINE; QUARRO_MACHINE=$(windows_path "$2"); shift 2 ;;
        --relay) relay=$2; shift 2 ;;
        --gui) gui=1; shift ;;
        --clone) clone_prefix "$2"; shift 2 ;;
        --) shift; break ;;
        *) echo "winetest: unknown option $1" >&2; exit 2 ;;
        esac
    done
    [ $# -gt 0 ] || { echo "winetest: no program given" >&2; exit 2; }
    test -f "$WINEPREFIX/system.reg" || { echo "winetest: no prefix at $WINEPREFIX (run init first)" >&2; exit 1; }
    if [ -n "$winver" ]; then
        "$WINE" winecfg -v "$winver" >/dev/null 2>&1
    fi
    for reg in "${regs[@]}"; do
        "$WINE" regedit /S "$(windows_path "$reg")" >/dev/null 2>&1
    done
    if [ -n "$relay" ]; then
        # A GUI run waits for the server to end, which a running relay never lets happen.
        [ "$gui" = 0 ] || { echo "winetest: --relay and --gui do not go together" >&2; exit 2; }
        relay_start "$relay"
    fi
    # regedit and winecfg write through the wineserver, which saves the registry lazily; a
    # console program sees the same server, so nothing needs flushing here.
    program=$1
    shift
    if [ "$gui" = 1 ]; then
        # A wineserver still up from winecfg, regedit or an earlier test serves a desktop made
        # without a display: windows created on it are destroyed at once ("no driver could be
        # loaded"), so a GUI program waits for that server to end and starts its own desktop
        # on the private display. The server saves the registry as it ends.
        "$WINESERVER" -w
        exec xvfb-run -a -s "-screen 0 1280x1024x24" "$WINE" "$program" "$@"
    else
        unset DISPLAY
        exec "$WINE" "$program" "$@"
    fi
    ;;
relay)
    case "${1:-}" in
    start) relay_start "${2:?relay start needs the snapshot folder}"; printf '%s\n' "$QUARRO_MACHINE" ;;
    stop-host) relay_stop_host ;;
    *) echo "usage: winetest.sh relay start DIR | stop-host" >&2; exit 2 ;;
    esac
    ;;
stop)
    relay_stop_host
    "$WINESERVER" -k 2>/dev/null || true
    ;;
*)
    echo "usage: winetest.sh init | clone TEMPLATE | run [--clone TEMPLATE] [--reg FILE] [--winver VER] [--machine DIR] [--relay DIR] [--gui] -- PROGRAM [ARGS] | relay start DIR | relay stop-host | stop" >&2
    exit 2
    ;;
esac
