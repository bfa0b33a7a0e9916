#!/usr/bin/env bash
# Plays Shatter through a private PulseAudio server and checks what its null sink heard
# (tests/sound), also through PipeWire's pulse service and across server restarts. The servers
# (scripts/sound-server.sh), their sockets and the X display are this script's own and are
# gone when it ends, however it ends.
#   scripts/test-sound.sh                       1024x768 unless SHATTER_E2E_SCREEN says otherwise
#   SHATTER_SOUND_ROWS=file scripts/test-sound.sh   also appends the benchmark rows to file
#   scripts/test-sound.sh serverRestart            only the scenarios named (Qt Test arguments)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"

for tool in pulseaudio parecord pacat pactl pipewire pipewire-pulse wireplumber dbus-daemon; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 69; }
done
[[ -x "$build/tests/sound_heard" ]] || { echo "$0: build first (make build)" >&2; exit 69; }

dir="$(mktemp -d "${TMPDIR:-/tmp}/shatter-sound.XXXXXX")"
chmod 700 "$dir"
export SHATTER_SOUND_DIR="$dir"
# The test stops and starts the server itself (a restart while Shatter runs); whatever runs
# at the end goes.
export SHATTER_SOUND_SERVER="$PWD/scripts/sound-server.sh"
cleanup() {
    "$SHATTER_SOUND_SERVER" stop || true
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$SHATTER_SOUND_SERVER" start pulse
export PULSE_SERVER="unix:$dir/pulse/native" PULSE_COOKIE="$dir/cookie"
export XDG_RUNTIME_DIR="$dir" SHATTER_SOUND_SINK=shatter_test
scripts/with-display.sh "$build/tests/sound_heard" "$@"
