#!/bin/sh
# Runs every test: the unit tests and deliverable checks on the release build,
# the unit tests once under AddressSanitizer and UndefinedBehaviorSanitizer,
# the threaded tests under ThreadSanitizer, and a short run of every fuzz target.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

echo "== release build: unit tests and deliverables"
(cd build && ctest -j "$jobs" --output-on-failure)

echo "== address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_ALL_VARIANTS=OFF \
      -DVORLIX_BENCH=OFF -DVORLIX_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && VORLIX_PERFT_MAX_NODES=200000 ASAN_OPTIONS=detect_leaks=1 ctest -j "$jobs" --output-on-failure)

echo "== thread sanitizer"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_ALL_VARIANTS=OFF \
      -DVORLIX_BENCH=OFF -DVORLIX_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target vorlix_tests vorlix-x64-popcnt
# setarch -R: ThreadSanitizer needs the classic address-space layout on kernels
# with high mmap randomisation.
setarch "$(uname -m)" -R build-tsan/bin/vorlix_tests --gtest_filter='*Thread*:*Concurrent*:*Parallel*'

echo "== fuzz targets, short run"
FUZZ_PARALLEL=${FUZZ_PARALLEL:-$jobs} sh scripts/fuzz.sh 15
