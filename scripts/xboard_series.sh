#!/bin/sh
# Plays a series of Chess960 games between two engine processes under the
# real XBoard GUI (no window: a virtual X server), and fails when a game ends
# otherwise than by the rules: an illegal or refused move, a loss on time, an
# engine that dies or hangs, or fewer games than asked for.
#   sh scripts/xboard_series.sh              4 games, 3 seconds + 0.1 per move
#   sh scripts/xboard_series.sh 20 0:10 0.2  20 games, 10 seconds + 0.2 per move
# Games, the GUI's dialogue with both engines and a summary land in
# build/xboard-series/. The GUI ponders by default, so pondering is played too.
# VORLIX_ENGINE names another engine program to play (default: the release
# build's vorlix-x64-popcnt, built when missing).
set -e
cd "$(dirname "$0")/.."

games=${1:-4}
clock=${2:-0:03}
increment=${3:-0.1}

need=""
[ -x /usr/games/xboard ] || command -v xboard >/dev/null 2>&1 || need="$need xboard"
command -v xvfb-run >/dev/null 2>&1 || need="$need xvfb xauth"
if [ -n "$need" ]; then
  echo "installing:$need"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need
fi
gui=$(command -v xboard 2>/dev/null || echo /usr/games/xboard)

engine=${VORLIX_ENGINE:-$PWD/build/bin/vorlix-x64-popcnt}
if [ ! -x "$engine" ] && [ -z "$VORLIX_ENGINE" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target vorlix-x64-popcnt
fi

out=$PWD/build/xboard-series
rm -rf "$out"
mkdir -p "$out/first" "$out/second" "$out/home"
pgn=$out/games.pgn
dialogue=$out/dialogue.txt

# Settings of its own: the GUI would otherwise write its settings file into
# the user's home on exit. Each engine runs in a directory of its own,
# without a configuration file.
started=$(date +%s)
HOME=$out/home xvfb-run -a "$gui" -noGUI \
  -settingsFile "$out/home/xboardrc" -saveSettingsFile "$out/home/xboardrc" \
  -fcp "$engine" -fd "$out/first" -scp "$engine" -sd "$out/second" \
  -variant fischerandom -matchGames "$games" -tc "$clock" -inc "$increment" \
  -autoCallFlag true -popupExitMessage false \
  -saveGameFile "$pgn" -debugMode true -nameOfDebugFile "$dialogue" \
  >"$out/gui.txt" 2>&1 || true
seconds=$(( $(date +%s) - started ))

# The result comment of each game ({...} right before the result) says how it
# ended; a whitelist of endings by the rules.
awk -v expected="$games" -v seconds="$seconds" '
  /^\[Result / { played++ }
  /^\[FEN / { next }
  /^\[/ { next }
  { text = text " " $0 }
  /(1-0|0-1|1\/2-1\/2|\*)[ \t]*$/ && !/^\[/ {
    n = split(text, parts, "{")
    ending = parts[n]; sub(/}.*/, "", ending)
    endings[ending]++
    castled += gsub(/O-O/, "", text)
    if (ending !~ /[Cc]heckmate|[Ss]talemate|[Rr]epetition|50-move|[Ff]ifty|[Ii]nsufficient|mating material/)
      bad++
    text = ""
  }
  END {
    printf "games %d of %d in %d s, castlings %d\n", played, expected, seconds, castled
    for (e in endings) printf "  %3d  %s\n", endings[e], e
    if (played != expected || bad > 0) exit 1
  }' "$pgn" >"$out/summary.txt" && status=0 || status=1
[ -s "$pgn" ] || { echo "no games were saved" >>"$out/summary.txt"; status=1; }

# Refused moves and crashes show in the dialogue even when the GUI's result
# hides them.
if grep -E "Illegal move|Forfeit|invalid move|exited unexpectedly|terminated" "$dialogue" >"$out/faults.txt" 2>/dev/null; then
  echo "engine faults in the dialogue:" >>"$out/summary.txt"
  head -5 "$out/faults.txt" >>"$out/summary.txt"
  status=1
fi

cat "$out/summary.txt"
exit $status
