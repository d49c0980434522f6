#!/bin/sh
# Installs what the build needs when it is missing (Debian packages), then
# configures and builds all six deliverables into build/bin.
set -e
cd "$(dirname "$0")/.."

need=""
command -v cmake >/dev/null 2>&1 || need="$need cmake"
command -v g++ >/dev/null 2>&1 || need="$need g++"
command -v readelf >/dev/null 2>&1 || need="$need binutils"
[ -e /usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.a ] || \
  ls /usr/lib/gcc/x86_64-linux-gnu/*/32/libstdc++.a >/dev/null 2>&1 || need="$need g++-multilib"
[ -e /usr/include/gtest/gtest.h ] || need="$need libgtest-dev"
[ -e /usr/include/benchmark/benchmark.h ] || need="$need libbenchmark-dev"
if [ -n "$need" ]; then
  echo "installing:$need"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
