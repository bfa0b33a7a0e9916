#!/usr/bin/env bash
# Runs every test: the unit tests under the sanitizer build and again under the normal build
# (offscreen, no display), then each end-to-end scenario once on the screen its label names
# (screen-1920x1080, screen-1024x768); then sound, several monitors and a screen that changes
# size, the package, the package in a bare root, Debian 13, Wayland, KWin and GNOME. Each display is private,
# with its own window manager, and gone afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
echo "== unit tests, sanitizer build"
ctest --test-dir build-asan -L unit --output-on-failure -j2

echo "== unit tests, normal build"
ctest --test-dir build -L unit --output-on-failure -j2

for screen in 1920x1080 1024x768; do
    echo "== end-to-end tests, $screen"
    SHATTER_E2E_SCREEN="${screen}x24" scripts/with-display.sh \
        ctest --test-dir build -L "screen-$screen" --output-on-failure
done

echo "== sounds through a private sound server"
scripts/test-sound.sh
scripts/test-screens.sh
scripts/test-package.sh
echo "== the package in a bare Debian 12 root"
SHATTER_CLEAN_ROOT=1 ctest --test-dir build -L clean-root --output-on-failure
echo "== Debian 13: build, unit tests and package in a trixie root, the package in a bare one"
SHATTER_DEBIAN13=1 ctest --test-dir build -L debian-13 --output-on-failure
scripts/test-wayland.sh
scripts/test-kwin.sh
scripts/test-gnome.sh
