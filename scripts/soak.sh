#!/bin/sh
# A long series of fast-clock games between the engine's builds, refereed move
# by move by tools/soak: UCI and XBoard, pondering on and off, 1 to 8 threads,
# random table sizes, standard and Chess960 starts. Every move is checked by
# the engine's own rules and by a separate rule book; crashes, hangs and time
# losses are counted. Not part of the tests: 1000 games take about 40 minutes.
#   sh scripts/soak.sh [games] [parallel] [options of tools/soak]
#                                              default 1000 games, 4 at a time;
#                                              e.g. --elo 1000, --reduce-speed 1000
# SOAK_BUILD names another build directory (default build), SOAK_SEED another
# series (default 1), SOAK_CORES the cores the games may share (default all).
# The summary closes the output; the exit status is 0 when no game had a fault.
set -e
cd "$(dirname "$0")/.."

games=${1:-1000}
parallel=${2:-4}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] && shift
build=${SOAK_BUILD:-build}
if [ "$build" = build ]; then
  sh scripts/setup.sh
else
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
fi
cores=${SOAK_CORES:-$(nproc 2>/dev/null || echo 2)}
exec "$build/bin/vorlix_soak" --games "$games" --parallel "$parallel" --cores "$cores" \
     --seed "${SOAK_SEED:-1}" --bin "$build/bin" "$@"
