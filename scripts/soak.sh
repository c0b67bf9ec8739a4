#!/usr/bin/env bash
# The soak: 10,000 Go presses on an event token through the real home page, the database saved
# at each, then a load of the file; prints the resident set every 500 presses.
# usage: scripts/soak.sh [build-dir]   (default: build, as configured by `make configure`)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" --target test_otp_soak
VALDORIX_SOAK=1 QT_QPA_PLATFORM=offscreen VALDORIX_SOURCE_DIR="$top" VALDORIX_BINARY_DIR="$build" \
    "$build/tests/pages/otp/test_otp_soak"
