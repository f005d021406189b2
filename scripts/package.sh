#!/usr/bin/env bash
# Builds the Debian package build/velmo-service-tool_<version>_<arch>.deb:
# installs missing Debian packages, builds into build/ as scripts/run.sh
# does, then lets CPack pack the install rules (stripped, Depends from the
# linked libraries). Prints the package's path as its last line.
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
  -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"
# An older package of another version would be picked up by the check.
rm -f "$build"/velmo-service-tool_*.deb
(cd "$build" && cpack -G DEB --config CPackConfig.cmake) >"$build/cpack.log" 2>&1 || {
  cat "$build/cpack.log" >&2
  exit 1
}
deb=$(ls "$build"/velmo-service-tool_*.deb)
if [ $check -eq 1 ]; then
  bash "$root/tests/dist/check-package.sh" "$deb"
fi
echo "$deb"
