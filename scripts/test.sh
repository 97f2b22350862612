#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Sets up, builds and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/check_spdx.sh

BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DVANTOREL_WERROR=ON -DVANTOREL_BUILD_BENCH=ON \
  -DVANTOREL_BUILD_GUI=ON -DVANTOREL_BUILD_DEVICE=ON -DVANTOREL_BUILD_TESTS=ON
cmake --build "$BUILD"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j2

# The Debian package: installed into a scratch root, checked, started, removed.
./scripts/package_check.sh "$BUILD"

# ThreadSanitizer pass over the threaded core: the apply engine, the report
# sender, the virtual mouse, the stress test that races edits, applies
# and commits, and the device faults (reader threads coming and going while
# applies run). Only those test targets are built.
TSAN_BUILD=${TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_WERROR=ON \
  -DVANTOREL_SANITIZE=thread -DVANTOREL_BUILD_GUI=OFF -DVANTOREL_BUILD_DEVICE=OFF
cmake --build "$TSAN_BUILD" -j2 --target apply_engine_tests device_sender_tests virtual_mouse_tests device_faults_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir "$TSAN_BUILD" --output-on-failure -j2 \
  -R '^(ChangeDetection|ApplyEngine|ApplyStress|ReportSender|SplitPart|Links/EndToEnd|VirtualMouse|FakeReceiver|FakeWiredDriver|FakeBle|DeviceFaults|Faults/DeviceFaultCases)'

# Every fuzz target briefly, under AddressSanitizer and
# UndefinedBehaviorSanitizer, on its seed corpus (scripts/fuzz.sh runs them
# longer).
./scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
