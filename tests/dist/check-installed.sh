#!/bin/bash
# The installed package on a fresh Debian 12, as its users meet it. Runs as
# root inside the root that check-package.sh made (apt-installed package,
# Debian's standard /etc/hosts, a network of its own) and works as two
# ordinary accounts, alice and bob:
#   - alice with her private broker: the installation check, the daemon,
#     velmo-flash updating the virtual board with a file named relative to
#     her folder, the board's dump landing in her folder, the front end
#     (English and Italian, offscreen) starting the daemon on her broker;
#     bob is refused by her broker;
#   - with Debian's mosquitto "service" running as the service would (no
#     systemd here): the private broker is still the one used; on the TCP
#     broker, chosen in the settings, alice's daemon reaches it through
#     localhost (::1 first) and bob's daemon finds hers answering and steps
#     aside, and bob's velmo-flash uses her daemon;
#   - TCP chosen and no service: the launcher starts a broker on both
#     loopback addresses.
# Prints "ok ..." and "FAIL ..." lines; the caller counts them.
set -u

lib=/usr/lib/velmo
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; }
check() { # description command...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
quietly() { "$@" >/dev/null 2>&1 </dev/null; }
wait_for() { # seconds command...
    local end=$((SECONDS + $1))
    shift
    while :; do
        "$@" && return 0
        [ $SECONDS -lt $end ] || return 1
        sleep 0.1
    done
}

# --- accounts ------------------------------------------------------------------
for user in alice bob; do
    id "$user" >/dev/null 2>&1 || useradd -m -s /bin/bash "$user"
    uid=$(id -u "$user")
    install -d -m 700 -o "$user" -g "$user" "/run/user/$uid"
done

# Runs a command as USER from that user's home, in a clean login-like
# environment; extra VAR=value words go before the command.
as() { # user [VAR=value...] command...
    local user=$1
    shift
    local uid
    uid=$(id -u "$user")
    (cd "/home/$user" && setpriv --reuid="$user" --regid="$user" --init-groups \
        env -i HOME="/home/$user" USER="$user" LOGNAME="$user" SHELL=/bin/bash \
        PATH=/usr/local/bin:/usr/bin:/bin XDG_RUNTIME_DIR="/run/user/$uid" LANG=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen "$@")
}

# PIDs of an installed program run by USER.
pids_of() { # program user
    local proc uid
    uid=$(id -u "$2")
    for proc in /proc/[0-9]*; do
        [ "$proc/exe" -ef "$lib/bin/$1" ] 2>/dev/null || continue
        [ "$(stat -c %u "$proc")" = "$uid" ] && echo "${proc#/proc/}"
    done
}
gone() { [ -z "$(pids_of "$1" "$2")" ]; }
stop_all() { # program user
    local pid
    for pid in $(pids_of "$1" "$2"); do kill "$pid" 2>/dev/null; done
    wait_for 5 gone "$1" "$2"
}

prefs() { # user private(true|false)
    local dir=/home/$1/AppData/Local/Calvestrid
    as "$1" mkdir -p "$dir"
    printf '[mqtt]\nhost=127.0.0.1\nport=1883\nprivate=%s\n' "$2" |
        as "$1" tee "$dir/VelmoFrontEnd.ini" >/dev/null
}

private_socket() { # user
    ls /run/user/"$(id -u "$1")"/velmo/broker-*/mqtt.sock 2>/dev/null | head -n1
}

pong() { # user mosquitto-client-options...
    local user=$1 reply
    shift
    reply=$(
        as "$user" timeout 4 mosquitto_sub "$@" -t SERIAL/PING -C 1 -W 3 2>/dev/null &
        sleep 0.5
        as "$user" mosquitto_pub "$@" -t REQUEST/SERIAL/PING -m ' ' 2>/dev/null
        wait
    )
    [ "$reply" = PONG ]
}

tcp_listens() { # address
    (exec 3<>"/dev/tcp/$1/1883") 2>/dev/null
}

echo "== /etc/hosts: $(grep -c localhost /etc/hosts) localhost lines; localhost is $(getent ahosts localhost | awk 'NR == 1 { print $1 }') first"

# --- every command answers --version and --help ----------------------------------
for command in /usr/bin/velmo-*; do
    name=${command##*/}
    check "$name --version" eval "as alice '$command' --version | grep -q '2\\.'"
    check "$name --help" quietly as alice "$command" --help
done

# --- alice, private broker, no service --------------------------------------------
echo "== alice on her private broker, no mosquitto service"
out=$(as alice velmo-service-tool --check-install 2>&1)
check "--check-install passes" test $? -eq 0
check "--check-install names the private broker" grep -q 'private MQTT broker' <<<"$out"
sed 's/^/   /' <<<"$out"

as alice velmo-board-sim --id 0x1234 --erase-all-from 0x800 \
    >/tmp/board.out 2>/tmp/board.err &
wait_for 10 grep -q '^PORT ' /tmp/board.out
pty=$(sed -n 's/^PORT //p' /tmp/board.out)
check "virtual board runs on a pseudo-terminal ($pty)" test -c "$pty"

as alice velmo-serial >/tmp/alice-daemon.log 2>&1 &
check "velmo-serial started her private broker" wait_for 10 eval '[ -S "$(private_socket alice)" ]'
sock=$(private_socket alice)
check "her broker's folder is hers alone" test "$(stat -c '%a %U' "$(dirname "$sock")")" = "700 alice"
check "her daemon answers PING on it" wait_for 15 pong alice --unix "$sock"
check "nothing listens on port 1883" eval '! tcp_listens 127.0.0.1 && ! tcp_listens ::1'

as alice cp "$lib/firmware/vb1234-sample.hex" ./firmware.hex
out=$(as alice velmo-flash --port "$pty" firmware.hex 2>&1)
rc=$?
check "velmo-flash updates the virtual board with ./firmware.hex (status $rc)" test $rc -eq 0
check "velmo-flash reports the result" grep -q 'Result: OK' <<<"$out"
[ $rc -eq 0 ] || sed 's/^/   /' <<<"$out" | tail -n 15
as alice velmo-flash --history --csv >/dev/full 2>/tmp/full.err
rc=$?
check "velmo-flash --history --csv into a full disk fails (status $rc)" test $rc -eq 11

out=$(as bob mosquitto_pub --unix "$sock" -t REQUEST/SERIAL/PING -m ' ' 2>&1)
check "bob cannot reach her broker: permission denied" grep -qi 'permission denied' <<<"$out"
as bob env VELMO_BROKER_SOCKET="$sock" VELMO_FLASH_TIMEOUT_SCALE=0.2 \
    "$lib/bin/velmo-flash" --list-ports >/dev/null 2>&1
rc=$?
check "bob's velmo-flash on her socket finds no broker (status $rc)" test $rc -eq 3

stop_all velmo-serial alice
# The board writes its dump when it ends; the board goes on for the rest.
as alice velmo-board-sim --id 0x1234 --dump flash-dump.bin >/tmp/board2.out 2>&1 &
wait_for 10 grep -q '^PORT ' /tmp/board2.out
for pid in $(pids_of velmo-board-sim alice); do
    [ "$(tr '\0' ' ' <"/proc/$pid/cmdline")" = "./velmo-board-sim --id 0x1234 --dump flash-dump.bin " ] &&
        kill "$pid"
done
check "the board's dump lands in her folder" wait_for 5 test -s /home/alice/flash-dump.bin

frontend_session() { # expected-help launcher-options...
    local help=$1 fe cwd
    shift
    as alice velmo-service-tool "$@" >/tmp/frontend.log 2>&1 &
    wait_for 10 eval '[ -n "$(pids_of VelmoFrontEnd alice)" ]'
    fe=$(pids_of VelmoFrontEnd alice | head -n1)
    check "front end runs ($*)" test -n "$fe"
    [ -n "$fe" ] || return
    check "it started her daemon ($*)" wait_for 10 eval '[ -n "$(pids_of velmo-serial alice)" ]'
    check "that daemon answers on her private broker ($*)" wait_for 15 pong alice --unix "$sock"
    check "the front end is a client of her private broker ($*)" \
        wait_for 10 grep -q "as velmo-service-qtclient-$fe " "$(dirname "$sock")/mosquitto.log"
    cwd=$(readlink "/proc/$fe/cwd")
    check "  its ./velmo-serial is the installed daemon" \
        test "$(readlink -f "$cwd/velmo-serial")" = "$lib/bin/velmo-serial"
    check "  ../configs/ holds the board configurations" \
        test -n "$(ls "$cwd"/../configs/config-id-*.ini 2>/dev/null)"
    if [ "$help" = IT ]; then
        check "  ./velmofrontend_it.qm is there" test -r "$cwd/velmofrontend_it.qm"
    else
        check "  no translation file (English)" eval "! ls '$cwd'/velmofrontend_*.qm >/dev/null 2>&1"
    fi
    opened_help() {
        local fd
        for fd in "/proc/$fe/fd"/*; do
            [ "$fd" -ef "$lib/bin/Help_$help.qhc" ] 2>/dev/null && return 0
        done
        return 1
    }
    check "  it opened Help_$help.qhc" wait_for 15 opened_help
    stop_all VelmoFrontEnd alice
    stop_all velmo-serial alice
}
frontend_session EN
frontend_session IT --lang it

# --- Debian's mosquitto service ---------------------------------------------------
echo "== with the mosquitto service (its default configuration)"
# As its systemd unit prepares and starts it.
install -d -m 740 -o mosquitto /var/log/mosquitto /run/mosquitto
/usr/sbin/mosquitto -c /etc/mosquitto/mosquitto.conf &
service_pid=$!
check "the service listens on 127.0.0.1 and ::1" wait_for 10 eval 'tcp_listens 127.0.0.1 && tcp_listens ::1'
service_log=/var/log/mosquitto/mosquitto.log

as alice velmo-serial >/tmp/alice-daemon.log 2>&1 &
check "alice's daemon stays on her private broker" wait_for 15 pong alice --unix "$sock"
check "  and never asks the service" eval "! grep -q velmo-serial-qtclient '$service_log'"
stop_all velmo-serial alice

prefs alice false
prefs bob false
out=$(as alice velmo-service-tool --check-install 2>&1)
check "TCP chosen: the check sees the broker on localhost:1883" \
    grep -q 'ok .*MQTT broker on localhost:1883' <<<"$out"
grep 'MQTT broker' <<<"$out" | sed 's/^/   /'
as alice velmo-serial >/tmp/alice-daemon.log 2>&1 &
check "alice's daemon reaches the service through localhost" wait_for 15 pong alice -h localhost
out=$(as bob timeout 20 velmo-serial 2>&1)
rc=$?
check "bob's daemon finds hers answering and ends with status 0 (status $rc)" test $rc -eq 0
check "  saying so" grep -q 'Another serial daemon already answers' <<<"$out"
out=$(as bob velmo-flash --info --port "$pty" 2>&1)
rc=$?
check "bob's velmo-flash works through her daemon (status $rc)" test $rc -eq 0
[ $rc -eq 0 ] || sed 's/^/   /' <<<"$out" | tail -n 8
check "her daemon still answers" pong alice -h 127.0.0.1
takeovers=$(grep -c 'velmo-serial-qtclient already connected' "$service_log")
check "no client id fight on the service ($takeovers take-overs)" test "$takeovers" -eq 0
stop_all velmo-serial alice
stop_all velmo-serial bob
kill "$service_pid"
wait "$service_pid" 2>/dev/null

# --- TCP chosen, no service ---------------------------------------------------------
echo "== TCP chosen, no mosquitto service"
check "nothing listens on port 1883" wait_for 5 eval '! tcp_listens 127.0.0.1 && ! tcp_listens ::1'
as alice velmo-serial >/tmp/alice-daemon.log 2>&1 &
check "the launcher's broker listens on 127.0.0.1 and ::1" \
    wait_for 10 eval 'tcp_listens 127.0.0.1 && tcp_listens ::1'
check "her daemon answers through it" wait_for 15 pong alice -h localhost
stop_all velmo-serial alice
kill "$(cat /run/user/"$(id -u alice)"/velmo/tcp-broker/mosquitto.pid)" 2>/dev/null
