#!/bin/sh
# Starts one deliverable and checks that it counts a perft tree correctly,
# answers the UCI handshake and exits cleanly.
#   smoke.sh PROGRAM [LAUNCHER]
# The program is started through LAUNCHER (default: vorlix_launch beside it),
# which runs a 32-bit build under qemu-i386 where the kernel cannot run it.
set -e
program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
launcher="${2:-$(dirname "$program")/vorlix_launch}"
launcher="$(cd "$(dirname "$launcher")" && pwd)/$(basename "$launcher")"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

echo "started $("$launcher" --way "$program")"

out=$("$launcher" "$program" -perft 4 </dev/null)
echo "$out"
echo "$out" | grep -qx "Nodes = 197281"

out=$(printf 'uci\nisready\nquit\n' | timeout 30 "$launcher" "$program")
echo "$out"
echo "$out" | grep -q "^Vorlix"
echo "$out" | grep -qx "uciok"
echo "$out" | grep -qx "readyok"

out=$(printf 'uci\nposition startpos moves e2e4\ngo depth 4\n' | timeout 60 "$launcher" "$program")
echo "$out" | grep -Eqx "bestmove [a-h][1-8][a-h][1-8]"
