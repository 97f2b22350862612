#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Sets up, builds and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/check_spdx.sh

# The main build is the Debian package's: dpkg-buildpackage configures build/
# (RelWithDebInfo at -Os, -Werror, the tests and the benchmarks; see
# debian/rules), builds it, runs every test with ctest (offscreen, two at a
# time) and packs it. The package is then checked by lintian, installed into
# a scratch root, started there and purged again.
DEB_BUILD_OPTIONS="parallel=2 terse vantorel-ci" ./scripts/package_check.sh
export QT_QPA_PLATFORM=offscreen

# ThreadSanitizer pass over the threaded core: the apply engine, the report
# sender, the virtual mouse, the stress test that races edits, applies
# and commits, the device faults (reader threads coming and going while
# applies run), the mouse session (its worker's news carried to the loop),
# the focus detectors (the X11 one on its own Xvfb with a stand-in window
# manager changing the focus while the detector's thread reads it and is
# stopped; the wlroots one under a headless sway, with windows from the main
# build's Qt program) and the profile switching that follows the focus.
# Only those test targets are built.
TSAN_BUILD=${TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_WERROR=ON \
  -DVANTOREL_SANITIZE=thread -DVANTOREL_BUILD_GUI=OFF -DVANTOREL_BUILD_DEVICE=OFF \
  -DVANTOREL_FOCUS_TEST_WINDOW="$PWD/build/bin/focus_test_window"
cmake --build "$TSAN_BUILD" -j2 --target apply_engine_tests device_sender_tests virtual_mouse_tests device_faults_tests \
  session_tests focus_tests auto_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir "$TSAN_BUILD" --output-on-failure -j2 \
  -R '^(ChangeDetection|ApplyEngine|ApplyStress|ReportSender|SplitPart|Links/EndToEnd|VirtualMouse|FakeReceiver|BleGattAhead|Stacks/BleGattAheadCases|FakeWiredDriver|FakeBle|DeviceFaults|Faults/DeviceFaultCases|SessionTest|DemoSessionTest|X11Focus|FocusChoice|FocusSessionRead|WlrFocus|FocusWayland|AutoSwitchRules|AppBindingsFile)'

# AddressSanitizer and UndefinedBehaviorSanitizer over the unit, device and
# GUI tests (no debug information and -O1 to keep the build short; the
# umockdev and private-bus suites run as in the main build). Warnings are
# the main build's business: GCC's analysis misfires on the instrumented
# code.
ASAN_BUILD=${ASAN_BUILD_DIR:-build-asan}
cmake -S . -B "$ASAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
  -DVANTOREL_SANITIZE=address,undefined -DVANTOREL_BUILD_GUI=ON -DVANTOREL_BUILD_DEVICE=ON -DVANTOREL_BUILD_TESTS=ON
# The umockdev suites preload their library ahead of the sanitizer's, also
# when the build lists their tests.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0
cmake --build "$ASAN_BUILD" -j2
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --test-dir "$ASAN_BUILD" --output-on-failure -j2
unset ASAN_OPTIONS

# Every fuzz target briefly, under AddressSanitizer and
# UndefinedBehaviorSanitizer, on its seed corpus (scripts/fuzz.sh runs them
# longer).
./scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
