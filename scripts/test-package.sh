#!/usr/bin/env bash
# Builds the Debian package and checks it: its desktop entry and AppStream data validate, lintian
# finds no error, and, installed, /usr/bin/shatter shows its title window on a private display;
# purging it then leaves no file behind. The machine is left as it was found, failure or not.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Starts the installed command and waits for its title window; the process must be the binary
# under /usr/lib/shatter that the command on the PATH leads to.
check_title='
    /usr/bin/shatter >"$1" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        if xdotool search --onlyvisible --name "^Shatter\$" >/dev/null 2>&1; then
            exe=$(readlink "/proc/$pid/exe")
            kill "$pid"
            wait "$pid" 2>/dev/null
            [ "$exe" = /usr/lib/shatter/shatter ] && exit 0
            echo "test-package: the title window came from $exe" >&2
            exit 1
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    echo "test-package: /usr/bin/shatter showed no title window" >&2
    exit 1
'

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Other package work on the machine may hold the dpkg lock for a while; wait for it.
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get -qq -o DPkg::Lock::Timeout=300 "$@"; }

make --no-print-directory package
# The one just made, whichever other release's package lies beside it.
deb=$(ls "${BUILD:-build}"/package/shatter_*.deb)
work=$(mktemp -d "${TMPDIR:-/tmp}/test-package.XXXXXX")
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        apt_get purge -y shatter >/dev/null || echo "test-package: could not purge shatter" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "== package: validate $deb"
dpkg-deb -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/shatter.desktop"
desktop-file-validate "$desktop"
# The tree check also finds the desktop entry that the metadata names as its launchable.
{ appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml &&
    appstreamcli validate-tree --no-net "$work/root"; } >"$work/appstream.log" ||
    { cat "$work/appstream.log" >&2; exit 1; }
# Both validators accept an entry without a translation or an icon size; a menu would not.
for key in Name 'Name\[zh_TW\]' Comment 'Comment\[zh_TW\]' Categories Keywords; do
    grep -q "^$key=." "$desktop" || { echo "test-package: the desktop entry lacks $key" >&2; exit 1; }
done
# KWin's screenshot interface: the entry asks for it, and its command leads to the program file.
grep -qx 'X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2' "$desktop" ||
    { echo "test-package: the desktop entry does not ask KWin for screenshots" >&2; exit 1; }
exec_path=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ "$(cd "$work/root" && realpath -m --relative-to=. "./$exec_path")" = usr/lib/shatter/shatter ] ||
    { echo "test-package: Exec=$exec_path does not lead to /usr/lib/shatter/shatter" >&2; exit 1; }
for size in 16 32 48 64 128 256; do
    icon="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/shatter.png"
    [ -f "$icon" ] || { echo "test-package: no ${size}px icon in the package" >&2; exit 1; }
done
# What lintian still notes, and why, is in the README.
lintian --fail-on error --tag-display-limit 0 "$deb" 2> >(grep -v 'root privileges' >&2)

# Files of the package, without the directories it shares with others.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
if dpkg-query -W -f='${Status}' shatter 2>/dev/null | grep -q "install ok installed"; then
    echo "== package: shatter is installed on this machine already; install check skipped"
    exit 0
fi
while read -r f; do
    if [ -e "$f" ] || [ -L "$f" ]; then
        echo "== package: $f exists already; install check skipped"
        exit 0
    fi
done <"$work/files"

echo "== package: install, start /usr/bin/shatter, purge"
# Everything it depends on must be there already, or the purge would not leave the machine as
# it was: only shatter itself may be installed.
apt_get install -s --no-install-recommends "./$deb" | grep '^Inst ' >"$work/plan" || true
if [ "$(awk '{print $2}' "$work/plan")" != "shatter" ]; then
    echo "test-package: installing the package would also install:" >&2
    grep -v '^Inst shatter ' "$work/plan" >&2
    exit 1
fi
installed=yes
apt_get install -y --no-install-recommends "./$deb" >/dev/null
# From /, so nothing beside the source tree can stand in for the installed data.
(cd / && "$root/scripts/with-display.sh" bash -c "$check_title" check "$work/run.log") || {
    cat "$work/run.log" >&2
    exit 1
}
apt_get purge -y shatter >/dev/null
installed=""
left=0
while read -r f; do
    if [ -e "$f" ] || [ -L "$f" ]; then
        echo "test-package: $f is left after the purge" >&2
        left=1
    fi
done <"$work/files"
for d in /usr/lib/shatter /usr/share/doc/shatter; do
    [ ! -e "$d" ] || { echo "test-package: $d is left after the purge" >&2; left=1; }
done
exit "$left"
