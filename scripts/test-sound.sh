#!/usr/bin/env bash
# Plays Shatter through a private PulseAudio server and checks what its null sink heard
# (tests/sound). The server, its socket and the X display are this script's own and are gone
# when it ends, however it ends.
#   scripts/test-sound.sh                       1024x768 unless SHATTER_E2E_SCREEN says otherwise
#   SHATTER_SOUND_ROWS=file scripts/test-sound.sh   also appends the benchmark rows to file
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"

for tool in pulseaudio parecord pacat; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 69; }
done
[[ -x "$build/tests/sound_heard" ]] || { echo "$0: build first (make build)" >&2; exit 69; }

dir="$(mktemp -d "${TMPDIR:-/tmp}/shatter-sound.XXXXXX")"
chmod 700 "$dir"
server=""
source scripts/private-servers.sh
cleanup() {
    stop "$server" || true
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

sink=shatter_test
# The sounds' own format, so that the sink passes their samples through unchanged.
cat >"$dir/server.pa" <<PA
load-module module-null-sink sink_name=$sink rate=22050 channels=1
load-module module-native-protocol-unix socket=$dir/native auth-anonymous=1
set-default-sink $sink
PA
# -n: none of the system's configuration; no session bus, no cookie, no autospawn, and as root
# (which CI is) it warns only. Everything it writes goes into the private directory.
HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir" \
    pulseaudio -n -F "$dir/server.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --log-target=stderr --log-level=error >"$dir/server.log" 2>&1 &
server=$!
export PULSE_SERVER="unix:$dir/native" PULSE_COOKIE="$dir/cookie"
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$server" 2>/dev/null || { cat "$dir/server.log" >&2; echo "$0: the sound server did not start" >&2; exit 70; }
    sleep 0.1
done
export XDG_RUNTIME_DIR="$dir" SHATTER_SOUND_SINK="$sink" SHATTER_SOUND_DIR="$dir"
scripts/with-display.sh "$build/tests/sound_heard"
