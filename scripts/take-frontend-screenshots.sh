#!/usr/bin/env bash
# Pictures of the main window for the README, taken under Xvfb by the GUI
# test's good path (real daemon, virtual board):
#   docs/screenshots/flashing-start-datalogging.png  the window at start
#   docs/screenshots/flashing-file-loaded.png        Flashing tab, file loaded
#   docs/screenshots/service-record.png              the service record after the
#                                                    window test's updates (openbox
#                                                    draws its title bar)
# Usage: scripts/take-frontend-screenshots.sh [build-dir]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
out="$repo/docs/screenshots"
mkdir -p "$out"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/flashing" "$home/records"
cd "$build/stage/bin"
HOME="$home/flashing" TMPDIR="$home/flashing" VELMO_STAGE_DIR="$build/stage" QT_QPA_PLATFORM=xcb \
VELMO_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x900x24" "$build/tests/tst_mainwindow_flashing" goodPath
# A home of its own: the service record holds only this test's updates.
HOME="$home/records" TMPDIR="$home/records" VELMO_STAGE_DIR="$build/stage" QT_QPA_PLATFORM=xcb \
VELMO_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1400x900x24" \
  sh -c 'openbox >/dev/null 2>&1 & sleep 1; "$0"' "$build/tests/tst_mainwindow_records"
ls -l "$out"/flashing-*.png "$out"/service-record.png
