#!/bin/sh
# Starts one deliverable and checks that it counts a perft tree correctly,
# answers the UCI handshake and exits cleanly.
set -e
program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

out=$("$program" -perft 4 </dev/null)
echo "$out"
echo "$out" | grep -qx "Nodes = 197281"

out=$(printf 'uci\nisready\nquit\n' | timeout 30 "$program")
echo "$out"
echo "$out" | grep -q "^Vorlix"
echo "$out" | grep -qx "uciok"
echo "$out" | grep -qx "readyok"

out=$(printf 'uci\nposition startpos moves e2e4\ngo depth 4\n' | timeout 60 "$program")
echo "$out" | grep -Eqx "bestmove [a-h][1-8][a-h][1-8]"
