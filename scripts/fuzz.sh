#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the fuzz targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for SECONDS (default 60) on a
# copy of its seed corpus (tests/fuzz/corpus/NAME). A finding stops the run
# with a non-zero status and leaves its input in the build folder. FUZZ_FLAGS
# adds libFuzzer flags (e.g. -runs=1000000 to stop after that many inputs).
# One target runs at a time, so the corpus is not re-read from the disk.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
shift || true
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTOREL_SANITIZE=address,undefined -DVANTOREL_BUILD_FUZZ=ON \
  -DVANTOREL_BUILD_GUI=OFF -DVANTOREL_BUILD_DEVICE=OFF -DVANTOREL_BUILD_TESTS=OFF >/dev/null
TARGETS=("$@")
# By default every target: one per tests/fuzz/fuzz_*.cpp.
if [ ${#TARGETS[@]} -eq 0 ]; then
  for f in tests/fuzz/fuzz_*.cpp; do TARGETS+=("$(basename "$f" .cpp)"); done
fi
cmake --build "$BUILD" -j2 --target "${TARGETS[@]}"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=detect_leaks=0
for t in "${TARGETS[@]}"; do
  work="$BUILD/corpus/$t"
  mkdir -p "$work"
  cp -n tests/fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  echo "== $t ($SECONDS_EACH s)"
  # shellcheck disable=SC2086
  if ! "$BUILD/bin/$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -reload=0 ${FUZZ_FLAGS:-} \
      -artifact_prefix="$BUILD/$t-" "$work" >"$BUILD/$t.log" 2>&1; then
    tail -n 40 "$BUILD/$t.log"
    echo "fuzz: $t found a fault; its input is in $BUILD/" >&2
    exit 1
  fi
  grep -E "^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)" "$BUILD/$t.log" || true
done
