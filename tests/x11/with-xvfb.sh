#!/usr/bin/env bash
# Runs a command against an X server of its own: a fresh Xvfb on a free display number, gone again
# when the command ends. Tests that open windows use it so that they run on machines without a
# display, and so that tests running in parallel never share a screen, a pointer or a focus.
#
#   with-xvfb.sh <command> [args...]
#
# Exits with the command's status, or 125 when no server could be started. Listing a GoogleTest
# program's tests (--gtest_list_tests) needs no display, so that runs without a server.
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 <command> [args...]" >&2
    exit 2
fi

for arg in "$@"; do
    if [ "$arg" = "--gtest_list_tests" ]; then
        exec "$@"
    fi
done

first_display=90
last_display=399
start_timeout_tenths=200 # 20 s for the server to accept connections

workdir=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX") || exit 125
xvfb_pid=""

cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
child_pid=""
# A test runner that gives up on the command (timeout, Ctrl-C) must leave neither the command nor
# the server behind.
on_signal() {
    if [ -n "$child_pid" ]; then
        kill "$child_pid" 2>/dev/null
        wait "$child_pid" 2>/dev/null
    fi
    exit "$1"
}
trap 'on_signal 130' INT
trap 'on_signal 143' TERM
trap 'on_signal 129' HUP

# Whether the server on :$1 is the one we started: two scripts may pick the same free-looking
# number at once, and then the loser's Xvfb exits while the winner's answers every probe.
server_is_ours() {
    local lock="/tmp/.X$1-lock" owner
    [ -r "$lock" ] || return 1
    owner=$(tr -d ' \n' <"$lock" 2>/dev/null)
    [ "$owner" = "$xvfb_pid" ]
}

start_server() {
    local n=$1 tenths=0
    Xvfb ":$n" -screen 0 1280x1024x24 -noreset -nolisten tcp >"$workdir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    while [ $tenths -lt $start_timeout_tenths ]; do
        if ! kill -0 "$xvfb_pid" 2>/dev/null; then
            # Lost the race for this number (or the server failed): try another.
            wait "$xvfb_pid" 2>/dev/null
            xvfb_pid=""
            return 1
        fi
        if server_is_ours "$n" && xdpyinfo -display ":$n" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
        tenths=$((tenths + 1))
    done
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
    return 1
}

display=""
for ((n = first_display; n <= last_display; n++)); do
    # A lock file or socket means the number is taken (or was, by a server that died without
    # cleaning up); either way Xvfb would refuse it.
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then
        continue
    fi
    if start_server "$n"; then
        display=":$n"
        break
    fi
done

if [ -z "$display" ]; then
    echo "with-xvfb.sh: could not start Xvfb on any display from :$first_display to :$last_display" >&2
    if [ -s "$workdir/xvfb.log" ]; then
        echo "last server output:" >&2
        cat "$workdir/xvfb.log" >&2
    fi
    exit 125
fi

export DISPLAY="$display"
# The SDK's editor host looks the _XEMBED_INFO atom up without creating it and refuses to start
# when it is missing; a desktop has it from its toolkits, a bare server does not.
if ! xprop -root -f _XEMBED_INFO 32c -set _XEMBED_INFO "0,1"; then
    echo "with-xvfb.sh: could not set _XEMBED_INFO on $DISPLAY" >&2
    exit 125
fi

# In the background and waited for, so that a signal reaches the traps above at once instead of
# after the command has ended on its own.
"$@" &
child_pid=$!
wait "$child_pid"
status=$?
child_pid=""
exit $status
