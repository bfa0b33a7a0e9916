#!/usr/bin/env bash
# Installs Shatter from BUILD into DIR with its menu entry, copies each further PROGRAM into
# DIR/bin with a menu entry that asks KWin for its screenshots and its fake input, and lets
# every user read DIR: KWin trusts a program by the menu entry whose Exec is its own path.
#   scripts/kwin-apps.sh DIR BUILD [PROGRAM...]
set -euo pipefail
if [[ $# -lt 2 ]]; then
    echo "usage: $0 DIR BUILD [PROGRAM...]" >&2
    exit 64
fi
dir="$(cd "$1" && pwd)" build="$2"
shift 2
cmake --install "$build" --prefix "$dir" >/dev/null
for program in "$@"; do
    name="$(basename "$program")"
    cp "$program" "$dir/bin/$name"
    cat >"$dir/share/applications/shatter-test-$name.desktop" <<EOT
[Desktop Entry]
Type=Application
Name=$name
Exec=$dir/bin/$name
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
EOT
done
chmod -R a+rX "$dir"
chmod 1777 "$dir/bin"  # where a failed test leaves its screens
