#!/usr/bin/env bash
# Pictures of the main window for the README, taken under Xvfb by the GUI
# tests (real daemon, virtual board), with openbox drawing the title bars:
#   docs/screenshots/flashing-start-datalogging.png  the window at start
#   docs/screenshots/flashing-file-loaded.png        Flashing tab, file loaded
#   docs/screenshots/flashing-erasing.png            just after Update
#   docs/screenshots/flashing-progress.png           blocks written, time left
#   docs/screenshots/flashing-verified.png           the end box: read back, board,
#                                                    file, blocks, time, retries
#   docs/screenshots/flashing-failure-reason.png     a failed update and its reason
#   docs/screenshots/flashing-file-refused.png       a file with a bad checksum
#   docs/screenshots/flashing-outside-flash-note.png a vendor file with data the
#                                                    board's flash cannot hold
#   docs/screenshots/flashing-port-hint.png          a port error and its hint
#   docs/screenshots/flashing-close-question.png     closing during an update
#   docs/screenshots/flashing-port-lost.png          the adapter pulled during an update
#   docs/screenshots/settings-port-details.png       the port list with what each port is
#   docs/screenshots/flashing-library.png            the firmware library after
#                                                    Connect
#   docs/screenshots/flashing-signed-info.png        a signed file loaded from it
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
mkdir -p "$home/flashing" "$home/records" "$home/recovery" "$home/library"
cd "$build/stage/bin"
HOME="$home/flashing" TMPDIR="$home/flashing" VELMO_STAGE_DIR="$build/stage" QT_QPA_PLATFORM=xcb \
VELMO_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x900x24" \
  sh -c 'openbox >/dev/null 2>&1 & sleep 1; "$0" goodPath "preSendCheck:bad record checksum" \
         dataOutsideTheFlashIsShown openError closeQuestionDuringUpdate failedUpdate' \
  "$build/tests/tst_mainwindow_flashing"
# The real daemon, started by the window, on the broker port it always uses:
# 1883 must be free (stop a running scripts/run.sh first).
HOME="$home/recovery" TMPDIR="$home/recovery" VELMO_STAGE_DIR="$build/stage" QT_QPA_PLATFORM=xcb \
VELMO_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x900x24" \
  sh -c 'openbox >/dev/null 2>&1 & sleep 1; "$0" unplugDuringUpdate portListShowsDetails' \
  "$build/tests/tst_mainwindow_recovery"
# A home of its own: the service record holds only this test's updates.
HOME="$home/records" TMPDIR="$home/records" VELMO_STAGE_DIR="$build/stage" QT_QPA_PLATFORM=xcb \
VELMO_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1400x900x24" \
  sh -c 'openbox >/dev/null 2>&1 & sleep 1; "$0"' "$build/tests/tst_mainwindow_records"
# The library's own home: its files and its record only.
HOME="$home/library" TMPDIR="$home/library" VELMO_STAGE_DIR="$build/stage" QT_QPA_PLATFORM=xcb \
VELMO_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x900x24" \
  sh -c 'openbox >/dev/null 2>&1 & sleep 1; "$0"' "$build/tests/tst_mainwindow_library"
ls -l "$out"/flashing-*.png "$out"/settings-port-details.png "$out"/service-record.png
