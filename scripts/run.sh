#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Sets up, builds and starts the program. When no receiver, cable or
# Bluetooth mouse is found at start, the program attaches its virtual mouse by
# itself, so it can be tried at once (pass --demo to force that).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_BUILD_GUI=ON -DVANTOREL_BUILD_DEVICE=ON >/dev/null
cmake --build "$BUILD" --target qv-vantorel
BIN="$BUILD/bin/qv-vantorel"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no desktop found (DISPLAY and WAYLAND_DISPLAY are unset); starting on a virtual display." >&2
  echo "run.sh: to see the windows without a desktop: $BIN --screenshot main.png --window main-mouse" >&2
  exec xvfb-run -a "$BIN" "$@"
fi
exec "$BIN" "$@"
