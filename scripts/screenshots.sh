#!/usr/bin/env bash
# Redraws the pictures of the user's guide: runs the screenshot tests (offscreen, at 1x), which
# write every page to <build>/screenshots/, and copies the ones README.md shows to docs/images/.
# The same tests run again at twice the pixel ratio into <build>/screenshots-2x/screenshots/, for
# a look at how the pages fare on dense screens.
# usage: scripts/screenshots.sh [build-dir]     (the build must be configured; this builds it)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}

cmake --build "$build" --target test_shell test_journey test_otp test_token_pages test_provisioning_pages

# Each test program with the tests that draw pictures.
runs=(
    "tests/app/test_shell ScreenshotTest.*"
    "tests/app/test_journey JourneyTest.*"
    "tests/pages/otp/test_otp OtpScreenshotTest.*"
    "tests/pages/tokens/test_token_pages TokenPagesScreenshotTest.*:ExportPageTest.Screenshots"
    "tests/pages/provisioning/test_provisioning_pages ProvisioningScreenshotTest.*"
)
draw() { # <scale> <output folder>
    for run in "${runs[@]}"; do
        set -- "$1" "$2" $run
        QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="$1" VALDORIX_SOURCE_DIR="$top" VALDORIX_BINARY_DIR="$2" \
            "$build/$3" --gtest_filter="$4" >"$2/screenshots-$(basename "$3").log" 2>&1 ||
            { echo "$3 failed at ${1}x; see $2/screenshots-$(basename "$3").log" >&2; exit 1; }
    done
}
mkdir -p "$build/screenshots" "$build/screenshots-2x"
draw 1 "$build"
draw 2 "$build/screenshots-2x"

# docs/images/<name> from <build>/screenshots/<file>.
pictures=(
    "first-start.png journey_01_first_start.png"
    "install.png journey_02_install.png"
    "code.png journey_03_first_code.png"
    "response.png journey_05_response.png"
    "download.png journey_06_download.png"
    "manager.png tokens_133_manager_window.png"
    "picker.png otp_130_picker.png"
    "time-code.png otp_130_ocratime.png"
    "import.png tokens_234_import_window.png"
    "export.png tokens_236_export_window.png"
    "settings.png settings_window.png"
)
for entry in "${pictures[@]}"; do
    set -- $entry
    cp "$build/screenshots/$2" "$top/docs/images/$1"
done
echo "docs/images/ redrawn from $build/screenshots/; the pages at 2x are in $build/screenshots-2x/screenshots/"
