#!/usr/bin/env bash
# Starts and stops the sound test's private sound server, in the directory SHATTER_SOUND_DIR:
#   scripts/sound-server.sh start pulse|pipewire   returns once the server answers
#   scripts/sound-server.sh stop                   ends whatever this started there
# Either kind listens on $SHATTER_SOUND_DIR/pulse/native with one null sink, shatter_test, at
# the sounds' own format, as the default output. PipeWire runs with pipewire-pulse and
# WirePlumber on a session bus of its own; both kinds read none of the system's configuration.
set -euo pipefail
dir="${SHATTER_SOUND_DIR:?}"
pids="$dir/server.pids"
sink=shatter_test
export HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state"
export PULSE_SERVER="unix:$dir/pulse/native" PULSE_COOKIE="$dir/cookie"
unset DISPLAY WAYLAND_DISPLAY

daemon() {  # name, command...: in the background, its output in name.log
    local name="$1"
    shift
    "$@" >>"$dir/$name.log" 2>&1 </dev/null &
    echo $! >>"$pids"
}

case "${1:-}" in
start)
    mkdir -p -m 700 "$dir/pulse" "$dir/config/pipewire/pipewire.conf.d"
    case "${2:-}" in
    pulse)
        cat >"$dir/server.pa" <<PA
load-module module-null-sink sink_name=$sink rate=22050 channels=1
load-module module-native-protocol-unix socket=$dir/pulse/native auth-anonymous=1
set-default-sink $sink
PA
        # -n: none of the system's configuration; no session bus, no cookie, no autospawn,
        # and as root (which CI is) it warns only.
        daemon pulseaudio pulseaudio -n -F "$dir/server.pa" --daemonize=no --exit-idle-time=-1 \
            --use-pid-file=no --log-target=stderr --log-level=error
        ;;
    pipewire)
        # The whole graph at the sounds' rate, so that their samples pass unchanged.
        cat >"$dir/config/pipewire/pipewire.conf.d/rate.conf" <<'CONF'
context.properties = {
    default.clock.rate = 22050
    default.clock.allowed-rates = [ 22050 ]
}
CONF
        rm -f "$dir/bus"
        daemon dbus dbus-daemon --session --address="unix:path=$dir/bus" --nofork --nopidfile
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"
        for _ in $(seq 50); do [[ -S "$dir/bus" ]] && break; sleep 0.1; done
        daemon pipewire pipewire
        # Its clients give up when it is not there yet, as on a loaded machine.
        for _ in $(seq 100); do [[ -S "$dir/pipewire-0" ]] && break; sleep 0.1; done
        daemon wireplumber wireplumber
        daemon pipewire-pulse pipewire-pulse
        ;;
    *) echo "usage: $0 start pulse|pipewire" >&2; exit 64 ;;
    esac
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    # PipeWire: the session manager links streams, the sink comes through the pulse service,
    # and the default takes a moment to follow.
    for _ in $(seq 100); do
        pactl info 2>/dev/null | grep -q "Default Sink: $sink" && break
        if [[ "$2" == pipewire ]]; then
            pactl list short sinks 2>/dev/null | grep -q "$sink" ||
                pactl load-module module-null-sink sink_name=$sink rate=22050 channels=1 \
                    >/dev/null 2>&1 || true
            pactl set-default-sink $sink >/dev/null 2>&1 || true
        fi
        sleep 0.1
    done
    pactl info 2>/dev/null | grep -q "Default Sink: $sink" || {
        cat "$dir"/*.log >&2
        echo "$0: the $2 sound server did not start" >&2
        exit 70
    }
    ;;
stop)
    [[ -f "$pids" ]] || exit 0
    for pid in $(tac "$pids"); do kill "$pid" 2>/dev/null || true; done
    for pid in $(tac "$pids"); do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
    rm -f "$pids" "$dir/pulse/native" "$dir/bus"
    ;;
*) echo "usage: $0 start pulse|pipewire | stop" >&2; exit 64 ;;
esac
