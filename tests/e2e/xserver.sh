#!/bin/sh
# The X server and window manager the end-to-end tests run on.
#
#   xserver.sh start <state-file> <Xvfb> <openbox>
#   xserver.sh stop <state-file>
#
# start: a virtual X server (1024x768, 24 bits, no TCP) on a display number
# it picks itself (-displayfd, so it never collides with another server),
# then openbox on it; it returns once openbox manages the screen. The state
# file then holds DISPLAY=:<n>, XVFB_PID=<pid> and OPENBOX_PID=<pid>; the
# servers' output goes to <state-file>.xvfb.log and <state-file>.openbox.log.
# xprop (or $XPROP) tells when openbox is ready.
# stop: ends the two processes named in the state file and removes it.
set -eu

usage() {
    echo "usage: xserver.sh start <state-file> <Xvfb> <openbox> | stop <state-file>" >&2
    exit 2
}

# Whether the process still runs (an ended one waiting to be reaped does not).
running() {
    if [ -r "/proc/$1/stat" ]; then
        proc_state=$(sed 's/.*) //; s/ .*//' "/proc/$1/stat" 2>/dev/null) || return 1
        [ -n "$proc_state" ] && [ "$proc_state" != Z ]
    else
        kill -0 "$1" 2>/dev/null
    fi
}

# Ends one process by its id: politely, then for certain.
end_process() {
    pid=$1
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    i=0
    while running "$pid" && [ $i -lt 50 ]; do
        sleep 0.1
        i=$((i + 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
}

stop() {
    state=$1
    [ -f "$state" ] || return 0
    openbox_pid=$(sed -n 's/^OPENBOX_PID=//p' "$state")
    xvfb_pid=$(sed -n 's/^XVFB_PID=//p' "$state")
    end_process "$openbox_pid"
    end_process "$xvfb_pid"
    rm -f "$state"
}

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_for() {
    i=0
    until eval "$1"; do
        i=$((i + 1))
        if [ $i -ge "$2" ]; then return 1; fi
        sleep 0.1
    done
}

start() {
    state=$1 xvfb=$2 openbox=$3
    stop "$state"  # what an interrupted run left behind
    displayfile="$state.display"
    rm -f "$displayfile"
    : >"$displayfile"
    # setsid and no inherited output: the test runner must not wait on them.
    setsid "$xvfb" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3>"$displayfile" </dev/null >"$state.xvfb.log" 2>&1 &
    xvfb_pid=$!
    if ! wait_for '[ -s "$displayfile" ] || ! running $xvfb_pid' 100 ||
        ! [ -s "$displayfile" ]; then
        echo "xserver.sh: Xvfb did not start; see $state.xvfb.log" >&2
        end_process "$xvfb_pid"
        exit 1
    fi
    display=":$(head -n 1 "$displayfile")"
    rm -f "$displayfile"

    DISPLAY=$display setsid "$openbox" --sm-disable </dev/null >"$state.openbox.log" 2>&1 &
    openbox_pid=$!
    # openbox manages the screen once the root names its check window.
    if ! wait_for 'DISPLAY=$display "${XPROP:-xprop}" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' 100; then
        echo "xserver.sh: openbox did not start on $display; see $state.openbox.log" >&2
        end_process "$openbox_pid"
        end_process "$xvfb_pid"
        exit 1
    fi
    printf 'DISPLAY=%s\nXVFB_PID=%s\nOPENBOX_PID=%s\n' "$display" "$xvfb_pid" "$openbox_pid" >"$state"
    echo "X server on $display (Xvfb $xvfb_pid, openbox $openbox_pid)"
}

[ $# -ge 2 ] || usage
case $1 in
    start) [ $# -eq 4 ] || usage; start "$2" "$3" "$4" ;;
    stop) [ $# -eq 2 ] || usage; stop "$2" ;;
    *) usage ;;
esac
