#!/usr/bin/env bash
# Checks a built Debian package as a technician's machine would see it:
# lintian, the desktop entry and AppStream metadata, the manual pages and
# icons; then, unpacked into a temporary root with a private HOME and on a
# private network (so port 1883 is ours), the installed programs started
# through their commands from an unrelated working directory:
#   - velmo-serial starts a loopback-only broker and the daemon answers PING;
#   - velmo-service-tool (offscreen) starts the installed daemon, runs where
#     the configurations, lookup database, example logs and translation
#     resolve, and opens the manual of its language.
#
# Usage: check-package.sh <package.deb>     (scripts/test.sh --package)
set -u

deb=$(readlink -f "${1:?usage: $0 <package.deb>}")
[ -f "$deb" ] || {
    echo "no package $deb" >&2
    exit 2
}

# A network and System V IPC of our own: the daemon always uses port 1883,
# and the single-instance keys must not meet anybody else's programs.
if [ -z "${VELMO_PACKAGE_CHECK_ISOLATED:-}" ]; then
    userns=() user=nobody
    [ "$(id -u)" -eq 0 ] || userns=(-r) user=self
    exec unshare "${userns[@]}" -n -i env VELMO_PACKAGE_CHECK_ISOLATED=$user bash "$0" "$@"
fi
ip link set lo up || exit 2
# A technician is no root: as root, the programs run as nobody, so the
# installed tree is read-only to them as it is under /usr.
as_user=()
if [ "$VELMO_PACKAGE_CHECK_ISOLATED" = nobody ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/velmo-package.XXXXXX")
chmod 755 "$work"
root="$work/root"
started=() # PIDs to end on exit, ours only

cleanup() {
    local pid
    for pid in "${started[@]}" $(installed_pids velmo-serial) $(installed_pids VelmoFrontEnd); do
        kill "$pid" 2>/dev/null
    done
    [ -f "$work/runtime/velmo/broker/mosquitto.pid" ] &&
        kill "$(cat "$work/runtime/velmo/broker/mosquitto.pid")" 2>/dev/null
    sleep 0.2
    rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
pass() {
    passed=$((passed + 1))
    echo "ok    $*"
}
fail() {
    failed=$((failed + 1))
    echo "FAIL  $*"
}
check() { # description command...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# PIDs of processes running an executable of the unpacked tree.
installed_pids() {
    local exe=$root/usr/lib/velmo/bin/$1 proc
    for proc in /proc/[0-9]*; do
        [ "$proc/exe" -ef "$exe" ] 2>/dev/null && echo "${proc#/proc/}"
    done
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

pong() {
    local reply
    reply=$(timeout 3 mosquitto_sub -h 127.0.0.1 -p 1883 -t SERIAL/PING -C 1 -W 2 2>/dev/null &
        sleep 0.3
        mosquitto_pub -h 127.0.0.1 -p 1883 -t REQUEST/SERIAL/PING -m ' ' 2>/dev/null
        wait)
    [ "$reply" = PONG ]
}

# --- the package as a file --------------------------------------------------------
echo "== $(basename "$deb")"
lintian --fail-on error --display-level '>=warning' --tag-display-limit 0 "$deb" \
    >"$work/lintian.txt" 2>&1
lintian_rc=$?
grep -v 'root privileges' "$work/lintian.txt" | sed 's/^/   lintian: /'
errors=$(grep -c '^E:' "$work/lintian.txt")
warnings=$(grep -c '^W:' "$work/lintian.txt")
check "lintian reports no errors ($errors errors, $warnings warnings)" test $lintian_rc -eq 0

dpkg-deb -f "$deb" Depends >"$work/depends"
check "Depends names the Qt libraries" grep -q 'libqt6widgets6' "$work/depends"
check "Depends names the SQLite driver" grep -q 'libqt6sql6-sqlite' "$work/depends"
check "Depends names libmosquittopp" grep -q 'libmosquittopp1' "$work/depends"
check "Recommends mosquitto" grep -qw mosquitto <(dpkg-deb -f "$deb" Recommends)

mkdir -p "$root"
dpkg -x "$deb" "$root" || exit 1
usr=$root/usr

for desktop in "$usr"/share/applications/*.desktop; do
    check "desktop-file-validate $(basename "$desktop")" desktop-file-validate "$desktop"
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    check "the menu entry runs a command of the package ($exec_line)" test -L "$usr/bin/${exec_line%% *}"
done
for meta in "$usr"/share/metainfo/*.xml; do
    check "appstreamcli validate $(basename "$meta")" quietly appstreamcli validate --no-net "$meta"
    check "AppStream release is the package's version" \
        grep -q "<release version=\"$(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')\"" "$meta"
done

png_size() { # width x height from the PNG header
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
for size in 16 22 24 32 48 64 128 256; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/velmo-service-tool.png
    check "icon ${size}x${size}" test "$([ -f "$icon" ] && png_size "$icon")" = "${size}x${size}"
done
check "scalable icon" test -s "$usr/share/icons/hicolor/scalable/apps/velmo-service-tool.svg"

doc=$usr/share/doc/velmo-service-tool
check "machine-readable copyright" grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright"
check "copyright names the Adwaita icons' licence" grep -q 'CC-BY-SA-3.0-US or LGPL-3' "$doc/copyright"
check "changelog.Debian.gz" gzip -t "$doc/changelog.Debian.gz"
check "README.Debian points to the dialout group" grep -q dialout "$doc/README.Debian"

for command in "$usr"/bin/*; do
    name=$(basename "$command")
    page=$usr/share/man/man1/$name.1.gz
    if [ ! -f "$page" ]; then
        fail "$name has a manual page"
        continue
    fi
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" >"$work/man.txt" 2>"$work/man.err"
    check "man -l $name.1.gz renders without warnings" test ! -s "$work/man.err"
    check "$name(1) has NAME and SYNOPSIS" grep -q '^SYNOPSIS' "$work/man.txt"
    check "$name --help" quietly "$command" --help
done

# --- the installed programs, from an unrelated folder -------------------------------
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp"
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
unset LC_ALL LC_MESSAGES LANGUAGE XDG_CACHE_HOME
mkdir -p "$HOME" "$TMPDIR" "$work/elsewhere" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
[ ${#as_user[@]} -eq 0 ] || chown 65534:65534 "$HOME" "$TMPDIR" "$XDG_RUNTIME_DIR"
cd "$work/elsewhere" || exit 1
lib=$usr/lib/velmo

"${as_user[@]}" "$usr/bin/velmo-service-tool" --check-install >"$work/check.txt" 2>&1
check "velmo-service-tool --check-install" test $? -eq 0
"${as_user[@]}" "$usr/bin/velmo-service-tool" --check-install --lang it >>"$work/check.txt" 2>&1
check "velmo-service-tool --check-install --lang it" test $? -eq 0
sed 's/^/   /' "$work/check.txt"

broker_listens() { (exec 3<>/dev/tcp/127.0.0.1/1883) 2>/dev/null; }
check "no broker on the private network yet" eval '! broker_listens'

# The daemon alone: its command starts a broker first.
"${as_user[@]}" "$usr/bin/velmo-serial" >"$work/daemon.log" 2>&1 &
started+=($!)
check "velmo-serial started a broker" wait_for 10 broker_listens
check "the broker it started listens on loopback only" \
    eval "! ss -ltnH 'sport = :1883' | awk '{print \$4}' | grep -qv '^127\.0\.0\.1:1883$'"
check "the launcher said so" wait_for 5 grep -q 'started a loopback-only MQTT broker' "$work/daemon.log"
check "installed daemon answers PING" wait_for 10 pong
check "the daemon runs from the program folder" \
    test "$(readlink "/proc/$(installed_pids velmo-serial | head -n1)/cwd")" = "$lib/bin"
# velmo-flash through the same daemon: the port list, and a relative file
# taken from the caller's folder although the program runs in bin/.
"${as_user[@]}" "$usr/bin/velmo-flash" --list-ports >"$work/flash.txt" 2>&1
check "velmo-flash --list-ports reaches the installed daemon" test $? -eq 0
"${as_user[@]}" "$usr/bin/velmo-flash" --port /dev/null no-such-file.hex >"$work/flash.txt" 2>&1
check "velmo-flash refuses a missing file with status 8" test $? -eq 8
check "velmo-flash looked for it where it was called" \
    grep -q "Cannot read $work/elsewhere/no-such-file.hex" "$work/flash.txt"
"${as_user[@]}" "$usr/bin/velmo-flash" --history >"$work/flash.txt" 2>&1
check "velmo-flash --history reads the (empty) service record" test $? -eq 0
for pid in $(installed_pids velmo-serial); do kill "$pid"; done
check "daemon ended" wait_for 5 eval '[ -z "$(installed_pids velmo-serial)" ]'

# The front end starts the installed daemon itself.
frontend_session() { # lang-option-or-empty expected-help
    local help=$1
    shift
    "${as_user[@]}" "$usr/bin/velmo-service-tool" "$@" >"$work/frontend.log" 2>&1 &
    started+=($!)
    local fe
    wait_for 10 eval '[ -n "$(installed_pids VelmoFrontEnd)" ]'
    fe=$(installed_pids VelmoFrontEnd | head -n1)
    check "front end runs ($*)" test -n "$fe"
    [ -n "$fe" ] || return
    check "front end started the installed daemon ($*)" \
        wait_for 10 eval '[ -n "$(installed_pids velmo-serial)" ]'
    check "the daemon it started answers PING ($*)" wait_for 15 pong
    local cwd
    cwd=$(readlink "/proc/$fe/cwd")
    echo "   front end works in $cwd"
    (
        cd "$cwd" || exit 1
        check "  ./velmo-serial is the installed daemon" \
            test "$(readlink -f ./velmo-serial)" = "$lib/bin/velmo-serial"
        check "  ../configs/ holds the board configurations" \
            test -n "$(ls ../configs/config-id-*.ini 2>/dev/null)"
        check "  ./Log_look_up.s3db is the lookup database" \
            test "$(readlink -f ./Log_look_up.s3db)" = "$lib/bin/Log_look_up.s3db"
        check "  ./short_log_example.txt" test -r ./short_log_example.txt
        check "  ./full_log_example.log" test -r ./full_log_example.log
        if [ "$help" = IT ]; then
            check "  ./velmofrontend_it.qm is there" test -r ./velmofrontend_it.qm
        else
            check "  no translation file (English)" eval '! ls ./velmofrontend_*.qm >/dev/null 2>&1'
        fi
    ) >"$work/resolve.txt"
    cat "$work/resolve.txt"
    passed=$((passed + $(grep -c '^ok' "$work/resolve.txt")))
    failed=$((failed + $(grep -c '^FAIL' "$work/resolve.txt")))
    opened_help() {
        local fd
        for fd in "/proc/$fe/fd"/*; do
            [ "$fd" -ef "$lib/bin/Help_$help.qhc" ] 2>/dev/null && return 0
        done
        return 1
    }
    check "front end opened Help_$help.qhc next to the program ($*)" wait_for 15 opened_help
    kill "$fe"
    wait_for 5 eval '[ -z "$(installed_pids VelmoFrontEnd)" ]'
    for pid in $(installed_pids velmo-serial); do kill "$pid"; done
    wait_for 5 eval '[ -z "$(installed_pids velmo-serial)" ]'
}
frontend_session EN
frontend_session IT --lang it
LANG=it_IT.UTF-8 frontend_session IT

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
