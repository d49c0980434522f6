// Search speed: nodes per second of a fixed-depth search as games play it
// (Engine::think under a depth limit), one thread, over a fixed set of
// positions (the Bratko-Kopec test positions and a few opening, middle-game
// and endgame positions), each searched from an empty table.
// A node is a legal move made, as the search counts them.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "search/engine.h"
#include "search/listener.h"

namespace {

std::vector<std::string> benchPositions() {
    std::vector<std::string> fens = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 1",
        "8/5pk1/6p1/8/3R4/6P1/5PK1/1r6 w - - 0 1",
    };
    std::ifstream epd(std::string(VORLIX_TESTDATA_DIR) + "/bratko-kopec.epd");
    std::string line;
    while (std::getline(epd, line)) {
        std::istringstream words(line);
        std::string board, side, castling, ep;
        if (words >> board >> side >> castling >> ep)
            fens.push_back(board + " " + side + " " + castling + " " + ep + " 0 1");
    }
    return fens;
}

// Keeps what the benchmark reads from each search.
class NodeCounter : public SearchListener {
public:
    uint64_t nodes = 0;
    Move best = NoMove;
    void onSearchDone(StopState, Move bestMove, Move, int, int, uint64_t searched, double) override {
        nodes = searched;
        best = bestMove;
    }
};

void runSearch(benchmark::State& state, int plies) {
    static const std::vector<std::string> fens = benchPositions();
    auto engine = std::make_unique<Engine>();
    engine->init(64);
    engine->inputThreadInUse = true;  // no polling of standard input
    NodeCounter counter;
    engine->listener = &counter;

    uint64_t nodes = 0;
    for (auto _ : state) {
        nodes = 0;
        for (const std::string& fen : fens) {
            state.PauseTiming();
            engine->newGame();
            engine->transpositionTable.clear();
            engine->setLimits(Depth);
            engine->depthLimit = plies;
            if (!engine->setFen(fen.c_str())) {
                state.SkipWithError("bad FEN");
                return;
            }
            state.ResumeTiming();
            engine->think(0);
            nodes += counter.nodes;
            benchmark::DoNotOptimize(counter.best);
        }
    }
    state.counters["nodes"] = double(nodes);
    state.counters["nodes_per_second"] =
        benchmark::Counter(double(nodes), benchmark::Counter::kIsIterationInvariantRate);
    engine->listener = &engine->nullListener;
    engine->release();
}

void FixedDepth8(benchmark::State& state) { runSearch(state, 8); }
void FixedDepth10(benchmark::State& state) { runSearch(state, 10); }

BENCHMARK(FixedDepth8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FixedDepth10)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
