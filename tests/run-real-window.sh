#!/usr/bin/env bash
# Runs a test program against the real peregrix in a network namespace of its own, where the
# program's built-in server address (from PEREGRIX_BASE_URL) is the test's and a default route makes
# the network reachable, and under a virtual X server of its own.
#   run-real-window.sh TEST_PROGRAM [ARGS...]
set -euo pipefail
if ! unshare --map-root-user --net true 2>/dev/null; then
    echo "SKIP: this user may not make network namespaces here"
    exit 77
fi
exec unshare --map-root-user --net sh -c '
    ip link set lo up && ip route add default dev lo &&
    exec xvfb-run -a -s "-screen 0 640x520x24 -nolisten tcp" "$@"' sh "$@"
