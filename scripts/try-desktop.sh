#!/usr/bin/env bash
# Tries Shatter on a private GNOME or KDE Plasma Wayland desktop and prints what happened:
#   scripts/try-desktop.sh gnome|kde [BUILD_DIR]
# Not part of make test: the desktops take minutes to install (run as root, the script
# installs them with apt-get once). The compositor runs nested in a private Xvfb, so xdotool
# on that display is the person's pointer and the Xvfb's picture is what the compositor shows.
# Everything runs as an unprivileged user on a private session bus, in namespaces of its own
# (processes, mounts with a private /tmp, network), so nothing survives the script.
# Screenshots and logs are left in try-desktop-DESKTOP next to the build directory.
# TRY_DESKTOP_PLATFORMS chooses Qt's platforms (default: "wayland xcb", xcb through XWayland).
set -u

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/private-servers.sh"
desktop="${1:-}"
case "$desktop" in
    gnome) packages=(gnome-shell xdg-desktop-portal-gnome xwayland) ;;
    kde) packages=(kwin-wayland xdg-desktop-portal-kde xwayland qtwayland5 plasma-workspace
                   qml-module-org-kde-kirigami2 qml-module-qtquick-controls2) ;;
    *)
        echo "usage: $0 gnome|kde [BUILD_DIR]" >&2
        exit 64
        ;;
esac

if [[ "${TRY_DESKTOP_STAGE:-}" == "" ]]; then
    build="$(cd "${2:-$here/../build}" && pwd)" || exit 66
    [[ -x "$build/shatter" ]] || { echo "$0: no $build/shatter; run make build" >&2; exit 66; }
    if [[ "$(id -u)" -ne 0 ]]; then
        echo "$0: run as root: it installs the desktop and runs it in namespaces" >&2
        exit 77
    fi
    missing=()
    for p in "${packages[@]}" xvfb x11-apps xdotool imagemagick dbus; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    if ((${#missing[@]})); then
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
            "${missing[@]}" || exit 69
    fi
    ensure_wayland_user || exit 70
    out="$(dirname "$build")/try-desktop-$desktop"
    rm -rf "$out" && mkdir -p "$out" && chown shatter-wayland "$out" || exit 73
    export TRY_DESKTOP_STAGE=namespace TRY_DESKTOP_BUILD="$build" TRY_DESKTOP_OUT="$out"
    exec unshare --pid --fork --kill-child --mount-proc --net "$0" "$@"
fi

if [[ "$TRY_DESKTOP_STAGE" == "namespace" ]]; then
    # Xwayland takes the first free display number: a private /tmp keeps its locks here.
    mount -t tmpfs -o mode=1777 tmpfs /tmp || exit 70
    ip link set lo up 2>/dev/null
    start_xvfb 5 1920x1080x24 /tmp/xvfb.log || exit 70
    # The home is not under /tmp, as a person's is not: the portal may save pictures there.
    mkdir -p /tmp/run "$TRY_DESKTOP_OUT/home"
    chmod 700 /tmp/run
    chown shatter-wayland /tmp/run "$TRY_DESKTOP_OUT/home"
    env -i PATH=/usr/bin:/bin:/usr/sbin HOME="$TRY_DESKTOP_OUT/home" XDG_RUNTIME_DIR=/tmp/run \
        DISPLAY="$display" TRY_DESKTOP_STAGE=session TRY_DESKTOP_BUILD="$TRY_DESKTOP_BUILD" \
        TRY_DESKTOP_PLATFORMS="${TRY_DESKTOP_PLATFORMS:-wayland xcb}" \
        LOGS="$TRY_DESKTOP_OUT" LANG=C.UTF-8 \
        setpriv --reuid=shatter-wayland --regid="$(id -g shatter-wayland)" --clear-groups \
        timeout 600 dbus-run-session -- "$0" "$@" 2>&1 | tee "$TRY_DESKTOP_OUT/trial.txt" |
        grep '^try:'
    status=${PIPESTATUS[0]}
    echo "try: screenshots and logs in $TRY_DESKTOP_OUT"
    exit "$status"
fi

# The session: as the unprivileged user, on the private session bus.
cd "$HOME" || exit 70
say() { echo "try: $*"; }
W=1920 H=1080
# A system bus of our own: the shell asks it for logind and gives up without one.
dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/system" \
    >"$LOGS/system-bus.log" 2>&1 &
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system"
export XDG_SESSION_TYPE=wayland LIBGL_ALWAYS_SOFTWARE=1
topbar=1  # no top bar: only the first row is left out
if [[ "$desktop" == gnome ]]; then
    export XDG_CURRENT_DESKTOP=GNOME MUTTER_DEBUG_DUMMY_MODE_SPECS="${W}x$H"
    topbar=40  # the top bar's clock and the focused program's name change on their own
    gnome-shell --nested --wayland --wayland-display=wayland-try --sm-disable \
        >"$LOGS/compositor.log" 2>&1 &
    ready() { grep -q "GNOME Shell started" "$LOGS/compositor.log"; }
    backend=/usr/libexec/xdg-desktop-portal-gnome
else
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
    # A copy without the file capability that the binary carries: a container that may not
    # grant that capability refuses to run the original.
    cp /usr/bin/kwin_wayland "$XDG_RUNTIME_DIR/kwin_wayland" || exit 70
    "$XDG_RUNTIME_DIR/kwin_wayland" --x11-display "$DISPLAY" --width "$W" --height "$H" \
        --xwayland --no-lockscreen --socket wayland-try >"$LOGS/compositor.log" 2>&1 &
    ready() { [[ -S "$XDG_RUNTIME_DIR/wayland-try" ]] && sleep 3; }
    backend=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
fi
compositor=$!
for _ in $(seq 600); do
    ready && break
    if ! kill -0 "$compositor" 2>/dev/null; then
        say "the compositor ended:"
        sed 's/^/try:   /' "$LOGS/compositor.log"
        exit 70
    fi
    sleep 0.1
done
ready || { say "the compositor did not start in 60 s"; exit 70; }
export WAYLAND_DISPLAY=wayland-try
xwayland="$(grep -o 'X11 display :[0-9]*' "$LOGS/compositor.log" | head -n 1 | grep -o ':[0-9]*')"
[[ -n "$xwayland" ]] ||
    xwayland="$(ls /tmp/.X11-unix | sed -n 's/^X\([0-9]*\)$/:\1/p' | grep -vx "$DISPLAY" | head -n 1)"
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    DISPLAY="$xwayland" 2>/dev/null
DISPLAY="$xwayland" "$backend" >"$LOGS/portal-backend.log" 2>&1 &
DISPLAY="$xwayland" /usr/libexec/xdg-desktop-portal >"$LOGS/portal.log" 2>&1 &
dbus-monitor --session "type='signal',interface='org.freedesktop.portal.Request'" \
    >"$LOGS/responses.log" 2>&1 &
sleep 5
say "$desktop came up; XWayland on ${xwayland:-none}"

shot() { xwd -root -silent -display "$DISPLAY" | convert xwd:- -quality 10 "$1"; }
# The box around the pixels that differ, outside the top bar and the pointer's corner.
diffbox() {
    convert "$1" "$2" -compose difference -composite -separate -evaluate-sequence max \
        -threshold 0 -fill black -draw "rectangle 0,0 $((W - 1)),$((topbar - 1))" \
        -draw "rectangle $((W - 64)),$((H - 64)) $W,$H" ${3:+-draw "rectangle $3"} \
        -format '%@' info: 2>/dev/null
}
same() { [[ "$(compare -metric AE "$1" "$2" null: 2>&1)" == 0 ]]; }
still() {  # waits for the screen to stop changing; leaves it in $1
    local prev="$LOGS/prev.png"
    shot "$prev"
    for _ in $(seq "${2:-40}"); do
        sleep 0.5
        shot "$1"
        same "$1" "$prev" && return 0
        cp "$1" "$prev"
    done
    return 1
}
park() { xdotool mousemove $((W - 1)) $((H - 1)); }
click() { xdotool mousemove "$1" "$2" && sleep 0.2 && xdotool click 1; }
box_size() { echo "${1%%+*}"; }
box_x() { local r="${1#*+}"; echo "${r%%+*}"; }
box_y() { echo "${1##*+}"; }
# An X window's place on XWayland, which is the compositor's own: the shadow the
# compositor draws around X windows makes the picture's changed box larger than the window.
xwindow() {
    xwininfo -root -tree -display "$xwayland" 2>/dev/null |
        awk -v s="$1" '$0 ~ " " s "\\+" {print s $NF; exit}'
}
# Whether box $1 lies inside box $2 grown by 40 pixels on each side.
inside() {
    local w1=${1%%x*} h1=${1#*x} w2=${2%%x*} h2=${2#*x}
    h1=${h1%%+*} h2=${h2%%+*}
    local x1 y1 x2 y2
    x1=$(box_x "$1") y1=$(box_y "$1") x2=$(box_x "$2") y2=$(box_y "$2")
    ((x1 >= x2 - 40 && y1 >= y2 - 40 && x1 + w1 <= x2 + w2 + 40 && y1 + h1 <= y2 + h2 + 40))
}
files() { find "$HOME" /tmp -name '*.png' 2>/dev/null | sort; }

if [[ "$desktop" == gnome ]]; then
    xdotool key Escape  # the shell starts in its overview
    sleep 2
fi
park
still "$LOGS/desktop.png" 60 || say "the desktop never stood still"
failures=0
# The X authority file the compositor made for XWayland's clients.
xauth="$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* "$XDG_RUNTIME_DIR"/xauth_* 2>/dev/null |
    head -n 1)"
export XAUTHORITY="$xauth"  # the Xvfb asks for none
for platform in ${TRY_DESKTOP_PLATFORMS:-wayland xcb}; do
    tag="$platform"
    say "--- Shatter with QT_QPA_PLATFORM=$platform"
    files >"$LOGS/files-before-$tag.txt"
    park  # the last pass's exit click leaves the pointer over the desktop
    sleep 1
    shot "$LOGS/desktop-$tag.png"
    QT_QPA_PLATFORM="$platform" DISPLAY="$xwayland" \
        QT_LOGGING_RULES="qt.multimedia*=false" \
        "$TRY_DESKTOP_BUILD/shatter" >"$LOGS/shatter-$tag.log" 2>&1 &
    pid=$!
    title=""
    for _ in $(seq 60); do
        sleep 0.5
        shot "$LOGS/title-$tag.png"
        box="$(diffbox "$LOGS/desktop-$tag.png" "$LOGS/title-$tag.png")"
        [[ "$platform" == xcb ]] && box="$(xwindow 309x150)"
        [[ "$(box_size "$box")" == 309x150 ]] && title="$box" && break
    done
    if [[ -z "$title" ]]; then
        say "no title window seen (changed: ${box:-nothing})"
        failures=$((failures + 1))
        kill "$pid" 2>/dev/null
        wait "$pid"
        continue
    fi
    say "title window at $title"
    sleep 1  # its first paint
    t0=$(date +%s%N)
    click $(($(box_x "$title") + 67)) $(($(box_y "$title") + 103))
    park
    palette=""
    asked=""
    for _ in $(seq 60); do
        sleep 0.5
        shot "$LOGS/canvas-$tag.png"
        box="$(diffbox "$LOGS/desktop-$tag.png" "$LOGS/canvas-$tag.png")"
        if [[ "$platform" == xcb && -n "$(xwindow 360x262)" ]]; then
            palette="$(xwindow 360x262)"
            break
        fi
        if [[ "$platform" != xcb && "$(box_size "$box")" == 360x* ]]; then
            # The palette may reach into the top bar, which is left out of the comparison.
            h=${box#*x} h=${h%%+*}
            palette="360x262+$(box_x "$box")+$(($(box_y "$box") + h - 262))"
            break
        fi
        if [[ "$desktop" == gnome && -z "$asked" && "$(box_size "$box")" == "$W"x* ]]; then
            # The shell dims the screen around its question whether programs may take
            # screenshots; a person allows it with the dialog's right-hand button.
            asked=1
            sleep 1
            shot "$LOGS/asked-$tag.png"
            say "the desktop dims the screen (its question?) $((($(date +%s%N) - t0) / 1000000))" \
                "ms after enter; pressing its right-hand button"
            click $((W / 2 + 120)) $((H / 2 + 96))
            park
        fi
        kill -0 "$pid" 2>/dev/null || break
    done
    t1=$(date +%s%N)
    if [[ -z "$palette" ]]; then
        still "$LOGS/canvas-$tag.png" 10
        say "no canvas; the screen differs from the desktop in ${box:-nothing}; Shatter said:"
        sed 's/^/try:   /' "$LOGS/shatter-$tag.log"
        failures=$((failures + 1))
        kill "$pid" 2>/dev/null
        wait "$pid"
        continue
    fi
    still "$LOGS/canvas-$tag.png" 20
    box="$(diffbox "$LOGS/desktop-$tag.png" "$LOGS/canvas-$tag.png")"
    say "canvas after $(((t1 - t0) / 1000000)) ms (polled); differs from the desktop in $box" \
        "(the palette is $palette)"
    inside "$box" "$palette" || failures=$((failures + 1))
    px=$(box_x "$palette") py=$(box_y "$palette")
    click $((px + 139)) $((py + 43))  # the hammer
    park
    click 480 810
    park
    sleep 1
    still "$LOGS/struck-$tag.png" 30
    pbox="$px,$py $((px + 359)),$((py + 261))"
    box="$(diffbox "$LOGS/canvas-$tag.png" "$LOGS/struck-$tag.png" "$pbox")"
    say "a hammer strike at 480,810 changed $box (a crack is 178x155 near the point)"
    [[ "$box" == 0x0* || "$(box_size "$box")" == 1x1 ]] && failures=$((failures + 1))
    click $((px + 299)) $((py + 203))  # exit
    for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
    if kill -0 "$pid" 2>/dev/null; then
        say "exit did not end the program"
        kill "$pid"
        failures=$((failures + 1))
    fi
    wait "$pid"
    say "exit status $?"
    files >"$LOGS/files-after-$tag.txt"
    say "pictures that appeared: $(comm -13 "$LOGS/files-before-$tag.txt" \
        "$LOGS/files-after-$tag.txt" | tr '\n' ' ')"
done
say "portal answers (response code, uri):"
awk '/member=Response/ {getline; print "try:   code " $2}
     /string "uri"/ {getline; print "try:   " $NF}' "$LOGS/responses.log"
exit $((failures > 0))
