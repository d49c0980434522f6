// Parallel search speed in one run: for each position, the depth one thread
// completes in a few seconds, then the time each thread count needs to reach
// that depth and the nodes per second of all its threads together, with both
// as ratios to one thread.
//
//   parallel_bench [--seconds S] [--depth D[,D2...]] [--positions N] [--runs R]
//                  [--threads 1,2,4,8] [--hash MB]
//
// --seconds S  one thread's search time per position that fixes its depth
//              (default 3); the depth is the last iteration one thread
//              completes within S seconds
// --depth D    search every position to D plies instead (no calibration);
//              a list D1,D2,... gives each position its own depth (the last
//              one serves the positions beyond the list)
// --positions N  use the first N positions of the built-in list (default 6)
// --runs R     searches per position for every thread count above one, whose
//              times and nodes are averaged (default 2); one thread searches
//              the same tree every time, so it runs once
// --threads L  thread counts, comma separated (default 1,2,4,8); the first
//              is the reference of the ratios
// --hash MB    transposition table size (default 256)
//
// Every search starts from a new game (an empty table) and runs through
// Engine::think with a depth limit. Lines of the result:
//   threads  time_ms  time_ratio  ratio_geo  nodes  nps  nps_ratio
// time_ratio is the thread count's total time over the reference's (lower
// is better: 0.25 at 4 threads would be a perfect speed-up), ratio_geo the
// geometric mean of the positions' own time ratios; nps_ratio is its nodes
// per second over the reference's. Ratios on a busy machine mean little: the
// system's load averages are printed at the start and at the end.
//
// Where the threads' time goes: built in a tree of its own with
//   cmake -S . -B build-prof -DCMAKE_BUILD_TYPE=Release
//         -DCMAKE_CXX_FLAGS=-DVORLIX_THREAD_PROFILE=1 (one command line)
// the bench prints after each thread count, per thread, the share of the
// search time spent searching, waiting to be booked (idle), waiting as a
// master for its helpers (mwait) and acquiring mutexes (lock); its splits,
// the threads they booked, its stints at split points and the moves taken
// there; how often it slept on its condition, the mean time from being booked
// to working, and how long its waits lasted; and the nodes per second of one
// thread while it searches.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "search/engine.h"

namespace {

// Middlegames of several kinds, then an opening and an endgame.
const char* const benchFens[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 1",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 1",
    "2q1rr1k/3bbnnp/p2p1pp1/2pPp3/PpP1P1P1/1P2BNNP/2BQ1PRK/7R b - - 0 1",
    "r1bqk2r/pp2bppp/2p5/3pP3/P2Q1P2/2N1B3/1PP3PP/R4RK1 b kq - 0 1",
    "r2q1rk1/ppp2ppp/2n1bn2/2b1p3/3pP3/3P1NPP/PPP1NPB1/R1BQ1RK1 b - - 0 1",
    "3r1k2/4npp1/1ppr3p/p6P/P2PPPP1/1NR5/5K2/2R5 w - - 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "8/5pk1/6p1/8/3R4/6P1/5PK1/1r6 w - - 0 1",
};
constexpr int benchFenCount = int(sizeof(benchFens) / sizeof(benchFens[0]));

struct Options {
    double seconds = 3.0;
    std::vector<int> depths;  // empty: calibrate
    int positions = 6;
    int runs = 2;
    int hashMb = 256;
    std::vector<int> threads = {1, 2, 4, 8};
};

class ResultListener : public SearchListener {
public:
    uint64_t nodes = 0;
    int depth = 0;
    void onSearchDone(StopState, Move, Move, int searchedDepth, int, uint64_t searched,
                      double) override {
        nodes = searched;
        depth = searchedDepth;
    }
};

THREAD_PROFILE(uint64_t profiledTicks = 0;)

struct Outcome {
    double ms = 0;
    uint64_t nodes = 0;
    int depth = 0;
};

// One search of `fen` from a new game, to `depth` plies, or for `seconds`
// when depth is 0.
Outcome searchOnce(Engine& engine, ResultListener& listener, const char* fen, int depth,
                   double seconds) {
    engine.newGame();
    if (!engine.setFen(fen)) {
        std::fprintf(stderr, "bad FEN: %s\n", fen);
        std::exit(2);
    }
    if (depth > 0) {
        engine.setLimits(Depth);
        engine.depthLimit = depth;
    } else {
        engine.setLimits(MoveTime);
        engine.moveTime = int32_t(seconds * 1e6);
    }
    Timer timer;
    timer.start();
    THREAD_PROFILE(const uint64_t begin = profileTicks(); profileSearchStart() = begin;)
    engine.think(0);
    THREAD_PROFILE(profiledTicks += profileTicks() - begin;)
    Outcome outcome;
    outcome.ms = timer.elapsed() / 1000.0;
    outcome.nodes = listener.nodes;
    outcome.depth = listener.depth;
    return outcome;
}

void printLoad(const char* when) {
    double load[3];
    if (getloadavg(load, 3) == 3)
        std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
}

std::vector<int> parseList(const char* text) {
    std::vector<int> values;
    for (const char* p = text; *p;) {
        values.push_back(std::atoi(p));
        const char* comma = std::strchr(p, ',');
        if (comma == nullptr) break;
        p = comma + 1;
    }
    return values;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; i++) {
        const std::string name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value == nullptr) {
            std::fprintf(stderr, "%s needs a value (see the head of parallel_bench.cpp)\n",
                         name.c_str());
            std::exit(2);
        }
        if (name == "--seconds")
            options.seconds = std::atof(value);
        else if (name == "--depth")
            options.depths = parseList(value);
        else if (name == "--positions")
            options.positions = std::atoi(value);
        else if (name == "--runs")
            options.runs = std::atoi(value);
        else if (name == "--hash")
            options.hashMb = std::atoi(value);
        else if (name == "--threads")
            options.threads = parseList(value);
        else {
            std::fprintf(stderr, "unknown option %s (see the head of parallel_bench.cpp)\n",
                         name.c_str());
            std::exit(2);
        }
        i++;
    }
    if (options.positions < 1) options.positions = 1;
    if (options.positions > benchFenCount) options.positions = benchFenCount;
    if (options.runs < 1) options.runs = 1;
    if (options.threads.empty()) options.threads = {1};
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    printLoad("at the start");
    auto engine = std::make_unique<Engine>();
    engine->init(options.hashMb);
    engine->inputThreadInUse = true;  // no polling of standard input
    ResultListener listener;
    listener.engine = engine.get();
    engine->listener = &listener;

    // The depth of each position.
    std::vector<int> depths;
    engine->threadPool.setThreadCount(options.threads[0]);
    for (int p = 0; p < options.positions; p++) {
        int depth = 0;
        if (!options.depths.empty())
            depth = options.depths[size_t(p) < options.depths.size() ? size_t(p)
                                                                      : options.depths.size() - 1];
        if (depth <= 0) {
            depth = searchOnce(*engine, listener, benchFens[p], 0, options.seconds).depth;
            if (depth < 1) depth = 1;
        }
        depths.push_back(depth);
    }

    std::printf("%-8s", "position");
    for (int p = 0; p < options.positions; p++) std::printf(" %8d", p + 1);
    std::printf("\n%-8s", "depth");
    for (int p = 0; p < options.positions; p++) std::printf(" %8d", depths[p]);
    std::printf("\n\ntime to depth (ms) per position, ratio to %d thread(s) below\n",
                options.threads[0]);
    std::fflush(stdout);

    std::vector<double> refMs(size_t(options.positions), 0.0);
    double refTotalMs = 0;
    double refNps = 0;
    struct Row {
        int threads;
        double ms;
        double nodes;
        double geoRatio;
    };
    std::vector<Row> rows;
    for (size_t t = 0; t < options.threads.size(); t++) {
        const int threads = options.threads[t];
        engine->threadPool.setThreadCount(threads);
        THREAD_PROFILE(profiledTicks = 0;)
        const int runs = threads == 1 ? 1 : options.runs;
        double totalMs = 0;
        double totalNodes = 0;
        std::vector<double> ms(size_t(options.positions), 0.0);
        for (int p = 0; p < options.positions; p++) {
            for (int r = 0; r < runs; r++) {
                const Outcome outcome = searchOnce(*engine, listener, benchFens[p], depths[p], 0);
                ms[size_t(p)] += outcome.ms / runs;
                totalNodes += double(outcome.nodes) / runs;
            }
            totalMs += ms[size_t(p)];
        }
        if (t == 0) {
            refMs = ms;
            refTotalMs = totalMs;
        }
        std::printf("%2d thr  ", threads);
        for (int p = 0; p < options.positions; p++) std::printf(" %8.0f", ms[size_t(p)]);
        std::printf("\n   ratio");
        double logRatios = 0;
        for (int p = 0; p < options.positions; p++) {
            const double ratio = ms[size_t(p)] / refMs[size_t(p)];
            std::printf(" %8.3f", ratio);
            logRatios += std::log(ratio);
        }
        std::printf("\n");
        std::fflush(stdout);
        rows.push_back({threads, totalMs, totalNodes, std::exp(logRatios / options.positions)});
        THREAD_PROFILE(engine->threadPool.printProfile(profiledTicks, totalNodes * runs);)
        if (t == 0) refNps = totalNodes / (totalMs / 1000.0);
    }

    std::printf("\n%7s %10s %10s %9s %13s %12s %9s\n", "threads", "time_ms", "time_ratio",
                "ratio_geo", "nodes", "nps", "nps_ratio");
    for (const Row& row : rows) {
        const double nps = row.nodes / (row.ms / 1000.0);
        std::printf("%7d %10.0f %10.3f %9.3f %13.0f %12.0f %9.2f\n", row.threads, row.ms,
                    row.ms / refTotalMs, row.geoRatio, row.nodes, nps, nps / refNps);
    }
    printLoad("at the end");
    engine->listener = &engine->nullListener;
    engine->release();
    return 0;
}
