#!/bin/sh
# Builds the libFuzzer targets (clang, address and undefined-behaviour
# sanitizers) and runs each for the given number of seconds, default 20.
#   sh scripts/fuzz.sh            short run of every target (CI)
#   sh scripts/fuzz.sh 1800       half an hour per target
#   sh scripts/fuzz.sh 600 fen_fuzz pgn_fuzz   only the named targets
# Targets run one after another unless FUZZ_PARALLEL=N runs N at once.
# Findings land in build-fuzz/findings/<target>/; the corpus that a run grows
# is kept in build-fuzz/corpus/<target>/ for the next run.
set -e
cd "$(dirname "$0")/.."

seconds=${1:-20}
[ $# -gt 0 ] && shift
parallel=${FUZZ_PARALLEL:-1}

need=""
command -v clang++ >/dev/null 2>&1 || need="$need clang"
command -v cmake >/dev/null 2>&1 || need="$need cmake"
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need="$need libclang-rt-dev"
if [ -n "$need" ]; then
  echo "installing:$need"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need
fi

build=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B $build -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
      -DVORLIX_FUZZ=ON -DVORLIX_ALL_VARIANTS=OFF -DVORLIX_TESTS=OFF -DVORLIX_BENCH=OFF >/dev/null
cmake --build $build -j "$jobs" --target fuzz_all

targets="$*"
[ -n "$targets" ] || targets=$(cd fuzz && ls *_fuzz.cpp | sed 's/\.cpp$//')

# Seeds beyond the committed ones: the shared game, EPD and perft files, one
# input per file and per line, made afresh in the build directory.
testdata=../shared/testdata
seeds=$build/seeds
rm -rf $seeds
mkdir -p $seeds/fen_fuzz $seeds/epd_fuzz $seeds/pgn_fuzz $seeds/perft_suite_fuzz
if [ -d $testdata ]; then
  for f in $testdata/*.pgn; do [ -e "$f" ] && cp "$f" $seeds/pgn_fuzz/; done
  for f in $testdata/*.epd; do [ -e "$f" ] && cp "$f" $seeds/epd_fuzz/; done
  n=0
  for f in $testdata/*.perft $testdata/*.epd; do
    [ -e "$f" ] || continue
    head -n 40 "$f" | while IFS= read -r line; do
      n=$((n + 1))
      printf '%s\n' "$line" > $seeds/perft_suite_fuzz/$(basename "$f").$n
      printf '%s' "${line%%;*}" > $seeds/fen_fuzz/$(basename "$f").$n
    done
  done
fi

run_one() {
  t=$1
  mkdir -p $build/corpus/$t $build/findings/$t
  extra=""
  [ -d fuzz/corpus/$t ] && extra="$extra fuzz/corpus/$t"
  [ -d $seeds/$t ] && extra="$extra $seeds/$t"
  if $build/bin/$t -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -close_fd_mask=1 \
       -print_final_stats=1 -artifact_prefix=$build/findings/$t/ \
       $build/corpus/$t $extra < /dev/null > $build/findings/$t.log 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' $build/findings/$t.log)
    echo "$t: ok, $runs executions in ${seconds}s"
  else
    echo "$t: FAILED (see $build/findings/$t.log)"
    grep -E "^fuzz:|ERROR|SUMMARY|runtime error" $build/findings/$t.log | head -5
    return 1
  fi
}

status=0
running=0
pids=""
for t in $targets; do
  if [ "$parallel" -gt 1 ]; then
    run_one "$t" &
    pids="$pids $!"
    running=$((running + 1))
    if [ "$running" -ge "$parallel" ]; then
      for p in $pids; do wait "$p" || status=1; done
      pids=""; running=0
    fi
  else
    run_one "$t" || status=1
  fi
done
for p in $pids; do wait "$p" || status=1; done
exit $status
