#!/usr/bin/env bash
# Holds the test prefix's desktop up for as long as tests run: glo_desktop_holder.exe, started
# here detached from every output, unless one holds it already (a lock beside the prefix says so).
# Wine closes a desktop about a second after its last user has gone; a test that then needs one
# starts the desktop's process, which inherits that test's output and keeps it open while any
# test uses the desktop, and CTest waits for that output to end: a short test seemed to hang.
# Usage: hold_desktop.sh HOLDER.exe (run by CTest before the tests, and by the test scripts);
# hold_desktop.sh --end HOLDER.exe ends the prefix's programs (CTest, after the tests).
set -eu
ending=0
if [ "$1" = --end ]; then
    ending=1
    shift
fi
holder=$1
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX
    WINEPREFIX=$(cd "$(dirname "$holder")/.." && pwd)/wineprefix
fi
[ -f "$holder" ] && [ -d "$WINEPREFIX" ] || exit 0
export WINEDEBUG=-all
lock=$WINEPREFIX/.glo-desktop-holder
if [ $ending = 1 ]; then
    flock -n "$lock" true || wineserver -k 2>/dev/null || true
    exit 0
fi
flock -n "$lock" true || exit 0 # held by a running holder
ready=$lock.ready
rm -f "$ready"
# The holder writes `ready` once the desktop is up; flock keeps the lock while it runs.
setsid flock -n "$lock" wine "$holder" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do
    [ -f "$ready" ] && exit 0
    sleep 0.1
done
echo "the desktop holder did not report the desktop up within 10 s" >&2
exit 1
