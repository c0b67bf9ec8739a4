#!/usr/bin/env bash
# Redraws every picture into resources/pictures/ and renders a contact sheet of them.
# usage: tools/pictures/regenerate.sh [build-dir] [contact-sheet.png]
# Needs only the Qt 6 development packages the product already builds with.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build-pictures}
sheet=${2:-$build/contact-sheet.png}
cmake -S "$top/tools/pictures" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >"$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }
"$build/valdorix-pictures" "$top/resources/pictures"
"$build/valdorix-pictures" --contact-sheet "$top/resources/pictures" "$sheet"
echo "pictures written to resources/pictures/, contact sheet: $sheet"
