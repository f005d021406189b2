#!/usr/bin/env bash
# Builds and runs the tool. Installs missing Debian packages first, starts a
# loopback-only mosquitto when nothing listens on 127.0.0.1:1883, and runs the
# front end from the folder that holds its data files (the front end starts
# the serial daemon itself).
#
#   scripts/run.sh            the tool, with your own preferences
#   scripts/run.sh --demo     also starts the virtual board (port name
#                             build/run-state/virtual-board), with preferences of
#                             its own (demo-home) that start on that port
#   scripts/run.sh --lang it  Italian texts and descriptions
#   scripts/run.sh --daemon   only the serial daemon, in the foreground
#   scripts/run.sh --stop     stops the broker, daemon and board started here
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VELMO_BUILD_DIR:-$root/build}
stage="$build/stage"
state="$build/run-state"

demo=0 lang="" daemon_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=1 ;;
    --lang) lang="${2:?--lang needs a language such as it}"; shift ;;
    --daemon) daemon_only=1 ;;
    --stop)
      for f in "$state"/*.pid; do
        [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null || true
        rm -f "$f"
      done
      pkill -u "$(id -u)" -x velmo-serial 2>/dev/null || true
      echo "stopped"
      exit 0 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
mkdir -p "$state"

port_open() { (exec 3<>/dev/tcp/127.0.0.1/1883) 2>/dev/null; }

if ! port_open; then
  conf="$state/mosquitto.conf"
  printf 'listener 1883 127.0.0.1\nallow_anonymous true\npersistence false\n' > "$conf"
  mosquitto -c "$conf" >"$state/mosquitto.log" 2>&1 &
  echo $! > "$state/mosquitto.pid"
  for _ in $(seq 50); do port_open && break; sleep 0.1; done
  port_open || { echo "mosquitto did not start, see $state/mosquitto.log" >&2; exit 1; }
  echo "started a loopback broker on 127.0.0.1:1883 (scripts/run.sh --stop ends it)"
fi

cd "$stage/bin"

# The installed-language code follows the translation files present here.
rm -f velmofrontend_*.qm
if [ -n "$lang" ]; then
  qm="$stage/translations/velmofrontend_$lang.qm"
  [ -f "$qm" ] || { echo "no translation $qm" >&2; exit 1; }
  cp "$qm" .
fi

if [ $daemon_only -eq 1 ] || [ ! -x ./VelmoFrontEnd ]; then
  exec ./velmo-serial
fi

if [ $demo -eq 1 ]; then
  export HOME="$build/demo-home"
  data="$HOME/AppData/Local/Calvestrid"
  mkdir -p "$data"
  if [ -f "$state/board.pid" ]; then kill "$(cat "$state/board.pid")" 2>/dev/null || true; fi
  # A daemon started for another HOME would keep its own data folder.
  pkill -u "$(id -u)" -x velmo-serial 2>/dev/null || true
  ./velmo-board-sim --pace --erase-all-from 0x800 > "$state/board.out" 2>"$state/board.log" &
  echo $! > "$state/board.pid"
  for _ in $(seq 50); do grep -q '^PORT ' "$state/board.out" 2>/dev/null && break; sleep 0.1; done
  pty=$(sed -n 's/^PORT //p' "$state/board.out" | head -n1)
  [ -n "$pty" ] || { echo "the virtual board did not start, see $state/board.log" >&2; exit 1; }
  # The pseudo-terminal changes with every start; this name does not, so
  # the port chosen (or typed) once in Setup > Configure stays right.
  link="$state/virtual-board"
  ln -sfn "$pty" "$link"
  ini="$data/VelmoFrontEnd.ini"
  # Only a new demo home is given the board's port; after that the
  # preferences belong to the settings dialog.
  if [ ! -f "$ini" ] || ! grep -q '^com=.' "$ini"; then
    printf '[serial]\ncom=%s\n' "$link" > "$ini"
  fi
  cp -f "$stage"/firmware/*.hex "$HOME/"
  echo "virtual board on $pty (port name $link); sample firmware in $HOME"
fi

exec ./VelmoFrontEnd
