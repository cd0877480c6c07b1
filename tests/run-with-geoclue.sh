#!/usr/bin/env bash
# Runs a test program against a real GeoClue 2 of its own: a private D-Bus system bus, geoclue
# with a configuration of the test's (bind-mounted over /etc/geoclue in a mount namespace, as
# geoclue 2.6 reads only that file) that feeds it NMEA from a Unix socket, and geoclue's demo
# agent, which answers for the user; with --own-agent the test program is the agent itself.
#   run-with-geoclue.sh [--own-agent] NMEA_FEEDER TEST_PROGRAM [ARGS...]
set -euo pipefail
own_agent=false
if [[ $1 == --own-agent ]]; then
    own_agent=true
    shift
fi
feeder=$1
shift
[[ -x /usr/libexec/geoclue ]] || { echo "SKIP: geoclue-2.0 is not installed"; exit 77; }
if ! unshare --map-root-user --mount true 2>/dev/null; then
    echo "SKIP: this user may not make mount namespaces here"
    exit 77
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
mkdir -p "$work/geoclue"
cat >"$work/geoclue/geoclue.conf" <<CONF
[agent]
whitelist=geoclue-demo-agent;peregrix-test-agent

[network-nmea]
enable=true
nmea-socket=$work/nmea.sock

[3g]
enable=false

[cdma]
enable=false

[modem-gps]
enable=false

[wifi]
enable=false

[compass]
enable=false
CONF

dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3>"$work/address" &
pids+=($!)
for _ in $(seq 50); do [[ -S "$work/bus" ]] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus"

python3 "$feeder" "$work/nmea.sock" &
pids+=($!)
unshare --map-root-user --mount sh -c \
    'mount --bind "$1" /etc/geoclue && G_MESSAGES_DEBUG=all exec /usr/libexec/geoclue --timeout 0' sh "$work/geoclue" \
    >"$work/geoclue.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.GeoClue2 2>/dev/null |
        grep -q 'boolean true' && break
    sleep 0.1
done
if ! $own_agent; then
    # The agent wants a session bus too; one of its own, so that nothing outlives the test.
    dbus-daemon --session --nofork --print-address=3 3>"$work/session" &
    pids+=($!)
    for _ in $(seq 50); do [[ -s "$work/session" ]] && break; sleep 0.1; done
    DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/session") /usr/libexec/geoclue-2.0/demos/agent \
        >"$work/agent.log" 2>&1 &
    pids+=($!)
    sleep 1
fi

status=0
"$@" || status=$?
[[ $status -eq 0 ]] || { echo "--- geoclue:"; grep -v -E 'libsoup|dconf|GLib-GIO' "$work/geoclue.log" | tail -30; }
exit "$status"
