#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Start-up (to the first paint, and to the mouse page drawn), memory and idle
# cost of qv-vantorel against a minimal Qt 6 window (the floor), a plain Qt
# window of the mouse page's size and controls (the page-sized floor) and, when
# installed, Piper and Solaar, in one run on a private Xvfb: in demo, with no
# mouse, and (with umockdev) with the mouse's receiver plugged in at start.
# Prints the medians of RUNS starts each and the ratios to the floor.
#   [APP=PROGRAM] bench/startup.sh [BUILD_DIR] [RUNS] [IDLE_SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build}")
RUNS=${2:-5}
IDLE=${3:-5}
PROBE=$BUILD/bin/vantorel_bench_startup
FLOOR=$BUILD/bin/vantorel_bench_qt_floor
# APP=...: another build's program, measured with this build's probe.
APP=${APP:-$BUILD/bin/qv-vantorel}
for f in "$PROBE" "$FLOOR" "$APP"; do
  [ -x "$f" ] || { echo "missing $f: build with -DVANTOREL_BUILD_BENCH=ON -DVANTOREL_BUILD_GUI=ON" >&2; exit 1; }
done

# A home of its own: no profiles, settings or desktop program of the user's.
SCRATCH=$(mktemp -d)
export HOME=$SCRATCH/home XDG_CONFIG_HOME=$SCRATCH/config XDG_DATA_HOME=$SCRATCH/data \
  XDG_CACHE_HOME=$SCRATCH/cache XDG_RUNTIME_DIR=$SCRATCH/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

DISPLAY_NUM=$((90 + RANDOM % 100))
# -noreset: the server would otherwise reset each time its last client leaves
# (xdpyinfo below, a program between runs), refusing whoever connects then.
Xvfb ":$DISPLAY_NUM" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB=$!
# A session bus of its own, as every desktop session has one: without it,
# the first program to ask for the bus would try to start one itself
# (dbus-launch), a cost no user pays.
# And a system bus, as every desktop has one (the machine's own when it
# runs; else a second daemon of the same kind stands in, without BlueZ on it):
# the Bluetooth LE link is reached over it.
BUS_PID=
SYSTEM_BUS_PID=
if command -v dbus-daemon >/dev/null; then
  BUS_INFO=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1 \
    --address="unix:path=$XDG_RUNTIME_DIR/bus")
  export DBUS_SESSION_BUS_ADDRESS=$(echo "$BUS_INFO" | sed -n 1p)
  BUS_PID=$(echo "$BUS_INFO" | sed -n 2p)
  if [ -z "${DBUS_SYSTEM_BUS_ADDRESS:-}" ] && [ ! -S /run/dbus/system_bus_socket ]; then
    BUS_INFO=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1 \
      --address="unix:path=$XDG_RUNTIME_DIR/system_bus")
    export DBUS_SYSTEM_BUS_ADDRESS=$(echo "$BUS_INFO" | sed -n 1p)
    SYSTEM_BUS_PID=$(echo "$BUS_INFO" | sed -n 2p)
  fi
fi
trap 'kill $XVFB $BUS_PID $SYSTEM_BUS_PID 2>/dev/null; rm -rf "$SCRATCH"' EXIT
export DISPLAY=":$DISPLAY_NUM"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break || sleep 0.1; done 2>/dev/null || sleep 1

# A spot of the mouse page at the window's first size (the "Send now"
# button) and its colour; the view for no mouse is dark there.
PAGE_PIXEL=690,520,2bb3c6

measure() {  # NAME [PROBE-OPTION...] -- PROGRAM [ARG...]
  local name=$1; shift
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done; shift
  local line
  line=$($WRAP "$PROBE" --runs "$RUNS" --settle 5 --idle "$IDLE" "${options[@]}" -- "$@") ||
    { echo "$name: failed"; return; }
  printf '%-28s %s\n' "$name" "$line"
  eval "${name//[^A-Za-z0-9]/_}_line='$line'"
}
value() { echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }

echo "machine: $(nproc) cores, $(uname -r), $(date -u +%Y-%m-%d)"
echo "runs: $RUNS, idle period: $IDLE s"
WRAP=
measure qt-floor -- "$FLOOR"
# The same for a plain Qt window of the mouse page's size and controls.
measure qt-floor-page -- "$FLOOR" --page
measure qv-vantorel-demo --page-pixel "$PAGE_PIXEL" -- "$APP" --demo
measure qv-vantorel-no-mouse -- "$APP" --no-demo
# The receiver emulated in the probe's process (umockdev), the mouse behind
# it reporting; --no-demo, so that a receiver not found shows no page.
if command -v umockdev-wrapper >/dev/null &&
  grep -q "umockdev preload" <<<"$("$PROBE" --receiver -- true 2>&1)"; then
  WRAP=umockdev-wrapper
  measure qv-vantorel-receiver --receiver --page-pixel "$PAGE_PIXEL" -- "$APP" --no-demo
  WRAP=
else
  echo "qv-vantorel-receiver: skipped (needs umockdev-wrapper and a probe built with umockdev)"
fi
command -v piper >/dev/null && measure piper -- piper
command -v solaar >/dev/null && measure solaar -- solaar --window=show

floor=$(value "$qt_floor_line" start_ms)
page_floor=$(value "${qt_floor_page_line:-}" start_ms)
for name in qv_vantorel_demo qv_vantorel_no_mouse qv_vantorel_receiver; do
  line_var="${name}_line"
  [ -n "${!line_var:-}" ] || continue
  start=$(value "${!line_var}" start_ms)
  page=$(value "${!line_var}" page_ms)
  ratios="start $(awk "BEGIN{printf \"%.1f\", $start / $floor}") x the floor"
  if [ "$name" != qv_vantorel_no_mouse ]; then
    ratios="$ratios, mouse page drawn $(awk "BEGIN{printf \"%.1f\", $page / $floor}") x"
    [ -z "$page_floor" ] || ratios="$ratios ($(awk "BEGIN{printf \"%.1f\", $page / $page_floor}") x the page-sized floor)"
  fi
  echo "$name: $ratios"
done
