#!/bin/sh
# Runs a short benchmark on one build and compares its node total with the
# total recorded beside this script, so that any change to what the search
# visits shows up as a failure until the recorded total is changed with it.
#   bench_nodes.sh PROGRAM [LAUNCHER]
# The program is started through LAUNCHER (default: vorlix_launch beside it),
# which runs a 32-bit build under qemu-i386 where the kernel cannot run it.
# One thread and a table cleared before each position keep the total the same
# from run to run and from build to build; the depth keeps the run to a few
# seconds even emulated.
set -e
here="$(cd "$(dirname "$0")" && pwd)"
recorded_file="$here/bench_nodes.txt"
program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
launcher="${2:-$(dirname "$program")/vorlix_launch}"
launcher="$(cd "$(dirname "$launcher")" && pwd)/$(basename "$launcher")"
hash_mb=1
threads=1
depth=7
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# The benchmark ends with exit status 1 after a complete run.
status=0
out=$("$launcher" "$program" -benchmark $hash_mb $threads depth $depth </dev/null) || status=$?
echo "$out" | tail -n 3
if [ "$status" -ne 1 ]; then
  echo "the benchmark ended with exit status $status"
  exit 1
fi
nodes=$(echo "$out" | sed -n 's/^Nodes : \([0-9][0-9]*\)$/\1/p')
recorded=$(tr -d ' \n' < "$recorded_file")
if [ -z "$nodes" ]; then
  echo "the benchmark printed no node total"
  exit 1
fi
if [ "$nodes" != "$recorded" ]; then
  echo "-benchmark $hash_mb $threads depth $depth searched $nodes nodes; the recorded total is $recorded."
  echo "A change that changes the search's node counts must update the recorded total"
  echo "in $recorded_file on purpose."
  exit 1
fi
echo "benchmark node total $nodes as recorded"
