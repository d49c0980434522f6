#!/bin/sh
# Installs what the build needs when it is missing (Debian packages), then
# configures and builds all six deliverables into build/bin. Where the kernel
# cannot run the 32-bit builds (or VORLIX_EMULATE_X86 asks for it), the tests
# run them under qemu-i386: Debian's qemu-user is installed then, without its
# recommended binfmt registration, so that no system-wide setting changes.
set -e
cd "$(dirname "$0")/.."

SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
updated=""
# apt_install [apt-get install options] packages...
apt_install() {
  echo "installing: $*"
  [ -n "$updated" ] || $SUDO apt-get update -qq
  updated=yes
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$@"
}

need=""
command -v cmake >/dev/null 2>&1 || need="$need cmake"
command -v g++ >/dev/null 2>&1 || need="$need g++"
command -v readelf >/dev/null 2>&1 || need="$need binutils"
[ -e /usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.a ] || \
  ls /usr/lib/gcc/x86_64-linux-gnu/*/32/libstdc++.a >/dev/null 2>&1 || need="$need g++-multilib"
[ -e /usr/include/gtest/gtest.h ] || need="$need libgtest-dev"
[ -e /usr/include/benchmark/benchmark.h ] || need="$need libbenchmark-dev"
[ -z "$need" ] || apt_install $need

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"

way=$(build/bin/vorlix_launch --way build/bin/vorlix-x86-static 2>/dev/null || true)
if [ "$way" = emulated ] && ! command -v qemu-i386 >/dev/null 2>&1; then
  apt_install --no-install-recommends qemu-user
fi
