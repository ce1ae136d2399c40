#!/usr/bin/env bash
# Runs a command against a private X server (Xvfb, 1280x1024 at 96 dpi) with a light
# window manager, so windows can be activated, maximized and minimized as on a
# desktop. The server and the window manager end with the command.
# usage: scripts/with-xserver.sh COMMAND [ARGS...]
set -uo pipefail

display=""
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }

Xvfb "$display" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -ac >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

export DISPLAY="$display"
for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
done

if [ -z "${ORVO_NO_WM:-}" ]; then
    # A configuration of its own, so the result does not depend on the machine's
    # and no configuration error is shown on the test screen.
    openbox --config-file "$(dirname "$0")/openbox-rc.xml" >/dev/null 2>&1 &
    wm=$!
    sleep 0.3
fi

export QT_QPA_PLATFORM=xcb
# Under AddressSanitizer: the X keyboard library gives strndup a length past the end
# of a terminated string; strndup stops at the terminator, but the strict string
# checks read the whole length and abort every X client at start-up.
if [ -n "${ASAN_OPTIONS:-}" ]; then
    export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
fi
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR
"$@"
