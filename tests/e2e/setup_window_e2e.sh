#!/usr/bin/env bash
# Drives the real setup program under Xvfb with xdotool, as a user would.
# Usage: setup_window_e2e.sh PATH_TO_PLDMelrokSetup
set -euo pipefail
program=$1
work=$(mktemp -d /tmp/melrok-e2e.XXXXXX)
fail() { echo "FAIL: $*" >&2; exit 1; }

# A private X server on a free display.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
read -r -t 20 number <"$work/display" || fail "Xvfb did not start"
export DISPLAY=:$number
unset QT_QPA_PLATFORM
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
export WINDIR=$work/windows
mkdir "$WINDIR"
ini=$WINDIR/Tessora.INI

start() {
  "$program" &
  app=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Melrok Palomir Setup$' | head -n1) ||
    fail "the window did not appear"
  sleep 0.3
}
# Clicks at a point of the window's client area (no window manager: no frame).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.2; }
edit_text() {
  click 100 106
  xdotool key ctrl+a ctrl+c
  sleep 0.2
  xclip -o -selection clipboard 2>/dev/null || true
}
wait_end() {
  local code=0
  timeout 20 tail --pid="$app" -f /dev/null || fail "the program did not end"
  wait "$app" || code=$?
  app=
  [ "$code" -eq 0 ] || fail "exit code $code"
}

# 1. It starts showing the recorded path; Set records the typed directory and ends with 0.
printf '; PLD add-on\r\n[Fitters]\r\nMelrokPM=/opt/palomir/\r\n' >"$ini"
start
shown=$(edit_text)
[ "$shown" = "/opt/palomir/Palomir.exe" ] || fail "shown '$shown'"
xdotool key ctrl+a
xdotool type --delay 5 '/srv/fitters/palomir/Palomir.exe'
click 53 148   # Set
wait_end
expected=$(printf '; PLD add-on\r\n[Fitters]\r\nMelrokPM=/srv/fitters/palomir/\r\n')
[ "$(cat "$ini")" = "$expected" ] || fail "recorded: $(cat -A "$ini")"

# 2. Cancel writes nothing.
start
click 100 106
xdotool key ctrl+a
xdotool type --delay 5 '/elsewhere/Palomir.exe'
click 261 148  # Cancel
wait_end
[ "$(cat "$ini")" = "$expected" ] || fail "Cancel changed the file: $(cat -A "$ini")"

echo "setup window end to end: 2 passed, 0 failed"
