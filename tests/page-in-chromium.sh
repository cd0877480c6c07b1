#!/usr/bin/env bash
# The server's page in a real browser: headless Chromium runs the page's own script, which puts
# each device's track on a Leaflet map (start, end and late reports marked) in place of the
# plain drawing, from the GeoJSON the server serves. Writes a screenshot of the page.
#   page-in-chromium.sh PEREGRIX_SERVER SCREENSHOT
set -euo pipefail
server=$1
screenshot=$2
work=$(mktemp -d)
pid=
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$server" --port 0 --page-address 127.0.0.1:0 --tiles none --database "$work/tracking.sqlite" \
    >"$work/server.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    grep -q 'downloads on' "$work/server.log" && break
    sleep 0.1
done
# The exchanges on the public listener, the page on the operator's.
base=$(grep -o 'listening on http://[0-9.]*:[0-9]*/' "$work/server.log" | grep -o 'http.*')
page=$(grep -o 'downloads on http://[0-9.]*:[0-9]*/' "$work/server.log" | grep -o 'http.*')
[[ -n "$base" && -n "$page" ]] || { cat "$work/server.log"; echo "the server did not start"; exit 1; }

get() { curl -fsS "$base$1"; echo; }
get "log.php?u=Kim&d=dev-k" >/dev/null
for i in 1 2 3 4; do
    late=$([[ $i == 3 ]] && echo "&Late=Y" || true)
    get "log.php?u=Kim&d=dev-k&lat=51.50$i&long=-0.12$i&when=2026030614050$i&ver=v2.5&acc=5&speed=3%20KPH&id=$i$late" >/dev/null
done

browser=(chromium --headless --no-sandbox --disable-gpu --no-first-run
    --disable-background-networking --disable-component-update --disable-sync
    --user-data-dir="$work/profile" --virtual-time-budget=5000 --window-size=900,1200)
"${browser[@]}" --dump-dom "$page" >"$work/page.html" 2>"$work/browser.log" || {
    cat "$work/browser.log"; exit 1; }
"${browser[@]}" --screenshot="$screenshot" "$page" >/dev/null 2>>"$work/browser.log" || true

fail() { echo "page-in-chromium: $1"; exit 1; }
grep -q 'leaflet-container' "$work/page.html" || fail "no map on the page"
paths=$(grep -o '<path[^>]*leaflet-interactive' "$work/page.html" | wc -l)
# One line and a dot for each of the four reports.
[[ "$paths" -eq 5 ]] || fail "$paths shapes on the map, not 5"
grep -q 'stroke="#e65100"' "$work/page.html" || fail "the late report is not ringed"
grep -q '<svg[^>]*style="display: none;"' "$work/page.html" || fail "the plain drawing still shows"
! grep -q 'dev-k' "$work/page.html" || fail "the page shows the device's identifier"
echo "page-in-chromium: the track is on the map; screenshot in $screenshot"
