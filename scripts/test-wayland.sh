#!/usr/bin/env bash
# The end-to-end scenario on a private Wayland desktop (sway, the desktop portal), 1920x1080.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== end-to-end tests on Wayland, 1920x1080"
SHATTER_E2E_SCREEN=1920x1080x24 scripts/with-wayland.sh \
    ctest --test-dir build -L wayland --output-on-failure
