#!/usr/bin/env bash
# Checks a built Debian package as a technician's machine would see it.
#
# The package as a file: lintian (no errors, no hardening tags), Depends, the
# desktop entry and AppStream metadata, the manual pages and icons.
#
# The package installed: a fresh Debian 12 root made with debootstrap from the
# mirror this machine's apt uses, the package installed into it with apt
# (Depends and Recommends from the mirror), Debian's standard /etc/hosts
# (localhost on ::1 and 127.0.0.1). In it, on a network of its own,
# check-installed.sh runs the front end (offscreen), the daemon and
# velmo-flash against the virtual board as two ordinary users, with and
# without a mosquitto "service" running. Making the root needs root, as CI
# has; it is made afresh on every run and removed afterwards.
#
# Usage: check-package.sh <package.deb>     (scripts/test.sh --package)
set -u

deb=$(readlink -f "${1:?usage: $0 <package.deb>}")
[ -f "$deb" ] || {
    echo "no package $deb" >&2
    exit 2
}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
suite=bookworm

work=$(mktemp -d "${TMPDIR:-/tmp}/velmo-package.XXXXXX")
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT

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
quietly() { "$@" >/dev/null 2>&1 </dev/null; }
minutes() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }

# --- the package as a file ---------------------------------------------------------
echo "== $(basename "$deb")"
lintian --fail-on error --display-info --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
lintian_rc=$?
grep -E '^(E|W):|hardening' "$work/lintian.txt" | sed 's/^/   lintian: /'
errors=$(grep -c '^E:' "$work/lintian.txt")
warnings=$(grep -c '^W:' "$work/lintian.txt")
hardening=$(grep -c 'hardening-' "$work/lintian.txt")
check "lintian reports no errors ($errors errors, $warnings warnings)" test $lintian_rc -eq 0
check "lintian reports no hardening tags ($hardening)" test "$hardening" -eq 0

dpkg-deb -f "$deb" Depends >"$work/depends"
check "Depends names the Qt libraries" grep -q 'libqt6widgets6' "$work/depends"
check "Depends names the SQLite driver" grep -q 'libqt6sql6-sqlite' "$work/depends"
check "Depends names libmosquittopp" grep -q 'libmosquittopp1' "$work/depends"
check "Recommends mosquitto" grep -qw mosquitto <(dpkg-deb -f "$deb" Recommends)

unpacked="$work/unpacked"
mkdir -p "$unpacked"
dpkg -x "$deb" "$unpacked" || exit 1
usr=$unpacked/usr
check "no test or benchmark programs are shipped" \
    test -z "$(find "$usr" -name 'tst_*' -o -name '*_bench' -o -name 'bench_*')"

# What dpkg-buildflags' hardening leaves in the programs (lintian reports
# each missing one, but as information only).
chk=0
for program in "$usr"/lib/velmo/bin/*; do
    [ -x "$program" ] && readelf -h "$program" >/dev/null 2>&1 || continue
    name=$(basename "$program")
    readelf -d "$program" >"$work/dynamic" 2>/dev/null
    readelf -lW "$program" >"$work/segments" 2>/dev/null
    check "$name: position independent, relro, bind-now" eval "
        grep -q 'Type:.*DYN' <(readelf -h '$program') &&
        grep -q GNU_RELRO '$work/segments' &&
        grep -Eq 'BIND_NOW|FLAGS_1.*NOW' '$work/dynamic'"
    check "$name: stack protector" grep -q __stack_chk_fail <(nm -D --undefined-only "$program")
    chk=$((chk + $(nm -D --undefined-only "$program" | grep -c '__[a-z]*_chk@')))
done
check "fortified libc calls are linked ($chk)" test "$chk" -gt 0

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
check "NEWS.Debian.gz" gzip -t "$doc/NEWS.Debian.gz"
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
done

# --- the package installed into a fresh Debian 12 ------------------------------------
if [ "$(id -u)" -ne 0 ]; then
    fail "a fresh Debian root needs root (debootstrap, chroot): run as root, as CI does"
    echo "package: $passed passed, $failed failed"
    exit 1
fi

# The Debian mirror apt uses here (deb822 sources first, then one-line ones).
debian_mirror() {
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk 'BEGIN { RS = ""; FS = "\n" }
             /(^|\n)Suites:[^\n]*[ \t]'"$suite"'([ \t]|\n|$)/ && !/Enabled: *no/ {
                 for (i = 1; i <= NF; i++) if ($i ~ /^URIs:/) { sub(/^URIs: */, "", $i); split($i, u, " "); print u[1]; exit }
             }' "$file"
    done | head -n1
    awk '$1 == "deb" && $3 == "'"$suite"'" { print $2; exit }' /etc/apt/sources.list \
        /etc/apt/sources.list.d/*.list 2>/dev/null
}
mirror=$(debian_mirror | head -n1)
root="$work/root"
echo "== a fresh Debian 12 root from $mirror"
start=$SECONDS
if ! debootstrap --variant=minbase --include=debian-archive-keyring "$suite" "$root" "$mirror" \
    >"$work/debootstrap.log" 2>&1; then
    tail -n 20 "$work/debootstrap.log" | sed 's/^/   /'
    fail "debootstrap $suite from $mirror"
    echo "package: $passed passed, $failed failed"
    exit 1
fi
took=$(minutes $((SECONDS - start)))
pass "debootstrap $suite ($took)"

# apt in the root fetches as apt here does: the same sources and settings.
rm -f "$root"/etc/apt/sources.list
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] && grep -q 'debian' "$file" && cp "$file" "$root$file"
done
for file in /etc/apt/apt.conf.d/*; do
    grep -q '^[[:space:]]*Acquire::' "$file" 2>/dev/null && cp "$file" "$root/etc/apt/apt.conf.d/"
done
# What the Debian installer writes.
echo velmo-check >"$root/etc/hostname"
cat >"$root/etc/hosts" <<'EOF'
127.0.0.1	localhost
127.0.1.1	velmo-check

# The following lines are desirable for IPv6 capable hosts
::1     localhost ip6-localhost ip6-loopback
ff02::1 ip6-allnodes
ff02::2 ip6-allrouters
EOF
# No service starts in the root: the check starts what it needs itself.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"
cp "$here/check-installed.sh" "$root/check-installed.sh"

# The package and its Recommends, as `apt install ./package.deb` gives them.
start=$SECONDS
unshare -m bash -c '
    mount -t proc proc "$1/proc" && mount --rbind /dev "$1/dev" || exit 1
    chroot "$1" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
        chroot "$1" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$2"
' sh "$root" "$(basename "$deb")" >"$work/apt.log" 2>&1
apt_rc=$?
[ $apt_rc -eq 0 ] || tail -n 20 "$work/apt.log" | sed 's/^/   /'
took=$(minutes $((SECONDS - start)))
check "apt installs the package and its Recommends ($took, $(grep -c '^Setting up' "$work/apt.log") packages)" \
    test $apt_rc -eq 0
check "mosquitto came with it" test -x "$root/usr/sbin/mosquitto"

# A network and process tree of its own: port 1883 is ours, and whatever the
# check leaves running ends with it.
start=$SECONDS
unshare -n -m -i -p --fork --mount-proc bash -c '
    ip link set lo up || exit 1
    mount -t proc proc "$1/proc" && mount --rbind /dev "$1/dev" || exit 1
    mount -t tmpfs -o mode=755 tmpfs "$1/run" && mount -t tmpfs -o mode=1777 tmpfs "$1/tmp" || exit 1
    chroot "$1" /bin/bash /check-installed.sh
' sh "$root" >"$work/installed.txt" 2>&1
cat "$work/installed.txt"
passed=$((passed + $(grep -c '^ok' "$work/installed.txt")))
failed=$((failed + $(grep -c '^FAIL' "$work/installed.txt")))
took=$(minutes $((SECONDS - start)))
echo "   (the installed checks took $took)"
check "the installed checks ran" grep -q 'TCP chosen, no mosquitto service' "$work/installed.txt"

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
