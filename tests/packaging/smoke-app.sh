#!/usr/bin/env bash
# Starts the real program on a virtual X server with empty data and config folders, waits for
# its window, takes a screenshot, presses Esc and expects exit status 2 (the cancel command).
# usage: smoke-app.sh <valdorix> <screenshot.png>    exit 77: skipped (tools missing)
set -euo pipefail
app=$1
shot=$2

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed, the program cannot be started on a virtual display"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb=""
appPid=""
cleanup() {
    if [ -n "$appPid" ] && kill -0 "$appPid" 2>/dev/null; then kill "$appPid" 2>/dev/null || true; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the pipe once it accepts clients.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb=$!
number=""
if ! read -r -t 30 number <"$work/displayfd" || [ -z "$number" ]; then
    cat "$work/xvfb.log"
    echo "FAIL: Xvfb did not start"
    exit 1
fi
export DISPLAY=":$number"

mkdir -p "$work/data" "$work/config"
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    "$app" >"$work/app.log" 2>&1 &
appPid=$!

window=""
for _ in $(seq 1 150); do
    window=$(xdotool search --onlyvisible --pid "$appPid" 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    if ! kill -0 "$appPid" 2>/dev/null; then
        cat "$work/app.log"
        echo "FAIL: the program ended before showing its window"
        appPid=""
        exit 1
    fi
    sleep 0.1
done
if [ -z "$window" ]; then
    cat "$work/app.log"
    echo "FAIL: no window of the program appeared within 15 s"
    exit 1
fi
title=$(xdotool getwindowname "$window")
echo "window $window: '$title'"
titleOk=true
if [ "$title" != Valdorix ]; then
    echo "FAIL: the window's title is '$title', not 'Valdorix'"
    titleOk=false
fi

# The first page slides in for 200 ms; let it settle before the picture.
sleep 1
if command -v import >/dev/null 2>&1; then
    import -window "$window" "$shot"
    colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
    echo "screenshot: $shot ($colours colours)"
    if [ "$colours" -lt 16 ]; then
        echo "FAIL: the window looks blank ($colours colours)"
        exit 1
    fi
else
    echo "note: ImageMagick's import is not installed, no screenshot taken"
fi

# A second start on the same data asks the running copy to come forward and ends, no window.
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    timeout 15 "$app" >"$work/second.log" 2>&1 &
secondPid=$!
secondStatus=0
wait "$secondPid" || secondStatus=$?
if [ "$secondStatus" -ne 0 ]; then
    cat "$work/second.log"
    echo "FAIL: a second start ended with status $secondStatus instead of handing over to the first"
    exit 1
fi
if [ "$(xdotool search --onlyvisible --name '^Valdorix$' 2>/dev/null | wc -l)" -ne 1 ]; then
    echo "FAIL: a second start left another window"
    exit 1
fi
echo "second start: handed over to the running window"

# No window manager here: give the window the keyboard directly, then press Esc through XTEST.
xdotool windowfocus --sync "$window"
xdotool key Escape

ended=false
for _ in $(seq 1 100); do
    if ! kill -0 "$appPid" 2>/dev/null; then
        ended=true
        break
    fi
    sleep 0.1
done
if ! $ended; then
    cat "$work/app.log"
    echo "FAIL: the program did not end within 10 s of Esc"
    exit 1
fi
status=0
wait "$appPid" || status=$?
appPid=""
if [ "$status" -ne 2 ]; then
    cat "$work/app.log"
    echo "FAIL: exit status $status after Esc, expected 2"
    exit 1
fi
# Only the lock that keeps a second copy off the database may exist before a PIN.
if [ -n "$(find "$work/data" -type f ! -name Valdorix4.db.lock)" ]; then
    find "$work/data" -type f
    echo "FAIL: the program wrote files although no PIN was set"
    exit 1
fi
$titleOk || exit 1
echo "exit status 2 after Esc: passed"
