// Perft leaves per second: every move at every ply, the last one included, is
// made, tested for the mover's king and unmade (no bulk counting), as the
// engine's own perft counts.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen_attacks.h"
#include "board/position.h"

namespace {

uint64_t perft(Position& pos, int depth) {
    ScoredMove list[MaxMoves];
    const int mover = pos.sideToMove;
    const int count = pos.generateMoves(list, kingAttacked(pos, mover));
    uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        UndoRecord undo;
        pos.makeMove(list[i].move, undo);
        if (!kingAttacked(pos, mover))
            leaves += depth <= 1 ? 1 : perft(pos, depth - 1);
        pos.unmakeMove(list[i].move, undo);
    }
    return leaves;
}

Position positionFromFen(const char* fen) {
    initAttackTables();
    FenFields fields;
    Position pos;
    pos.clear();
    if (!parseFen(fen, fields)) {
        std::fprintf(stderr, "bad FEN %s\n", fen);
        std::exit(1);
    }
    setupFromFen(pos, fields);
    return pos;
}

void runPerft(benchmark::State& state, const char* fen, int depth, uint64_t expected) {
    Position pos = positionFromFen(fen);
    uint64_t leaves = 0;
    for (auto _ : state) {
        leaves = perft(pos, depth);
        benchmark::DoNotOptimize(leaves);
    }
    if (leaves != expected)
        state.SkipWithError("wrong leaf count");
    state.counters["leaves_per_second"] =
        benchmark::Counter(double(leaves), benchmark::Counter::kIsIterationInvariantRate);
}

void StartPositionDepth6(benchmark::State& state) {
    runPerft(state, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6, 119060324);
}

void KiwipeteDepth5(benchmark::State& state) {
    runPerft(state, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5, 193690690);
}

BENCHMARK(StartPositionDepth6)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(KiwipeteDepth5)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
