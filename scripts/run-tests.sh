#!/usr/bin/env bash
# Runs every test: the unit tests under the sanitizer build, the end-to-end scenarios on a
# 1920x1080 screen, then the whole suite (unit and end-to-end) of the normal build on a
# 1024x768 screen; then sound, several monitors and a screen that changes size, the package and
# Wayland. Each display is private, with its own window manager, and gone afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
echo "== unit tests, sanitizer build"
ctest --test-dir build-asan -L unit --output-on-failure -j2

echo "== end-to-end tests, 1920x1080"
SHATTER_E2E_SCREEN=1920x1080x24 scripts/with-display.sh \
    ctest --test-dir build -L e2e --output-on-failure

echo "== all tests, 1024x768"
SHATTER_E2E_SCREEN=1024x768x24 scripts/with-display.sh \
    ctest --test-dir build -LE clean-root --output-on-failure

echo "== sounds through a private sound server"
scripts/test-sound.sh
scripts/test-screens.sh
scripts/test-package.sh
echo "== the package in a bare Debian 12 root"
SHATTER_CLEAN_ROOT=1 ctest --test-dir build -L clean-root --output-on-failure
scripts/test-wayland.sh
scripts/test-kwin.sh
