#!/usr/bin/env bash
# The real Toolbench.exe under Wine on the default notebook's snapshot (its simulated driver
# writes into Wine's registry, 64-bit view, where the driver's registry services put values):
# the first run records the hibernate time-outs of the active plan (mains 0, battery 21600 s =
# 360 min), a second run writes nothing, and with "C:\util\version.doc" present nothing happens.
#   toolbench_cases.sh WINETEST TEMPLATE MACHINE TOOLBENCH
set -euo pipefail
winetest=$1 template=$2 machine=$3 toolbench=$4
key='HKLM\Software\Mirelta\QUARRO'
failures=0

run() { bash "$winetest" run --winver win7 --machine "$machine" -- "$toolbench"; }
value() {  # the value's data as reg prints it, or "absent"
    local out
    out=$(bash "$winetest" run -- reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n {print $2 " " $3}')
    echo "${out:-absent}"
}
expect() {  # NAME WANT004 WANT005
    local got4 got5
    got4=$(value HddNotif004) got5=$(value HddNotif005)
    if [ "$got4" = "$2" ] && [ "$got5" = "$3" ]; then
        echo "ok   $1"
    else
        echo "FAIL $1: HddNotif004=$got4 HddNotif005=$got5, wanted $2 / $3"
        failures=$((failures + 1))
    fi
}

bash "$winetest" clone "$template"
run
expect "first run records mains and battery minutes" "REG_DWORD 0x0" "REG_DWORD 0x168"

bash "$winetest" run -- reg add "$key" /v HddNotif004 /t REG_DWORD /d 4242 /f >/dev/null
bash "$winetest" run -- reg add "$key" /v HddNotif005 /t REG_DWORD /d 4343 /f >/dev/null
run
expect "a second run writes nothing" "REG_DWORD 0x1092" "REG_DWORD 0x10f7"

bash "$winetest" run -- reg delete "$key" /f >/dev/null
mkdir -p "$WINEPREFIX/drive_c/util"
echo "version" > "$WINEPREFIX/drive_c/util/version.doc"
run
expect "with C:\\util\\version.doc nothing is written" "absent" "absent"

rm "$WINEPREFIX/drive_c/util/version.doc"
run
expect "without it the next run records again" "REG_DWORD 0x0" "REG_DWORD 0x168"

bash "$winetest" stop
exit $((failures > 0))
