#!/usr/bin/env bash
# Runs a command on a private virtual X display with a window manager, then removes both.
#   scripts/with-display.sh ctest --test-dir build -L e2e
# Screen size: SHATTER_E2E_SCREEN (default 1024x768x24). With SHATTER_E2E_XEPHYR set, the server
# is an Xephyr on the current display. The command's status is returned.
set -u

if [[ $# -eq 0 ]]; then
    echo "usage: $0 COMMAND [ARG...]" >&2
    exit 64
fi
for tool in Xvfb xdpyinfo openbox xprop; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$0: $tool is not installed" >&2
        exit 69
    fi
done

screen="${SHATTER_E2E_SCREEN:-1024x768x24}"
logdir="$(mktemp -d "${TMPDIR:-/tmp}/with-display.XXXXXX")"
xvfb_pid=""
wm_pid=""
cmd_pid=""

source "$(dirname "$0")/private-servers.sh"

cleanup() {
    stop "$cmd_pid"
    stop "$wm_pid"
    stop "$xvfb_pid"
    rm -rf "$logdir"
}
trap cleanup EXIT
exit_on_signals

server=()
# Nested in the current display instead: Xephyr offers RandR modes to switch between.
if [[ -n "${SHATTER_E2E_XEPHYR:-}" ]]; then
    server=(Xephyr -screen "${screen%x*}" -resizeable -nolisten tcp -noreset)
fi
start_xvfb 90 "$screen" "$logdir/xvfb.log" "${server[@]}" || exit 70
export DISPLAY="$display"
# Run from a Wayland desktop, the program would take this X display for XWayland.
unset WAYLAND_DISPLAY
export XDG_SESSION_TYPE=x11

openbox >"$logdir/openbox.log" 2>&1 &
wm_pid=$!
# Openbox is ready once it has announced itself on the root window.
for _ in $(seq 100); do
    if ! kill -0 "$wm_pid" 2>/dev/null; then
        echo "$0: openbox did not start:" >&2
        cat "$logdir/openbox.log" >&2
        exit 70
    fi
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        break
    fi
    sleep 0.1
done

# In the background so that a signal reaches the traps at once, not after the command ends;
# the explicit redirection keeps its standard input.
"$@" <&0 &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
