#!/usr/bin/env bash
# Runs a command inside a private Wayland desktop, then removes it:
#   scripts/with-wayland.sh ctest --test-dir build -L wayland
# sway runs on its X11 backend inside a private Xvfb, so xdotool on that display moves the
# Wayland pointer; a private session bus carries pipewire and the desktop portal with its
# wlroots backend. The command gets WAYLAND_DISPLAY, SWAYSOCK, DISPLAY (the Xvfb) and the
# bus, plus SHATTER_WAYLAND_SHARED, a directory the compositor can read pictures from.
# Everything runs in a process namespace of its own, so nothing survives the command.
# Screen size: SHATTER_E2E_SCREEN (default 1920x1080x24); the outputs' scale:
# SHATTER_WAYLAND_SCALE (default 1, fractional allowed). The command's status is returned.
set -u

here="$(cd "$(dirname "$0")" && pwd)"

source "$here/private-servers.sh"

enter_stage SHATTER_WAYLAND_STAGE "Xvfb xdpyinfo xwininfo xdotool sway swaymsg swaybg grim
    dbus-run-session pipewire setpriv /usr/libexec/xdg-desktop-portal
    /usr/libexec/xdg-desktop-portal-wlr /usr/libexec/xdg-desktop-portal-gtk" "$@"

# Inside the private bus: the portal and what it needs, then the command.
if [[ "$SHATTER_WAYLAND_STAGE" == "bus" ]]; then
    exec 1>&4 2>&3 3>&- 4>&-  # the bus's own chatter stays in its log
    pids=()
    cleanup_bus() {
        local i
        for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
    }
    trap cleanup_bus EXIT
    log="$SHATTER_WAYLAND_LOGS"
    pipewire >"$log/pipewire.log" 2>&1 &
    pids+=($!)
    # The wlroots backend connects to pipewire as it starts; one that comes first fails its
    # screen-cast set-up and can stall the portal's own start past the wait below.
    for _ in $(seq 100); do
        [[ -S "$XDG_RUNTIME_DIR/pipewire-0" ]] && break
        sleep 0.1
    done
    /usr/libexec/xdg-desktop-portal-wlr -l ERROR >"$log/portal-wlr.log" 2>&1 &
    pids+=($!)
    /usr/libexec/xdg-desktop-portal-gtk >"$log/portal-gtk.log" 2>&1 &
    pids+=($!)
    /usr/libexec/xdg-desktop-portal >"$log/portal.log" 2>&1 &
    pids+=($!)
    ready=""
    for _ in $(seq 100); do
        if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.portal.Desktop 2>/dev/null |
            grep -q 'boolean true'; then
            ready=1
            break
        fi
        sleep 0.1
    done
    if [[ -z "$ready" ]]; then
        echo "$0: the desktop portal did not start:" >&2
        cat "$log"/portal*.log >&2
        exit 70
    fi
    "$@" <&0 &
    cmd_pid=$!
    pids+=("$cmd_pid")
    wait "$cmd_pid"
    status=$?
    unset 'pids[-1]'
    exit "$status"
fi

screen="${SHATTER_E2E_SCREEN:-1920x1080x24}"
make_scratch with-wayland
xvfb_pid=""
sway_pid=""
bus_pid=""
cleanup() {
    stop "$bus_pid"
    stop "$sway_pid"
    stop "$xvfb_pid"
    rm -rf "$scratch"
}
trap cleanup EXIT
exit_on_signals

# sway refuses to run as root: it gets a user of its own, made once.
sway_user=""
if [[ "$(id -u)" -eq 0 ]]; then
    sway_user=shatter-wayland
    ensure_wayland_user || exit 70
fi

start_xvfb 150 "$screen" "$scratch/xvfb.log" || exit 70
export DISPLAY="$display"

# Several outputs (SHATTER_WAYLAND_OUTPUTS) share the Xvfb's width side by side, in the order
# sway names them or, with SHATTER_WAYLAND_REVERSED set, the other way round.
outputs="${SHATTER_WAYLAND_OUTPUTS:-1}"
size="${screen%x*}"
width=$(( ${size%x*} / outputs ))
output_x() {  # the left edge of output $1, counted from 1
    if [[ -n "${SHATTER_WAYLAND_REVERSED:-}" ]]; then echo $(( (outputs - $1) * width ))
    else echo $(( ($1 - 1) * width )); fi
}
mkdir -m 700 "$scratch/sway" "$scratch/run"
mkdir -m 755 "$scratch/shared"
# SHATTER_WAYLAND_XWAYLAND set: sway runs XWayland too, lets this user in (it may run sway
# as another), and the command gets its display in SHATTER_XWAYLAND_DISPLAY.
xwayland=disable
[[ -n "${SHATTER_WAYLAND_XWAYLAND:-}" ]] && xwayland=force
cat >"$scratch/sway/config" <<EOF
xwayland $xwayland
exec sh -c 'for _ in \$(seq 100); do xhost "+si:localuser:$(id -un)" && break; sleep 0.1; done; echo "\$DISPLAY" >"\$HOME/xwayland-display"'
output * resolution ${width}x${size#*x} bg #404040 solid_color
output * scale ${SHATTER_WAYLAND_SCALE:-1}
$(for ((i = 1; i <= outputs; i++)); do echo "output X11-$i position $(output_x "$i") 0"; done)
default_border none
default_floating_border none
focus_follows_mouse no
EOF
sway_env=(env -i PATH="$PATH" HOME="$scratch/sway" XDG_RUNTIME_DIR="$scratch/sway"
          DISPLAY="$DISPLAY" WLR_BACKENDS=x11 WLR_RENDERER=pixman WLR_X11_OUTPUTS="$outputs")
if [[ -n "$sway_user" ]]; then
    chown -R "$sway_user" "$scratch/sway"
    sway_env+=(setpriv --reuid="$sway_user" --regid="$(id -g "$sway_user")" --clear-groups)
fi
"${sway_env[@]}" sway -c "$scratch/sway/config" >"$scratch/sway.log" 2>&1 &
sway_pid=$!
socket=""
for _ in $(seq 100); do
    kill -0 "$sway_pid" 2>/dev/null || break
    socket="$(ls "$scratch"/sway/sway-ipc.*.sock 2>/dev/null | head -n 1)"
    [[ -n "$socket" && -S "$scratch/sway/wayland-1" ]] &&
        swaymsg -s "$socket" -t get_outputs >/dev/null 2>&1 && break
    socket=""
    sleep 0.1
done
if [[ -z "$socket" ]]; then
    echo "$0: sway did not start:" >&2
    cat "$scratch/sway.log" >&2
    exit 70
fi

# Each output's window opens at the Xvfb's corner, in the order of the outputs: it goes where
# its output lies, so that a point on the Xvfb is the same point of the desktop.
i=1
for window in $(xwininfo -root -children | awk '/^ +0x/ { print $1 }' | sort); do
    xdotool windowmove "$window" "$(output_x "$i")" 0
    i=$((i + 1))
done

if [[ "$xwayland" == force ]]; then
    for _ in $(seq 100); do
        SHATTER_XWAYLAND_DISPLAY="$(cat "$scratch/sway/xwayland-display" 2>/dev/null)" || true
        [[ -n "$SHATTER_XWAYLAND_DISPLAY" && -S "/tmp/.X11-unix/X${SHATTER_XWAYLAND_DISPLAY#:}" ]] &&
            break
        sleep 0.1
    done
    export SHATTER_XWAYLAND_DISPLAY
fi
export SWAYSOCK="$socket"
export WAYLAND_DISPLAY="$scratch/sway/wayland-1"
export XDG_RUNTIME_DIR="$scratch/run"
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway
export SHATTER_WAYLAND_SHARED="$scratch/shared" SHATTER_WAYLAND_LOGS="$scratch"
export SHATTER_WAYLAND_STAGE=bus
dbus-run-session -- "$0" "$@" <&0 3>&2 4>&1 >"$scratch/bus.log" 2>&1 &
bus_pid=$!
wait "$bus_pid"
status=$?
bus_pid=""
exit "$status"
