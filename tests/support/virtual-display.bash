# Sourced by the test scripts that show windows: an X server of the script's
# own, and its windows found by their names.
#
#   start_virtual_display FOLDER    starts Xvfb, keeping its files in FOLDER,
#                                   and exports DISPLAY; prints Xvfb's log and
#                                   returns 1 when it did not start
#   stop_virtual_display            ends it, if one runs
#   wait_for SECONDS COMMAND...     runs COMMAND until it succeeds or the time
#                                   is up
#   window_named NAME               the id of the viewable window named NAME
#   has_window NAME, no_window NAME
#
# Deadlines are generous: on a machine busy with builds and other tests a
# start takes many times its usual fraction of a second.

xvfb_pid=

# Xvfb takes the first display number that no other server holds (their
# listening sockets decide, not lock files, so servers started at the same
# moment by other tests cannot share one) and writes it to descriptor 3 once
# it accepts connections. -noreset: an X server resets when its last client
# goes, and refuses or drops the clients that connect meanwhile; a test's
# short-lived xwininfo or xdotool is often that last client.
start_virtual_display() {
    local folder=$1 deadline=$((SECONDS + 60))
    # Emptied first: the number of a server started before in the same
    # folder would be read before Xvfb has opened the file.
    : >"$folder/display"
    Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp 3>"$folder/display" \
        2>"$folder/xvfb.log" &
    xvfb_pid=$!
    until [[ -s $folder/display ]] || ((SECONDS >= deadline)) || ! kill -0 "$xvfb_pid" 2>/dev/null; do
        sleep 0.1
    done
    if [[ ! -s $folder/display ]]; then
        cat "$folder/xvfb.log" >&2
        return 1
    fi
    DISPLAY=":$(head -n1 "$folder/display")"
    export DISPLAY
}

# The server removes its socket as it goes: gone before the script ends.
stop_virtual_display() {
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
    unset DISPLAY
}

wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

window_named() {
    local id
    # Every named window, compared as text: a name is no pattern.
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        if [[ $(xdotool getwindowname "$id" 2>/dev/null) == "$1" ]]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}
has_window() { window_named "$1" >/dev/null; }
no_window() { ! window_named "$1" >/dev/null; }
