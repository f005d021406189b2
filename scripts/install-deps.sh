#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: does nothing when all are present; refreshes the package
# lists only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang llvm libclang-rt-dev clang-tidy
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-declarative-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libqt6sql6-sqlite
  qt6-translations-l10n
  libqt6opengl6-dev libgl-dev
  libqcustomplot-dev libmosquittopp-dev libmosquitto-dev
  mosquitto mosquitto-clients
  libxlsxwriter-dev libsodium-dev sqlite3 unzip poppler-utils
  xvfb xauth imagemagick x11-utils xdg-utils fonts-dejavu-core openbox
  adwaita-icon-theme
  socat procps psmisc
  dpkg-dev debhelper lintian desktop-file-utils appstream man-db iproute2 debootstrap
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
