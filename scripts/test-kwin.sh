#!/usr/bin/env bash
# The end-to-end scenario inside a private KWin (virtual output, Xwayland), 1280x800.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== end-to-end tests inside KWin, 1280x800"
SHATTER_E2E_SCREEN=1280x800x24 scripts/with-kwin.sh \
    ctest --test-dir build -L kwin --output-on-failure
