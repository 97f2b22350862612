#!/usr/bin/env bash
# Sets up, builds and starts the program. Until the device links can tell
# that no real mouse is there, the virtual mouse is attached (--demo), so
# the program can be tried at once.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target qv-vantorel
BIN="$BUILD/bin/qv-vantorel"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no desktop found (DISPLAY and WAYLAND_DISPLAY are unset); starting on a virtual display." >&2
  echo "run.sh: to see the windows without a desktop: $BIN --screenshot main.png --window main-mouse" >&2
  exec xvfb-run -a "$BIN" --demo "$@"
fi
exec "$BIN" --demo "$@"
