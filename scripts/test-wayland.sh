#!/usr/bin/env bash
# The end-to-end scenario on a private Wayland desktop (sway, the desktop portal): one 1920x1080
# output, then two side by side with the primary (the first sway announces) on either side, then
# one at the fractional scales that laptops use, which Qt 6.4 rounds up to 2.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== end-to-end tests on Wayland, 1920x1080"
SHATTER_E2E_SCREEN=1920x1080x24 scripts/with-wayland.sh \
    ctest --test-dir build -L wayland --output-on-failure
for reversed in "" 1; do
    echo "== end-to-end tests on Wayland, two 1920x1080 outputs, the primary on the $([[ -n "$reversed" ]] && echo right || echo left)"
    SHATTER_E2E_SCREEN=3840x1080x24 SHATTER_WAYLAND_OUTPUTS=2 SHATTER_WAYLAND_REVERSED="$reversed" \
        scripts/with-wayland.sh ctest --test-dir build -L wayland --output-on-failure
done
for scale in 1.5 1.25; do
    echo "== end-to-end tests on Wayland, one 1920x1080 output at scale $scale"
    SHATTER_E2E_SCREEN=1920x1080x24 SHATTER_WAYLAND_SCALE="$scale" \
        scripts/with-wayland.sh ctest --test-dir build -L wayland --output-on-failure
done
