#!/usr/bin/env bash
# Runs a test program in a Wayland-only session: a headless weston of its own, in a private
# runtime folder, with no X display. The test program runs in a network namespace of its own,
# where the program's built-in server address is the test's and a default route makes the
# network reachable (as in run-real-window.sh); weston stays outside, its socket is a file.
#   run-wayland.sh TEST_PROGRAM [ARGS...]
set -euo pipefail
if ! command -v weston >/dev/null; then
    echo "FAIL: weston is not installed (scripts/install-deps installs it)" >&2
    exit 1
fi
if ! unshare --map-root-user --net true 2>/dev/null; then
    echo "SKIP: this user may not make network namespaces here"
    exit 77
fi

# Wayland clients and weston find each other through XDG_RUNTIME_DIR, which must be the user's
# own and closed to others; a fresh one keeps the session's socket away from any other.
runtime=$(mktemp -d "${TMPDIR:-/tmp}/peregrix-wayland.XXXXXX")
chmod 0700 "$runtime"
socket=wayland-peregrix-test
weston_pid=
stop() {
    if [[ -n $weston_pid ]]; then
        kill -TERM "$weston_pid" 2>/dev/null || true
        wait "$weston_pid" 2>/dev/null || true
    fi
    rm -rf "$runtime"
}
trap stop EXIT
trap 'exit 143' INT TERM

# No idle time: the desktop shell would otherwise lock the screen after five minutes. No
# configuration file: a weston.ini of the user's must not change the session.
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket="$socket" \
    --idle-time=0 --no-config >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 200); do
    [[ -S $runtime/$socket ]] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -S $runtime/$socket ]]; then
    echo "SKIP: weston cannot start a headless session here:"
    tail -n 20 "$runtime/weston.log" | sed 's/^/    /'
    exit 77
fi

unset DISPLAY
export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
status=0
unshare --map-root-user --net sh -c '
    ip link set lo up && ip route add default dev lo && exec "$@"' sh "$@" || status=$?
exit "$status"
