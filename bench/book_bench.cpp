// Book building speed: a collection made of the test-data games, read,
// resolved and counted into a book file, in games per second.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "board/attacks.h"
#include "book/opening_book.h"

namespace {

// The standard-chess test games repeated into one temporary file.
std::string makeCollection(int copies) {
    std::string games;
    for (const char* name : {"/kasparov-deep-blue-1997.pgn", "/molinari-bordais-1979.pgn",
                             "/nepomniachtchi-liren-game1.pgn", "/cutechess-fischerrandom.pgn"}) {
        std::ifstream in(std::string(VORLIX_TESTDATA_DIR) + name, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        games += all.str() + "\n\n";
    }
    std::string path = "/tmp/vorlix_book_bench_" + std::to_string(getpid()) + ".pgn";
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < copies; ++i)
        out << games;
    return path;
}

void BuildBook(benchmark::State& state) {
    initAttackTables();
    const int copies = 50;
    const int gamesPerCopy = 12;
    std::string pgn = makeCollection(copies);
    std::string book = pgn + ".bin";
    for (auto _ : state) {
        OpeningBook unused;
        benchmark::DoNotOptimize(unused.buildFromPgn(pgn, book, 20, 1));
    }
    state.counters["games/s"] = benchmark::Counter(double(copies * gamesPerCopy) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
    std::remove(pgn.c_str());
    std::remove(book.c_str());
}
BENCHMARK(BuildBook)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
