#!/usr/bin/env bash
# Runs the real peregrix program in a virtual X server on the demo track for a few seconds and
# checks that it starts and keeps running, also when its preferences file is binary garbage:
# the file is then kept aside and a fresh one written.
#   run-under-xvfb.sh PEREGRIX DEMO_TRACK
set -euo pipefail
app=$1
track=$2
unset QT_QPA_PLATFORM
log=$(mktemp)
trap 'rm -f "$log"' EXIT
prefs="${XDG_CONFIG_HOME:?}/Peregrix/Peregrix.conf"
mkdir -p "$(dirname "$prefs")"
rm -f "$prefs" "$prefs.unreadable"
head -c 4096 /dev/urandom >"$prefs"

xvfb-run -a -s "-screen 0 640x520x24" bash -c '
    "$1" -location "nmea:$2" >"$3" 2>&1 &
    pid=$!
    sleep 5
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "peregrix exited early with status $?"
        exit 1
    fi
    kill -TERM "$pid"
    wait "$pid" || true
' run "$app" "$track" "$log"
status=$?
if grep -E "Could not load the Qt platform plugin|QWidget: |Segmentation|Aborted" "$log"; then
    echo "peregrix reported a fault"
    exit 1
fi
if [[ ! -f "$prefs.unreadable" ]] || ! grep -q '^deviceid=' "$prefs"; then
    echo "the damaged preferences file was not kept aside and replaced"
    exit 1
fi
echo "peregrix ran under Xvfb on the demo track, from a damaged preferences file"
exit "$status"
