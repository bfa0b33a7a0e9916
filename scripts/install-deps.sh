#!/usr/bin/env bash
# Installs the Debian packages Shatter needs to build, run and test it.
# Quiet, and no network use, when everything is already there. The lists hold only names that
# every supported release (Debian 12 and 13) has; what differs is chosen by /etc/os-release.
set -euo pipefail

# shellcheck disable=SC1091
release=$( . /etc/os-release 2>/dev/null && echo "${ID:-}-${VERSION_CODENAME:-}")
case "$release" in
    debian-bookworm | debian-trixie) ;;
    *) echo "install-deps: ${release:-this system} is not Debian 12 or 13; trying the same packages" >&2 ;;
esac

packages=(
    build-essential cmake ninja-build git pkg-config ccache
    qt6-base-dev qt6-multimedia-dev qt6-image-formats-plugins qt6-qpa-plugins
    libqt6multimedia6 fonts-arphic-uming
    xvfb openbox xdotool x11-utils x11-apps
    libxcb-shm0-dev libbenchmark-dev libxcb-damage0-dev libxcb-xtest0-dev clang libclang-rt-dev imagemagick
    file lintian desktop-file-utils appstream mmdebstrap
    x11-xserver-utils xserver-xephyr xwayland xclip wl-clipboard
    fonts-urw-base35 qt6-translations-l10n
    qt6-wayland dbus-daemon dbus-bin sway swaybg grim pipewire xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
    pulseaudio pulseaudio-utils libpulse-dev pipewire-pulse wireplumber
)
# KWin and GNOME Shell for the scenarios inside them, without what a whole desktop would add;
# KWin's fake-input protocol and the Wayland client library for the test that drives it.
lean=(kwin-wayland plasma-wayland-protocols libwayland-dev gnome-shell xdg-desktop-portal-gnome)

missing=()
lean_missing=()
for p in "${lean[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || lean_missing+=("$p")
done

for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#lean_missing[@]} -eq 0 ] && exit 0

echo "Installing packages: ${missing[*]} ${lean_missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] || $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
[ ${#lean_missing[@]} -eq 0 ] ||
    $sudo apt-get install -y -qq --no-install-recommends "${lean_missing[@]}" >/dev/null
