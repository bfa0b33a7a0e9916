#!/usr/bin/env bash
# The end-to-end scenario inside a private, headless GNOME Shell (Xwayland included), 1280x800;
# then Shatter on Qt's Wayland platform on a 1920x1080 monitor at the fractional scale 1.5.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== end-to-end tests inside GNOME Shell, 1280x800"
SHATTER_E2E_SCREEN=1280x800x24 scripts/with-gnome.sh \
    ctest --test-dir build -L '^gnome$' --output-on-failure
echo "== end-to-end tests inside GNOME Shell, 1920x1080 at scale 1.5"
SHATTER_E2E_SCREEN=1920x1080x24 SHATTER_GNOME_SCALE=1.5 scripts/with-gnome.sh \
    ctest --test-dir build -L gnome-fractional --output-on-failure
