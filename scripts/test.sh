#!/bin/sh
# Runs every test: the unit tests and deliverable checks on the release build,
# the unit tests once under AddressSanitizer and UndefinedBehaviorSanitizer,
# and once more under ThreadSanitizer (all of them, so that every test that
# starts or stops a thread, or drives the program through its input thread,
# runs there without a list to keep), a short run of every fuzz target, and a
# few Chess960 games between two engine processes under the real XBoard GUI.
# The 32-bit builds run natively, or under qemu-i386 where the kernel cannot
# run them or VORLIX_EMULATE_X86=1 asks for it; the output says which.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

if [ "$(build/bin/vorlix_launch --way build/bin/vorlix-x86-static)" = emulated ]; then
  echo "== the 32-bit x86 builds run emulated, under qemu-i386"
else
  echo "== the 32-bit x86 builds run natively"
fi

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
cmake --build build-tsan -j "$jobs"
# setarch -R: ThreadSanitizer needs the classic address-space layout on kernels
# with high mmap randomisation; the tests and the programs they start inherit it.
(cd build-tsan && VORLIX_PERFT_MAX_NODES=200000 setarch "$(uname -m)" -R ctest -j "$jobs" --output-on-failure)

echo "== fuzz targets, short run"
FUZZ_PARALLEL=${FUZZ_PARALLEL:-$jobs} sh scripts/fuzz.sh 15

echo "== Chess960 games under the XBoard GUI, two engine processes"
sh scripts/xboard_series.sh 4
