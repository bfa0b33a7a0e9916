#!/usr/bin/env bash
# The end-to-end scenario inside a private, headless GNOME Shell (Xwayland included), 1280x800.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== end-to-end tests inside GNOME Shell, 1280x800"
SHATTER_E2E_SCREEN=1280x800x24 scripts/with-gnome.sh \
    ctest --test-dir build -L gnome --output-on-failure
