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
#       --gui            run under a private X display (xvfb-run -a)
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
    while [ $# -gt 0 ]; do
        case "$1" in
        --reg) regs+=("$2"); shift 2 ;;
        --winver) winver=$2; shift 2 ;;
        --machine) export QUARRO_MACHINE; QUARRO_MACHINE=$(windows_path "$2"); shift 2 ;;
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
stop)
    "$WINESERVER" -k 2>/dev/null || true
    ;;
*)
    echo "usage: winetest.sh init | clone TEMPLATE | run [--clone TEMPLATE] [--reg FILE] [--winver VER] [--machine DIR] [--gui] -- PROGRAM [ARGS] | stop" >&2
    exit 2
    ;;
esac
