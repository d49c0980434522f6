// Parallel search speed: the time to search a fixed set of positions to a
// fixed depth with 1, 2, 4 and 8 threads (each position from an empty table
// and a new game), and the nodes per second of all threads together. The
// speed-up of n threads is the 1-thread time divided by the n-thread time.

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "search/engine.h"

namespace {

std::vector<std::string> benchPositions() {
    std::vector<std::string> fens = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 1",
        "8/5pk1/6p1/8/3R4/6P1/5PK1/1r6 w - - 0 1",
    };
    std::ifstream epd(std::string(VORLIX_TESTDATA_DIR) + "/bratko-kopec.epd");
    std::string line;
    while (std::getline(epd, line) && fens.size() < 12) {
        std::istringstream words(line);
        std::string board, side, castling, ep;
        if (words >> board >> side >> castling >> ep)
            fens.push_back(board + " " + side + " " + castling + " " + ep + " 0 1");
    }
    return fens;
}

class NodeCounter : public SearchListener {
public:
    uint64_t nodes = 0;
    void onSearchDone(StopState, Move, Move, int, int, uint64_t searched, double) override {
        nodes += searched;
    }
};

// Arguments: thread count, depth in plies.
void FixedDepthParallel(benchmark::State& state) {
    static const std::vector<std::string> fens = benchPositions();
    const int threads = int(state.range(0));
    const int depth = int(state.range(1));
    auto engine = std::make_unique<Engine>();
    engine->threadPool.threadCount = threads;
    engine->init(256);
    engine->inputThreadInUse = true;  // no polling of standard input
    NodeCounter counter;
    counter.engine = engine.get();
    engine->listener = &counter;

    for (auto _ : state) {
        for (const std::string& fen : fens) {
            state.PauseTiming();
            engine->newGame();
            engine->limitMode = Depth;
            engine->depthLimit = depth;
            if (!engine->setFen(fen.c_str())) {
                state.SkipWithError("bad FEN");
                return;
            }
            state.ResumeTiming();
            engine->think(0);
        }
    }
    state.counters["threads"] = threads;
    state.counters["nodes"] =
        benchmark::Counter(double(counter.nodes), benchmark::Counter::kAvgIterations);
    state.counters["nodes_per_second"] =
        benchmark::Counter(double(counter.nodes), benchmark::Counter::kIsRate);
    engine->listener = &engine->nullListener;
    engine->release();
}

// One thread searches the same tree every time; several threads do not, so
// their time is the mean of three runs.
BENCHMARK(FixedDepthParallel)
    ->Args({1, 12})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(FixedDepthParallel)
    ->ArgsProduct({{2, 4, 8}, {12}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
