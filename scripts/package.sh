#!/usr/bin/env bash
# Builds the Debian package build/velmo-service-tool_<version>_<arch>.deb as
# Debian would: dpkg-buildpackage with debhelper (debian/), so dpkg-buildflags'
# hardening applies and only what ships is built (no tests, no benchmarks).
# Installs missing Debian packages first. The sources are copied to
# build/pkg/ first: dpkg-buildpackage writes next to the source tree, and
# the build trees of scripts/run.sh and scripts/test.sh stay out of it.
# Uses ccache when it is installed. Prints the package's path as its last
# line.
#
#   scripts/package.sh           build the package
#   scripts/package.sh --check   and check it (tests/dist/check-package.sh)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VELMO_BUILD_DIR:-$root/build}
jobs=$(nproc 2>/dev/null || echo 2)

check=0
case "${1:-}" in
"") ;;
--check) check=1 ;;
-h | --help)
    sed -n '2,13p' "$0"
    exit 0
    ;;
*)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

bash "$root/scripts/install-deps.sh"

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
pkg="$build/pkg"
src="$pkg/velmo-service-tool-${version%-*}"
rm -rf "$pkg"
mkdir -p "$src"
# The sources as they stand, committed or not, without build trees.
tar -C "$root" --exclude=./.git --exclude='./build' --exclude='./build-*' -cf - . |
    tar -C "$src" -xf -

if command -v ccache >/dev/null; then
    # CMake takes its compiler launcher from these on a first configure.
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
start=$SECONDS
if ! (cd "$src" && dpkg-buildpackage -us -uc -b -j"$jobs") >"$pkg/build.log" 2>&1; then
    tail -n 60 "$pkg/build.log" >&2
    echo "dpkg-buildpackage failed; the whole log is $pkg/build.log" >&2
    exit 1
fi
echo "package built in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s" >&2

# An older package of another version would be picked up by the check.
rm -f "$build"/velmo-service-tool_*.deb
deb=$(ls "$pkg"/velmo-service-tool_"$version"_*.deb)
cp "$deb" "$build/"
deb="$build/$(basename "$deb")"
if [ $check -eq 1 ]; then
    bash "$root/tests/dist/check-package.sh" "$deb"
fi
echo "$deb"
