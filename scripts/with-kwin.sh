#!/usr/bin/env bash
# Runs a command inside a private KWin session, then removes it:
#   scripts/with-kwin.sh ctest --test-dir build -L kwin
# kwin_wayland draws into a virtual output with OpenGL (llvmpipe) and starts its own
# Xwayland; a session bus of its own carries KWin's screenshot service and no desktop portal.
# The command gets DISPLAY and XAUTHORITY (the Xwayland, where xdotool's input reaches the
# X clients), WAYLAND_DISPLAY, the bus, and SHATTER_KWIN_SHARED, a directory KWin's user
# can read. Everything runs in a process namespace of its own, so nothing survives the command.
# Screen size: SHATTER_E2E_SCREEN (default 1280x800x24), per output: SHATTER_KWIN_OUTPUTS side
# by side (default 1), at SHATTER_KWIN_SCALE (default 1). KWin trusts only programs whose menu
# entries ask for it (its screenshots, its fake input): SHATTER_KWIN_APPS names a directory
# that KWin's user can read, holding share/applications/ with such entries (scripts/test-kwin.sh
# makes one); the command then runs as KWin's user, as a user's programs do. The command's
# status is returned.
set -u

here="$(cd "$(dirname "$0")" && pwd)"

source "$here/private-servers.sh"

enter_stage SHATTER_KWIN_STAGE "kwin_wayland Xwayland dbus-daemon dbus-send swaybg setpriv" "$@"

screen="${SHATTER_E2E_SCREEN:-1280x800x24}"
size="${screen%x*}"
make_scratch with-kwin
bus_pid=""
kwin_pid=""
cleanup() {
    stop "$kwin_pid"
    stop "$bus_pid"
    rm -rf "$scratch"
}
trap cleanup EXIT
exit_on_signals

# Compositors refuse to run as root: KWin gets the user the Wayland scenario uses.
kwin_user=""
if [[ "$(id -u)" -eq 0 ]]; then
    kwin_user=shatter-wayland
    ensure_wayland_user || exit 70
fi
ensure_x11_socket_dir || exit 70

# One bus for KWin's user and the command's: any user of this machine may connect.
mkdir -m 755 "$scratch/bus" "$scratch/shared"
open_bus_config "$scratch/bus/socket" >"$scratch/bus/bus.conf"
dbus-daemon --nofork --config-file="$scratch/bus/bus.conf" >"$scratch/bus.log" 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/bus/socket"

# The packaged binary carries a file capability that a container may refuse to grant; a plain
# copy runs. Its platform plugin checks the program's name, so the copy keeps it.
mkdir -m 755 "$scratch/bin"
cp /usr/bin/kwin_wayland "$scratch/bin/kwin_wayland"
mkdir -m 700 "$scratch/kwin" "$scratch/run"
# SHATTER_KWIN_PRIMARY (counted from 0) makes that output the primary one, the way Plasma's
# display settings store it: the outputs' order, read by KWin at start. Unnamed by any EDID,
# outputs are known by their names.
if [[ -n "${SHATTER_KWIN_PRIMARY:-}" ]]; then
    outputs=() priorities=()
    for ((i = 0; i < ${SHATTER_KWIN_OUTPUTS:-1}; ++i)); do outputs+=("Virtual-$i"); done
    mkdir -p "$scratch/kwin/.local/share/kscreen"
    for i in "${!outputs[@]}"; do
        priority=$((i < SHATTER_KWIN_PRIMARY ? i + 2 : i == SHATTER_KWIN_PRIMARY ? 1 : i + 1))
        priorities+=("{\"id\":\"${outputs[$i]}\",\"enabled\":true,\"rotation\":1,\"priority\":$priority,\"pos\":{\"x\":$((i * ${size%x*})),\"y\":0}}")
    done
    hash="$(printf '%s' "${outputs[@]}" | md5sum | cut -d' ' -f1)"
    (IFS=,; echo "[${priorities[*]}]") >"$scratch/kwin/.local/share/kscreen/$hash"
fi
apps="${SHATTER_KWIN_APPS:+$SHATTER_KWIN_APPS/share:}"
kwin_env=(env -i PATH="$PATH" HOME="$scratch/kwin" XDG_RUNTIME_DIR="$scratch/kwin"
          XDG_DATA_DIRS="$apps/usr/local/share:/usr/share"
          DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" LIBGL_ALWAYS_SOFTWARE=1)
as_kwin_user=()
if [[ -n "$kwin_user" ]]; then
    chown -R "$kwin_user" "$scratch/kwin"
    as_kwin_user=(setpriv --reuid="$kwin_user" --regid="$(id -g "$kwin_user")" --clear-groups)
    kwin_env+=("${as_kwin_user[@]}")
fi
# KWin starts the program it is given inside its session: that one tells where Xwayland is.
# Its Xwayland admits only KWin's user: the command's user is let in too.
cat >"$scratch/bin/started" <<EOF
#!/bin/sh
xhost +si:localuser:$(id -un) >/dev/null || exit 1
EOF
cat >>"$scratch/bin/started" <<'EOF'
printf '%s\n%s\n' "$DISPLAY" "$XAUTHORITY" >"$XDG_RUNTIME_DIR/session.tmp"
mv "$XDG_RUNTIME_DIR/session.tmp" "$XDG_RUNTIME_DIR/session"
exec sleep infinity
EOF
chmod 755 "$scratch/bin/started"
"${kwin_env[@]}" "$scratch/bin/kwin_wayland" --virtual --xwayland --no-lockscreen \
    --width "${size%x*}" --height "${size#*x}" --output-count "${SHATTER_KWIN_OUTPUTS:-1}" \
    --scale "${SHATTER_KWIN_SCALE:-1}" --socket wayland-kwin "$scratch/bin/started" \
    >"$scratch/kwin.log" 2>&1 &
kwin_pid=$!
ready=""
for _ in $(seq 300); do
    kill -0 "$kwin_pid" 2>/dev/null || break
    if [[ -f "$scratch/kwin/session" ]] &&
        dbus-send --session --print-reply --dest=org.kde.KWin /org/kde/KWin/ScreenShot2 \
            org.freedesktop.DBus.Properties.Get string:org.kde.KWin.ScreenShot2 \
            string:Version >/dev/null 2>&1; then
        ready=1
        break
    fi
    sleep 0.1
done
if [[ -z "$ready" ]]; then
    echo "$0: KWin did not start with its screenshot service:" >&2
    cat "$scratch/kwin.log" >&2
    exit 70
fi

{ read -r DISPLAY; read -r XAUTHORITY; } <"$scratch/kwin/session"
export DISPLAY XAUTHORITY
export WAYLAND_DISPLAY="$scratch/kwin/wayland-kwin"
export XDG_RUNTIME_DIR="$scratch/run"
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE
export SHATTER_KWIN_SHARED="$scratch/shared"
if [[ -n "${SHATTER_KWIN_APPS:-}" && -n "$kwin_user" ]]; then
    chown "$kwin_user" "$scratch/run" "$scratch/shared"
    set -- "${as_kwin_user[@]}" "$@"
fi
"$@" <&0 &
cmd_pid=$!
wait "$cmd_pid"
