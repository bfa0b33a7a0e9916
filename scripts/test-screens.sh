#!/usr/bin/env bash
# The end-to-end scenarios of several monitors and of a screen that changes size: RandR monitors
# on a private 3200x1200 Xvfb, then an Xephyr nested in it, whose modes `xrandr -s` switches
# while the canvas is open. Every server is private and gone afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" != --inside ]]; then
    command -v Xephyr >/dev/null || { echo "$0: Xephyr is not installed" >&2; exit 69; }
    echo "== end-to-end tests on several monitors and a screen that changes size"
    SHATTER_E2E_SCREEN=3200x1200x24 exec scripts/with-display.sh "$0" --inside
fi
export SHATTER_SCREENS=1
ctest --test-dir build -L monitors --output-on-failure
SHATTER_E2E_SCREEN=1024x768x24 SHATTER_E2E_XEPHYR=1 scripts/with-display.sh \
    ctest --test-dir build -L screen-size --output-on-failure
