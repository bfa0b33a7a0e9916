# Sourced by the scripts that start private servers.

# Stops PID politely, then for good, and reaps it, so nothing is left running whatever state it
# was in.
stop() {
    local pid="$1"
    [[ -n "$pid" ]] || return 0
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

# The unprivileged system user the Wayland desktops run as (they refuse root), made once.
ensure_wayland_user() {
    id shatter-wayland >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            shatter-wayland
}

# An Xwayland started as another user cannot make the X socket directory itself when no X
# server of this machine has made it yet.
ensure_x11_socket_dir() {
    [[ -d /tmp/.X11-unix ]] || mkdir -m 1777 /tmp/.X11-unix 2>/dev/null || [[ -d /tmp/.X11-unix ]]
}

# Prints the configuration of a session bus listening on SOCKET that any user of this machine
# may use; with "activate", it also starts the session services installed on the machine.
open_bus_config() {
    local socket="$1" activate=""
    [[ "${2:-}" == activate ]] && activate="<standard_session_servicedirs/>"
    cat <<EOF
<busconfig><type>session</type><listen>unix:path=$socket</listen>
$activate<auth>EXTERNAL</auth><policy context="default"><allow user="*"/>
<allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/></policy></busconfig>
EOF
}

# Starts an Xvfb of SCREEN (WxHxD) on the first free display from FIRST to 250, its output in
# LOG; sets xvfb_pid and display. Another run may pick the same number at the same moment: the
# loser tries the next one. Another X server may follow LOG, as its program and arguments (the
# display is put first).
start_xvfb() {
    local first="$1" screen="$2" log="$3" n
    local server=(Xvfb -screen 0 "$screen" -nolisten tcp -noreset)
    [[ $# -gt 3 ]] && server=("${@:4}")
    for n in $(seq "$first" 250); do
        [[ ! -e "/tmp/.X$n-lock" && ! -e "/tmp/.X11-unix/X$n" ]] || continue
        "${server[0]}" ":$n" "${server[@]:1}" >"$log" 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 100); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            if xdpyinfo -display ":$n" >/dev/null 2>&1; then
                display=":$n"
                return 0
            fi
            sleep 0.1
        done
        stop "$xvfb_pid"
        xvfb_pid=""
    done
    echo "$0: could not start ${server[0]} (screen $screen):" >&2
    cat "$log" >&2
    return 1
}

# Exits with status 69 naming the first of the programs that is not installed.
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "$0: $tool is not installed" >&2; exit 69; }
    done
}

# The start of the with-*.sh scripts: they need a command; outside their process namespace
# (the variable named STAGE empty) they check TOOLS and run again inside one, STAGE set.
#   enter_stage STAGE "TOOL..." "$@"
enter_stage() {
    local stage="$1" tools
    read -r -d "" -a tools <<<"$2" || true  # the list may run over lines
    shift 2
    if [[ $# -eq 0 ]]; then
        echo "usage: $0 COMMAND [ARG...]" >&2
        exit 64
    fi
    [[ -z "${!stage:-}" ]] || return 0
    require_tools "${tools[@]}"
    export "$stage=session"
    rerun_in_own_namespace "$@"
}

# Interrupted, hung up or terminated, the script exits with the usual status, so that its EXIT
# trap still removes what it started.
exit_on_signals() {
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
}

# Makes scratch, a directory of the script's (NAME) that the servers' user may read.
make_scratch() {
    scratch="$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")"
    chmod 755 "$scratch"
}

# Runs the calling script again with ARGS, where root may make one as the first process of a
# process namespace of its own: when it ends, the kernel ends whatever it started.
rerun_in_own_namespace() {
    if [[ "$(id -u)" -eq 0 ]] && unshare --pid --fork --kill-child --mount-proc true 2>/dev/null
    then
        exec unshare --pid --fork --kill-child --mount-proc "$0" "$@"
    fi
    exec "$0" "$@"
}
