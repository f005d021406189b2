#!/usr/bin/env bash
# The launcher on a small installed tree whose programs are stand-ins that
# report where and how they were started. Covers the choice of language and
# working folder, the per-user mirror for translations, the options, the
# installation check and the pass-through to other programs, and the user's
# private broker (a real mosquitto, on a unix socket in this test's runtime
# folder). TCP brokers are left to the package check, on a private network.
#
# Usage: tst_launcher.sh <configured velmo-launch>
set -u

launch_source=${1:?usage: $0 <velmo-launch>}
work=$(mktemp -d "${TMPDIR:-/tmp}/launcher.XXXXXX")
trap 'rm -rf "$work"' EXIT

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() {
    failed=$((failed + 1))
    echo "FAIL: $*"
}
expect_eq() { # what expected actual
    if [ "$2" = "$3" ]; then pass; else fail "$1: expected '$2', got '$3'"; fi
}
expect_match() { # what pattern text
    if grep -qE -- "$2" <<<"$3"; then pass; else fail "$1: '$2' not in: $3"; fi
}
expect_no_match() {
    if grep -qE -- "$2" <<<"$3"; then fail "$1: '$2' unexpected in: $3"; else pass; fi
}
field() { sed -n "s/^$1=//p" <<<"$2"; }

# An installed tree as the package lays it out, under a prefix with a blank
# in its name.
make_tree() { # prefix
    local prefix=$1 lib=$1/lib/velmo
    mkdir -p "$prefix/bin" "$lib/bin" "$lib/configs" "$lib/translations" "$lib/firmware"
    cp "$launch_source" "$lib/velmo-launch"
    chmod 755 "$lib/velmo-launch"
    local program
    for program in VelmoFrontEnd velmo-serial velmo-board-sim; do
        cat >"$lib/bin/$program" <<'EOF'
#!/bin/bash
echo "program=${0##*/}"
echo "cwd=$PWD"
echo "args=$*"
echo "lc_all=${LC_ALL-unset}"
echo "socket=${VELMO_BROKER_SOCKET-unset}"
echo "caller=${VELMO_CALLER_DIR-unset}"
EOF
        chmod 755 "$lib/bin/$program"
    done
    local file
    for file in Log_look_up.s3db short_log_example.txt full_log_example.log \
        Help_EN.qhc Help_EN.qch Help_IT.qhc Help_IT.qch; do
        echo "$file" >"$lib/bin/$file"
    done
    echo "[board]" >"$lib/configs/config-id-0x1234.ini"
    echo "qm" >"$lib/translations/velmofrontend_it.qm"
    echo ":00000001FF" >"$lib/firmware/vb1234-sample.hex"
    for program in velmo-service-tool velmo-serial velmo-board-sim; do
        ln -s ../lib/velmo/velmo-launch "$prefix/bin/$program"
    done
}

tree="$work/install root/usr"
make_tree "$tree"
lib=$(cd "$tree/lib/velmo" && pwd -P)
elsewhere="$work/elsewhere"
mkdir -p "$elsewhere" "$work/runtime"
chmod 700 "$work/runtime"

# Runs a command of the tree from an unrelated folder, with a plain locale
# and this test's runtime folder; extra VAR=value words go before the command.
run() {
    local env_words=()
    while [ $# -gt 0 ] && [[ $1 == *=* ]]; do
        env_words+=("$1")
        shift
    done
    local command=$1
    shift
    (cd "$elsewhere" && env -u LC_ALL -u LC_MESSAGES -u LANGUAGE -u XDG_CACHE_HOME LANG=C.UTF-8 \
        XDG_RUNTIME_DIR="$work/runtime" "${env_words[@]}" "$tree/bin/$command" "$@" 2>&1)
}

# --- English: straight from the program folder -------------------------------
out=$(run velmo-service-tool --no-broker)
expect_eq "front end started" VelmoFrontEnd "$(field program "$out")"
expect_eq "English runs in the program folder" "$lib/bin" "$(field cwd "$out")"
expect_eq "front end gets no arguments" "" "$(field args "$out")"
expect_eq "locale left alone" unset "$(field lc_all "$out")"

out=$(run LANG=it_IT.UTF-8 velmo-service-tool --no-broker --lang en)
expect_eq "--lang en against an Italian locale" "$lib/bin" "$(field cwd "$out")"

out=$(run LANG=fr_FR.UTF-8 velmo-service-tool --no-broker)
expect_eq "a locale without translation falls back to English" "$lib/bin" "$(field cwd "$out")"

# --- Italian: a per-user mirror that holds the translation --------------------
out=$(run LANG=it_IT.UTF-8 velmo-service-tool --no-broker)
cwd=$(field cwd "$out")
expect_match "Italian runs in the user's runtime folder" "^$work/runtime/velmo/it-[0-9]+/bin$" "$cwd"
expect_eq "locale already Italian, left alone" unset "$(field lc_all "$out")"
if [ -d "$cwd" ]; then
    (
        cd "$cwd" || exit 1
        for name in VelmoFrontEnd velmo-serial velmo-board-sim Log_look_up.s3db \
            short_log_example.txt full_log_example.log Help_EN.qhc Help_IT.qhc; do
            echo "$name $(readlink -f "./$name")"
        done
        echo "qm $(readlink -f ./velmofrontend_it.qm)"
        echo "configs $(readlink -f ../configs/config-id-0x1234.ini)"
        echo "firmware $(readlink -f ../firmware/vb1234-sample.hex)"
    ) >"$work/resolved"
    while read -r name target; do
        case $name in
        qm) expect_eq "translation in the mirror" "$lib/translations/velmofrontend_it.qm" "$target" ;;
        configs) expect_eq "../configs from the mirror" "$lib/configs/config-id-0x1234.ini" "$target" ;;
        firmware) expect_eq "../firmware from the mirror" "$lib/firmware/vb1234-sample.hex" "$target" ;;
        *) expect_eq "./$name from the mirror" "$lib/bin/$name" "$target" ;;
        esac
    done <"$work/resolved"
    expect_eq "mirror is private" 700 "$(stat -c %a "$(dirname "$cwd")")"
    expect_eq "launcher itself is not mirrored" no "$([ -e "$cwd/../velmo-launch" ] && echo yes || echo no)"
else
    fail "no mirror folder: $out"
fi
mirror=$cwd

out=$(run LANG=en_US.UTF-8 velmo-service-tool --no-broker --lang it)
expect_eq "--lang it uses the same mirror" "$mirror" "$(field cwd "$out")"
expect_eq "--lang it names the language for Qt" it_IT.UTF-8 "$(field lc_all "$out")"
out=$(run LANG=en_US.UTF-8 velmo-service-tool --no-broker --lang=IT)
expect_eq "--lang=IT is read as it" "$mirror" "$(field cwd "$out")"
out=$(run LANG=en_US.UTF-8 LC_MESSAGES=it_IT.UTF-8 velmo-service-tool --no-broker)
expect_eq "LC_MESSAGES beats LANG" "$mirror" "$(field cwd "$out")"
out=$(run LANG=it_IT.UTF-8 LC_ALL=en_US.UTF-8 velmo-service-tool --no-broker)
expect_eq "LC_ALL beats LANG" "$lib/bin" "$(field cwd "$out")"
out=$(run LANG=en_US.UTF-8 LANGUAGE=it:en velmo-service-tool --no-broker)
expect_eq "LANGUAGE names the language" "$mirror" "$(field cwd "$out")"
out=$(run LANG=C LANGUAGE=it velmo-service-tool --no-broker)
expect_eq "LANGUAGE is ignored in the C locale" "$lib/bin" "$(field cwd "$out")"

# Without a runtime folder the mirror goes to the user's cache.
out=$(run XDG_RUNTIME_DIR= LANG=it_IT.UTF-8 velmo-service-tool --no-broker)
expect_match "no runtime folder: the cache" "^$HOME/.cache/velmo/it-[0-9]+/bin$" "$(field cwd "$out")"

# An update of the tree: the mirror follows, in place.
inode=$(stat -c %i "$mirror")
rm "$lib/bin/short_log_example.txt"
echo new >"$lib/bin/new_file.txt"
out=$(run LANG=it_IT.UTF-8 velmo-service-tool --no-broker)
expect_eq "mirror is updated in place" "$inode" "$(stat -c %i "$mirror")"
expect_eq "removed file leaves the mirror" no "$([ -L "$mirror/short_log_example.txt" ] && echo yes || echo no)"
expect_eq "new file enters the mirror" "$lib/bin/new_file.txt" "$(readlink -f "$mirror/new_file.txt")"
echo example >"$lib/bin/short_log_example.txt"
rm "$lib/bin/new_file.txt"

# A second installation gets a mirror of its own.
make_tree "$work/other/usr"
other=$(cd "$elsewhere" && env LANG=it_IT.UTF-8 XDG_RUNTIME_DIR="$work/runtime" \
    "$work/other/usr/bin/velmo-service-tool" --no-broker)
other_cwd=$(field cwd "$other")
expect_match "second tree mirrored too" "^$work/runtime/velmo/it-[0-9]+/bin$" "$other_cwd"
if [ "$other_cwd" = "$mirror" ]; then fail "two trees share one mirror"; else pass; fi

# --- options -------------------------------------------------------------------
out=$(run velmo-service-tool --help)
expect_eq "--help succeeds" 0 $?
expect_match "--help names --lang with the installed languages" "--lang LANG.*" "$out"
expect_match "--help lists Italian" "en, it" "$out"

out=$(run velmo-service-tool --lang de)
expect_eq "unknown language fails" 1 $?
expect_match "unknown language lists the installed ones" "installed: en it" "$out"
out=$(run velmo-service-tool --frobnicate)
expect_eq "unknown option fails" 1 $?
expect_match "unknown option is named" "unknown option '--frobnicate'" "$out"
expect_no_match "unknown option does not start the program" "^program=" "$out"

# --- installation check ----------------------------------------------------------
out=$(run velmo-service-tool --check-install)
expect_eq "complete English tree passes" 0 $?
expect_no_match "nothing missing" "MISSING" "$out"
expect_match "broker state is reported" "MQTT broker" "$out"
expect_no_match "check does not start the program" "^program=" "$out"
out=$(run velmo-service-tool --check-install --lang it)
expect_eq "complete Italian tree passes" 0 $?
expect_match "Italian check looks at the Italian manual" "ok +.*Help_IT.qhc" "$out"
expect_match "Italian check finds the translation" "ok +./velmofrontend_it.qm" "$out"

mv "$lib/configs/config-id-0x1234.ini" "$work/config.ini"
out=$(run velmo-service-tool --check-install)
expect_eq "no board configuration fails the check" 1 $?
expect_match "missing configurations are named" "MISSING +../configs/" "$out"
mv "$work/config.ini" "$lib/configs/config-id-0x1234.ini"

rm "$lib/bin/Help_IT.qch"
out=$(run velmo-service-tool --check-install --lang it)
expect_eq "missing manual pages fail the Italian check" 1 $?
out=$(run velmo-service-tool --check-install --lang en)
expect_eq "the English check does not need the Italian manual" 0 $?
echo qch >"$lib/bin/Help_IT.qch"

# A translation dropped into the program folder would switch the language
# of every English start.
echo qm >"$lib/bin/velmofrontend_it.qm"
out=$(run velmo-service-tool --check-install --lang en)
expect_eq "stray translation fails the English check" 1 $?
rm "$lib/bin/velmofrontend_it.qm"

chmod -x "$lib/bin/velmo-serial"
out=$(run velmo-service-tool --check-install)
expect_eq "a daemon that cannot run fails the check" 1 $?
expect_match "the daemon is named" "MISSING +./velmo-serial" "$out"
chmod +x "$lib/bin/velmo-serial"

# --- the daemon and the other programs ----------------------------------------------
out=$(run LANG=it_IT.UTF-8 velmo-serial --no-broker)
expect_eq "daemon started" velmo-serial "$(field program "$out")"
expect_eq "daemon runs in the program folder" "$lib/bin" "$(field cwd "$out")"
expect_eq "daemon gets no arguments" "" "$(field args "$out")"
out=$(run velmo-serial --port /dev/ttyUSB0)
expect_eq "daemon rejects unknown options" 1 $?

out=$(run velmo-board-sim --id 0x2345 --dump "/tmp/a b.bin" --pace)
expect_eq "board started" velmo-board-sim "$(field program "$out")"
expect_eq "board runs in the program folder" "$lib/bin" "$(field cwd "$out")"
expect_eq "board gets its arguments unchanged" "--id 0x2345 --dump /tmp/a b.bin --pace" "$(field args "$out")"

# Relative files of every command are the caller's.
expect_eq "board learns the caller's folder" "$elsewhere" "$(field caller "$out")"
out=$(run velmo-service-tool --no-broker)
expect_eq "front end learns the caller's folder" "$elsewhere" "$(field caller "$out")"

# --- the private broker ---------------------------------------------------------
# Without --no-broker the user's own mosquitto is started on a unix socket in
# a folder only the user can enter, and both programs are told where it is.
if command -v mosquitto >/dev/null || [ -x /usr/sbin/mosquitto ]; then
    out=$(run velmo-serial)
    sock=$(field socket "$out")
    expect_match "daemon told of the private broker" "^$work/runtime/velmo/broker-[0-9]+/mqtt.sock$" "$sock"
    expect_match "the start is reported" "started your private MQTT broker" "$out"
    expect_eq "broker folder is private" 700 "$(stat -c %a "$(dirname "$sock")")"
    expect_eq "the socket listens" 1 "$(grep -c " 00010000 .* $sock$" /proc/net/unix)"
    pid=$(cat "$(dirname "$sock")/mosquitto.pid" 2>/dev/null)
    out=$(run velmo-service-tool)
    expect_eq "front end told of the same broker" "$sock" "$(field socket "$out")"
    expect_no_match "a running broker is not started again" "started your" "$out"
    out=$(run velmo-service-tool --check-install)
    expect_match "the check reports the private broker" "ok +your private MQTT broker on $sock" "$out"
    # The TCP broker chosen in the settings: no socket for the programs.
    mkdir -p "$HOME/AppData/Local/Calvestrid"
    printf '[mqtt]\nhost=127.0.0.1\nport=1883\nprivate=false\n' >"$HOME/AppData/Local/Calvestrid/VelmoFrontEnd.ini"
    out=$(run velmo-serial --no-broker)
    expect_eq "TCP chosen: no socket" unset "$(field socket "$out")"
    out=$(run velmo-service-tool --check-install)
    expect_match "TCP chosen: the check looks at localhost" "MQTT broker .*localhost:1883" "$out"
    rm "$HOME/AppData/Local/Calvestrid/VelmoFrontEnd.ini"
    [ -n "$pid" ] && kill "$pid"
else
    echo "mosquitto is not installed: private broker not tested"
fi

# A command linked before its program is installed says so.
ln -s ../lib/velmo/velmo-launch "$tree/bin/velmo-flash"
out=$(run velmo-flash --help)
expect_eq "missing program fails" 1 $?
expect_match "missing program is named" "velmo-flash is missing" "$out"

echo "launcher: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
