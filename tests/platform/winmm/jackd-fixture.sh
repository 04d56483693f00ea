#!/bin/sh
# Starts or stops a private JACK server for tests: the dummy driver (no sound hardware), not
# real-time, under its own server name, so that it never meets the user's server.
#   jackd-fixture.sh start SERVER_NAME STATE_DIR [PERIOD [sync|async]]
#                                        returns once the server answers
#   jackd-fixture.sh stop SERVER_NAME STATE_DIR
# The tests' server runs synchronously with 1024-frame periods; timing measurements and xrun
# tests ask for short periods and the asynchronous mode that a musician's server runs in.
set -u
action=$1
server=$2
dir=$3
period=${4:-1024}
mode=${5:-sync}
pidfile="$dir/jackd-$server.pid"
log="$dir/jackd-$server.log"

stop_server() {
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    if kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid"
        i=0
        while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
            sleep 0.1
            i=$((i + 1))
        done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
    fi
    rm -f "$pidfile"
}

case "$action" in
start)
    if ! command -v jackd >/dev/null 2>&1; then
        echo "jackd is not installed (Debian package jackd2; make test installs it)" >&2
        exit 1
    fi
    mkdir -p "$dir"
    stop_server # one left behind by an interrupted run
    # Output goes to a file: CTest waits for the test's output pipes to close.
    # Synchronous with a long client timeout: on a loaded machine a late client delays the cycle
    # instead of missing it, and the MIDI of a missed cycle would be lost.
    timing="--sync --timeout 5000"
    [ "$mode" = async ] && timing=""
    # shellcheck disable=SC2086 # $timing is a list of options
    JACK_NO_AUDIO_RESERVATION=1 nohup jackd -n "$server" --no-realtime $timing \
        -d dummy -r 48000 -p "$period" \
        </dev/null >"$log" 2>&1 &
    echo $! >"$pidfile"
    i=0
    while [ $i -lt 600 ]; do # generous: a loaded machine may take long to start it
        if jack_lsp -s "$server" >/dev/null 2>&1; then
            echo "jackd \"$server\" answers (process $(cat "$pidfile"))"
            exit 0
        fi
        if ! kill -0 "$(cat "$pidfile")" 2>/dev/null; then
            echo "jackd \"$server\" ended at start:" >&2
            cat "$log" >&2
            rm -f "$pidfile"
            exit 1
        fi
        sleep 0.1
        i=$((i + 1))
    done
    echo "jackd \"$server\" did not answer within 60 s:" >&2
    cat "$log" >&2
    stop_server
    exit 1
    ;;
stop)
    stop_server
    ;;
*)
    echo "usage: $0 start|stop SERVER_NAME STATE_DIR [PERIOD [sync|async]]" >&2
    exit 2
    ;;
esac
