#!/usr/bin/env bash
# Starts the program. Without a display, starts it on a virtual X server (Xvfb), saves a
# screenshot of its window to build/screenshot.png and ends it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
app="$top/build/valdorix"
if [ ! -x "$app" ]; then
    echo "There is no program at $app yet; 'make run' builds it first." >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$app"
fi

# A free display number: the first one without a lock file.
n=99
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
    n=$((n + 1))
done
display=":$n"
shot="$top/build/screenshot.png"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
appPid=""
cleanup() {
    [ -n "$appPid" ] && kill "$appPid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap cleanup EXIT

for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
done

DISPLAY="$display" "$app" &
appPid=$!
# Long enough for the window to map and the first page to slide in.
sleep 3
if ! kill -0 "$appPid" 2>/dev/null; then
    echo "The program ended before its window could be captured." >&2
    exit 1
fi
# The root window is black around ours: trimming leaves just the window.
DISPLAY="$display" import -window root "$shot.tmp.png"
convert "$shot.tmp.png" -trim +repage "$shot"
rm -f "$shot.tmp.png"
echo "No display here: the program ran under Xvfb; its window is in $shot"
