#!/usr/bin/env bash
# Builds and runs the tool. Installs missing Debian packages first, starts a
# private MQTT broker (a mosquitto on a unix socket only you can reach) and
# the serial daemon, and runs the front end from the folder that holds its
# data files.
#
#   scripts/run.sh            the tool, with your own preferences
#   scripts/run.sh --demo     also starts the virtual board (port name
#                             build/run-state/virtual-board), with preferences of
#                             its own (demo-home) that start on that port
#   scripts/run.sh --lang it  Italian texts and descriptions
#   scripts/run.sh --daemon   only the serial daemon, in the foreground
#   scripts/run.sh --stop     stops the brokers, daemons and board started here
#
# The first run builds everything (10 to 20 minutes on two cores); later runs
# build only what changed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VELMO_BUILD_DIR:-$root/build}
stage="$build/stage"
state="$build/run-state"

# Each process this script starts is recorded as "pid executable" in
# $state/NAME.pid; only a process that still runs that executable is ended.
record() { # name pid executable
    echo "$2 $(readlink -f "$3")" >"$state/$1.pid"
}
recorded_alive() { # name
    local pid exe
    [ -f "$state/$1.pid" ] || return 1
    read -r pid exe <"$state/$1.pid" || return 1
    [ -n "$pid" ] && [ "$(readlink -f "/proc/$pid/exe" 2>/dev/null)" = "$exe" ]
}
# Starts a program in a session of its own, out of this script's process
# tree (which becomes the front end's: it would never reap it), and records
# it.
spawn() { # name output executable args...
    local name=$1 output=$2 pid
    shift 2
    pid=$(
        setsid "$@" </dev/null >"$output" 2>&1 &
        echo $!
    )
    record "$name" "$pid" "$1"
}
stop_recorded() { # name
    local pid exe
    if recorded_alive "$1"; then
        read -r pid exe <"$state/$1.pid"
        kill "$pid" 2>/dev/null || true
    fi
    rm -f "$state/$1.pid"
}

demo=0 lang="" daemon_only=0
while [ $# -gt 0 ]; do
    case "$1" in
    --demo) demo=1 ;;
    --lang)
        lang="${2:?--lang needs a language such as it}"
        shift
        ;;
    --daemon) daemon_only=1 ;;
    --stop)
        for name in board daemon demo-daemon broker demo-broker; do
            stop_recorded "$name"
        done
        echo "stopped"
        exit 0
        ;;
    -h | --help)
        sed -n '2,16p' "$0"
        exit 0
        ;;
    *)
        echo "unknown option $1" >&2
        exit 2
        ;;
    esac
    shift
done

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
mkdir -p "$state"

# The demo has a home, and so a broker and daemon, of its own: a daemon
# keeps the received firmware in its user's data folder.
prefix=""
if [ $demo -eq 1 ]; then
    prefix="demo-"
    export HOME="$build/demo-home"
fi

# --- the private broker --------------------------------------------------------
broker_dir="$state/${prefix}broker"
sock="$broker_dir/mqtt.sock"
case $sock in *[[:space:]]*)
    echo "the build folder has a blank in its path; mosquitto cannot use $sock" >&2
    exit 1
    ;;
esac
(umask 077 && mkdir -p "$broker_dir")
chmod 700 "$broker_dir"

socket_listens() {
    local line
    while IFS= read -r line; do
        [[ $line == *" 00010000 "*" $1" ]] && return 0
    done </proc/net/unix
    return 1
}

if ! socket_listens "$sock"; then
    mosquitto=$(PATH="$PATH:/usr/sbin" command -v mosquitto)
    printf 'user %s\nlistener 0 %s\nallow_anonymous true\npersistence false\n' \
        "$(id -un)" "$sock" >"$broker_dir/mosquitto.conf"
    spawn "${prefix}broker" "$broker_dir/mosquitto.log" "$mosquitto" -c "$broker_dir/mosquitto.conf"
    for _ in $(seq 50); do socket_listens "$sock" && break; sleep 0.1; done
    socket_listens "$sock" || {
        echo "mosquitto did not start, see $broker_dir/mosquitto.log" >&2
        exit 1
    }
    echo "started your private MQTT broker on $sock (scripts/run.sh --stop ends it)"
fi
export VELMO_BROKER_SOCKET="$sock"

cd "$stage/bin"

# The installed-language code follows the translation files present here.
rm -f velmofrontend_*.qm
if [ -n "$lang" ]; then
    qm="$stage/translations/velmofrontend_$lang.qm"
    [ -f "$qm" ] || {
        echo "no translation $qm" >&2
        exit 1
    }
    cp "$qm" .
fi

if [ $demo -eq 1 ]; then
    data="$HOME/AppData/Local/Calvestrid"
    (umask 077 && mkdir -p "$data")
    # A folder left by an earlier version of this script may be open to all.
    chmod 700 "$HOME" "$HOME/AppData" "$HOME/AppData/Local" "$data"
fi

if [ $daemon_only -eq 1 ] || [ ! -x ./VelmoFrontEnd ]; then
    exec ./velmo-serial
fi

# --- the serial daemon ---------------------------------------------------------
# Started here rather than by the front end, so that --stop can end it by
# its recorded pid.
daemon_answers() {
    local where=(--unix "$sock")
    if grep -qx 'private=false' "$HOME/AppData/Local/Calvestrid/VelmoFrontEnd.ini" 2>/dev/null; then
        where=(-h localhost -p 1883) # the TCP broker chosen in the settings
    fi
    local reply
    reply=$(
        timeout 3 mosquitto_sub "${where[@]}" -t SERIAL/PING -C 1 -W 2 2>/dev/null &
        sleep 0.3
        mosquitto_pub "${where[@]}" -t REQUEST/SERIAL/PING -m ' ' 2>/dev/null
        wait
    )
    [ "$reply" = PONG ]
}
if ! recorded_alive "${prefix}daemon"; then
    spawn "${prefix}daemon" "$state/${prefix}daemon.log" ./velmo-serial
    for _ in $(seq 10); do daemon_answers && break; done
fi

if [ $demo -eq 1 ]; then
    stop_recorded board
    spawn board "$state/board.out" ./velmo-board-sim --pace --erase-all-from 0x800
    for _ in $(seq 50); do
        grep -q '^PORT ' "$state/board.out" 2>/dev/null && break
        sleep 0.1
    done
    pty=$(sed -n 's/^PORT //p' "$state/board.out" | head -n1)
    [ -n "$pty" ] || {
        echo "the virtual board did not start, see $state/board.out" >&2
        exit 1
    }
    # The pseudo-terminal changes with every start; this name does not, so
    # the port chosen (or typed) once in Setup > Configure stays right.
    link="$state/virtual-board"
    ln -sfn "$pty" "$link"
    ini="$data/VelmoFrontEnd.ini"
    # Only a new demo home is given the board's port; after that the
    # preferences belong to the settings dialog.
    if [ ! -f "$ini" ] || ! grep -q '^com=.' "$ini"; then
        printf '[serial]\ncom=%s\n' "$link" >"$ini"
    fi
    cp -f "$stage"/firmware/*.hex "$HOME/"
    echo "virtual board on $pty (port name $link); sample firmware in $HOME"
fi

exec ./VelmoFrontEnd
