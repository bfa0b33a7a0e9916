#!/usr/bin/env bash
# Runs every test: the unit tests under the sanitizer build, then the whole suite (unit and
# end-to-end) of the normal build on a private X display with a window manager.
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
echo "== unit tests, sanitizer build"
ctest --test-dir build-asan -L unit --output-on-failure -j2

echo "== all tests"
scripts/with-display.sh ctest --test-dir build --output-on-failure
