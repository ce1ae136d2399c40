#!/usr/bin/env bash
# Runs a command against a private X server (Xvfb, 1280x1024 at 96 dpi, or the
# WIDTHxHEIGHTxDEPTH of ORVO_XVFB_SCREEN) with a light window manager, so windows
# can be activated, maximized and minimized as on a desktop. The server and the
# window manager end with the command.
# usage: scripts/with-xserver.sh COMMAND [ARGS...]
set -uo pipefail

# The server picks a free display itself and writes its number on descriptor 3, so
# that runs side by side never take the same one. -noreset: by default the server
# starts over each time its last client leaves; the check below is its first
# client, and a window manager connecting while the server started over failed
# ("Failed to open the display"), leaving every later window unmanaged and never
# activated (about one run in twenty on a loaded machine).
numberfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${ORVO_XVFB_SCREEN:-1280x1024x24}" -dpi 96 -nolisten tcp -noreset -ac 3>"$numberfile" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -f "$numberfile"
}
trap cleanup EXIT
for _ in $(seq 1 200); do
    [ -s "$numberfile" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
done
[ -s "$numberfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
display=":$(tr -d '[:space:]' <"$numberfile")"

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
    # Ready once it names itself on the root window: a window shown before that is
    # neither activated nor focused, and a loaded machine can take seconds.
    for _ in $(seq 1 200); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        kill -0 "$wm" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$wm" 2>/dev/null || { echo "the window manager did not start" >&2; exit 1; }
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
