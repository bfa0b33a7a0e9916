#!/usr/bin/env bash
# The end-to-end scenario inside a private KWin (virtual outputs, Xwayland), 1280x800: Shatter
# installed with its menu entry, on Qt's Wayland platform and through XWayland, with KWin's
# permission checks on. Then on two outputs side by side, the primary on the left and on the
# right, and at scale 1.5 (1920x1200 pixels).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
apps="$(mktemp -d "${TMPDIR:-/tmp}/shatter-kwin.XXXXXX")"
trap 'rm -rf "$apps"' EXIT
scripts/kwin-apps.sh "$apps" "$build" "$build/tests/kwin_canvas"
run() {
    echo "== end-to-end tests inside KWin, 1280x800 $*"
    env "$@" SHATTER_E2E_SCREEN=1280x800x24 SHATTER_KWIN_APPS="$apps" \
        SHATTER_E2E_PROGRAM="$apps/bin/shatter" scripts/with-kwin.sh "$apps/bin/kwin_canvas" || {
        cp "$apps"/bin/FAILED-*.png "$build/tests/" 2>/dev/null  # the screens of the failure
        return 1
    }
}
run SHATTER_KWIN_OUTPUTS=1
run SHATTER_KWIN_OUTPUTS=2
run SHATTER_KWIN_OUTPUTS=2 SHATTER_KWIN_PRIMARY=1
run SHATTER_KWIN_SCALE=1.5
