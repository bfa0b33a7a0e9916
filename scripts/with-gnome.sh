#!/usr/bin/env bash
# Runs a command inside a private, headless GNOME Shell session, then removes it:
#   scripts/with-gnome.sh ctest --test-dir build -L gnome
# gnome-shell draws one virtual monitor (SHATTER_E2E_SCREEN, default 1280x800x24) and starts its
# own Xwayland. One private bus is both the session and the system bus (the shell looks for
# logind on the latter and gives up without one), and activates GNOME's services as the
# shell's user. The shell runs in unsafe mode, so that a test may read windows and the pointer
# through org.gnome.Shell.Eval and take screenshots through org.gnome.Shell.Screenshot; it
# starts without its overview and hot corner. The desktop portals start once the shell is up,
# and the screenshot permission is stored as a person's first "Allow" stores it
# (SHATTER_GNOME_ASK=1 stores none: the shell then asks). SHATTER_GNOME_SCALE sets the monitor's
# scale, fractions too. The command gets WAYLAND_DISPLAY,
# DISPLAY and XAUTHORITY (the Xwayland), the bus, SHATTER_GNOME_SHARED, a directory the
# shell's user may write to, and SHATTER_GNOME_RUN_AS and SHATTER_GNOME_HOME (below).
# Everything runs in a process namespace of its own, so nothing survives the command, whose
# status is returned.
set -u

here="$(cd "$(dirname "$0")" && pwd)"

source "$here/private-servers.sh"

# The portals lie in libexec on Debian; elsewhere they may lie in lib.
find_program() {
    local dir
    for dir in /usr/libexec /usr/lib /usr/lib/x86_64-linux-gnu/libexec; do
        [[ -x "$dir/$1" ]] && { echo "$dir/$1"; return 0; }
    done
    command -v "$1" || { echo "$0: $1 is not installed" >&2; exit 69; }
}

enter_stage SHATTER_GNOME_STAGE "gnome-shell Xwayland dbus-daemon dbus-send setpriv" "$@"
find_program xdg-desktop-portal >/dev/null
find_program xdg-desktop-portal-gnome >/dev/null

screen="${SHATTER_E2E_SCREEN:-1280x800x24}"
size="${screen%x*}"
make_scratch with-gnome
bus_pid=""
shell_pid=""
portal_pids=()
cleanup() {
    local pid
    for pid in "${portal_pids[@]}"; do stop "$pid"; done
    { stop "$shell_pid"; } 2>/dev/null  # it ends with a segmentation fault
    stop "$bus_pid"
    rm -rf "$scratch"
}
trap cleanup EXIT
exit_on_signals

# The shell refuses to run as root: it gets the user the other compositors use.
as_user=()
if [[ "$(id -u)" -eq 0 ]]; then
    ensure_wayland_user || exit 70
    as_user=(setpriv --reuid=shatter-wayland --regid="$(id -g shatter-wayland)" --clear-groups)
fi
ensure_x11_socket_dir || exit 70

home="$scratch/home"
mkdir -m 700 "$home"
mkdir -m 777 "$scratch/shared"
mkdir -m 755 "$scratch/bus"
[[ ${#as_user[@]} -eq 0 ]] || chown shatter-wayland "$home" "$scratch/shared" "$scratch/bus"
# Settings stay in memory: nothing of this machine's, and no settings service to start.
user_env=(env -i PATH="$PATH" HOME="$home" XDG_RUNTIME_DIR="$home" LANG=C.UTF-8
          XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland GSETTINGS_BACKEND=memory
          LIBGL_ALWAYS_SOFTWARE=1 NO_AT_BRIDGE=1 WAYLAND_DISPLAY=wayland-gnome
          DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/bus/socket"
          DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/bus/socket")

# The bus runs as the shell's user, so what it activates (the permission store) runs as that
# user in that home; anyone may connect.
open_bus_config "$scratch/bus/socket" activate >"$scratch/bus/bus.conf"
"${user_env[@]}" "${as_user[@]}" dbus-daemon --nofork --config-file="$scratch/bus/bus.conf" \
    >"$scratch/bus.log" 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/bus/socket"
export DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
for _ in $(seq 50); do
    [[ -S "$scratch/bus/socket" ]] && break
    sleep 0.1
done
if [[ ! -S "$scratch/bus/socket" ]]; then
    echo "$0: the bus did not start:" >&2
    cat "$scratch/bus.log" >&2
    exit 70
fi

owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
eval_js() {
    dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell \
        org.gnome.Shell.Eval "string:$1"
}

# The shell forks a helper for its input methods with a JavaScript callback in the child, which
# now and then deadlocks before exec and leaves the shell waiting for it for good: a start whose
# shell does not answer is ended and tried again.
start_shell() {
    : >"$scratch/shell.log"  # there before the first look at it
    "${user_env[@]}" "${as_user[@]}" gnome-shell --headless --wayland --unsafe-mode \
        --wayland-display=wayland-gnome --virtual-monitor "$size" \
        >"$scratch/shell.log" 2>&1 &
    shell_pid=$!
    local deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
        kill -0 "$shell_pid" 2>/dev/null || return 1
        grep -q "GNOME Shell started" "$scratch/shell.log" && shell_answers && return 0
        sleep 0.1
    done
    return 1
}
# Whether the shell answers, in unsafe mode.
shell_answers() {
    timeout 5 dbus-send --session --print-reply --reply-timeout=3000 --dest=org.gnome.Shell \
        /org/gnome/Shell org.gnome.Shell.Eval string:1 2>/dev/null | grep -q 'boolean true'
}
# A failed start is ended with everything it forked: a child stuck before exec keeps the
# shell's bus connection, and so its name, and the next start would find the name taken.
descendants() {  # of PID, from one reading of /proc
    local stat line pid state ppid
    local -A children=()
    for stat in /proc/[0-9]*/stat; do
        read -r line <"$stat" 2>/dev/null || continue
        pid="${line%% *}"
        read -r state ppid _ <<<"${line##*) }"
        children[$ppid]+=" $pid"
    done
    local queue=("$1")
    while ((${#queue[@]})); do
        pid="${queue[0]}"
        queue=("${queue[@]:1}" ${children[$pid]:-})
        [[ "$pid" == "$1" ]] || echo "$pid"
    done
}
end_shell_tree() {
    local tree=()
    kill -STOP "$shell_pid" 2>/dev/null
    # Twice: a child may have forked before it was stopped.
    for _ in 1 2; do
        tree=($(descendants "$shell_pid"))
        ((${#tree[@]} == 0)) || kill -STOP "${tree[@]}" 2>/dev/null
    done
    kill -KILL "$shell_pid" "${tree[@]}" 2>/dev/null
    wait "$shell_pid" 2>/dev/null
    shell_pid=""
    for _ in $(seq 50); do
        owned org.gnome.Shell || break
        sleep 0.1
    done
}
started=""
for attempt in 1 2 3 4; do
    # The shell forks that helper again right after it started: it must answer after that too.
    if start_shell && sleep 1 && shell_answers; then
        started=1
        break
    fi
    echo "$0: GNOME Shell did not come up (attempt $attempt); trying again. Its log ended:" >&2
    tail -n 3 "$scratch/shell.log" | sed 's/^/    /' >&2
    end_shell_tree
    # Killed, the shell leaves its Xwayland's lock files behind.
    grep -o 'X11 display :[0-9]*\|using :[0-9]*' "$scratch/shell.log" | grep -o '[0-9]*$' |
        while read -r n; do rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"; done
done
if [[ -z "$started" ]]; then
    echo "$0: GNOME Shell did not start:" >&2
    cat "$scratch/shell.log" >&2
    exit 70
fi

# The desktop as the scenarios want it: no overview, no hot corner to take a parked pointer to
# it, no banners, no top bar, whose clock changes on its own, and no shadows around windows,
# which the scenarios would take for the program's drawing (GNOME 48 no longer lets a script
# reach them: there each window is cut to its own rectangle, which leaves them out).
desktop_js='Main.overview.hide();
if (Meta.ShadowFactory) {
const shadows = Meta.ShadowFactory.get_default();
const none = new Meta.ShadowParams({radius: 0, top_fade: -1, x_offset: 0, y_offset: 0, opacity: 0});
["normal", "dialog", "modal_dialog", "utility", "border", "menu", "popup-menu", "dropdown-menu",
 "attached"].forEach(c => [true, false].forEach(focused => shadows.set_params(c, focused, none)));
} else {
const cut = a => { if (a instanceof Meta.WindowActor) a.clip_to_allocation = true; };
global.window_group.connect("child-added", (group, actor) => cut(actor));
global.get_window_actors().forEach(cut);
}
const setting = (schema, key) => new Gio.Settings({schema_id: schema}).set_boolean(key, false);
setting("org.gnome.desktop.interface", "enable-hot-corners");
setting("org.gnome.desktop.notifications", "show-banners");
Main.messageTray.getSources().forEach(s => s.destroy());
Main.panel.hide();
true'
if ! eval_js "$desktop_js" | grep -q "boolean true"; then
    echo "$0: could not set GNOME Shell up" >&2
    exit 70
fi
# A fractional scale needs the shell's experimental mode, and the monitor's new configuration
# the serial of the shell's current one.
if [[ -n "${SHATTER_GNOME_SCALE:-}" ]]; then
    eval_js "new Gio.Settings({schema_id: 'org.gnome.mutter'}).set_strv('experimental-features',
             ['scale-monitor-framebuffer']); true" >/dev/null
    display_config=(gdbus call --session --dest org.gnome.Mutter.DisplayConfig
                    --object-path /org/gnome/Mutter/DisplayConfig
                    --method org.gnome.Mutter.DisplayConfig)
    for _ in $(seq 50); do
        serial="$("${display_config[@]}".GetCurrentState | sed -n 's/^(uint32 \([0-9]*\),.*/\1/p')"
        "${display_config[@]}".ApplyMonitorsConfig "$serial" 1 "[(0, 0, $SHATTER_GNOME_SCALE, 0,
            true, [('Meta-0', '${size}@60.000', @a{sv} {})])]" '@a{sv} {}' >/dev/null 2>&1 &&
            break
        sleep 0.1
    done
    if ! eval_js "global.display.get_monitor_scale(0)" | grep -q "\"$SHATTER_GNOME_SCALE\""; then
        echo "$0: GNOME Shell did not take the scale $SHATTER_GNOME_SCALE" >&2
        exit 70
    fi
fi
xwayland="$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$scratch/shell.log" |
    head -n 1)"
xauth="$(ls "$home"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1)"
if [[ -z "$xwayland" || -z "$xauth" ]]; then
    echo "$0: no Xwayland in GNOME Shell's log:" >&2
    cat "$scratch/shell.log" >&2
    exit 70
fi

# The portals, once the shell is up (before, they may wait for it for good), each once: the bus
# would start a second copy for a call that came before the name was taken.
start_service() {  # program, bus name
    "${user_env[@]}" DISPLAY="$xwayland" XAUTHORITY="$xauth" "${as_user[@]}" "$1" \
        >"$scratch/$(basename "$1").log" 2>&1 &
    portal_pids+=($!)
    for _ in $(seq 100); do
        owned "$2" && return 0
        sleep 0.1
    done
    echo "$0: $1 did not start:" >&2
    cat "$scratch/$(basename "$1").log" >&2
    exit 70
}
start_service "$(find_program xdg-desktop-portal-gnome)" org.freedesktop.impl.portal.desktop.gnome
start_service "$(find_program xdg-desktop-portal)" org.freedesktop.portal.Desktop

if [[ "${SHATTER_GNOME_ASK:-}" != 1 ]]; then
    dbus-send --session --print-reply --dest=org.freedesktop.impl.portal.PermissionStore \
        /org/freedesktop/impl/portal/PermissionStore \
        org.freedesktop.impl.portal.PermissionStore.SetPermission string:screenshot \
        boolean:true string:screenshot string: array:string:yes >/dev/null || exit 70
fi

export WAYLAND_DISPLAY="$home/wayland-gnome" DISPLAY="$xwayland" XAUTHORITY="$xauth"
export XDG_RUNTIME_DIR="$scratch/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
export SHATTER_GNOME_SHARED="$scratch/shared"
# How the command may start a program as the shell's user, in its home, as a person's programs
# run: the portal refuses a caller whose /proc entries it may not read.
export SHATTER_GNOME_HOME="$home" SHATTER_GNOME_RUN_AS="${as_user[*]}"
"$@" <&0 &
cmd_pid=$!
wait "$cmd_pid"
