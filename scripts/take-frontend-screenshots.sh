#!/usr/bin/env bash
# Pictures of the main window for the README, taken under Xvfb by the GUI
# test's good path (real daemon, virtual board):
#   docs/screenshots/flashing-start-datalogging.png  the window at start
#   docs/screenshots/flashing-file-loaded.png        Flashing tab, file loaded
# Usage: scripts/take-frontend-screenshots.sh [build-dir]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
out="$repo/docs/screenshots"
mkdir -p "$out"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cd "$build/stage/bin"
HOME="$home" TMPDIR="$home" VELMO_STAGE_DIR="$build/stage" QT_QPA_PLATFORM=xcb \
VELMO_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x900x24" "$build/tests/tst_mainwindow_flashing" goodPath
ls -l "$out"/flashing-*.png
