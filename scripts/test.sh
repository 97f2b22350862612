#!/usr/bin/env bash
# Sets up, builds and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh

BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_WERROR=ON -DVANTOREL_BUILD_BENCH=ON
cmake --build "$BUILD"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j2
