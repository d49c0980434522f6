// Evaluations per second over a fixed corpus: the test-data positions and
// short random walks from them, each evaluated with the full window and a
// warm pawn hash, as the search sees it.

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "eval/kpk.h"
#include "eval/pawns.h"
#include "eval/weights.h"

namespace {

std::vector<std::string> corpusFens() {
    std::vector<std::string> fens;
    std::string line;
    for (const char* name : {"/tricky.perft", "/chess960.perft"}) {
        std::ifstream in(std::string(VORLIX_TESTDATA_DIR) + name);
        while (std::getline(in, line))
            if (line.rfind("epd ", 0) == 0) fens.push_back(line.substr(4) + " 0 1");
    }
    std::ifstream epd(std::string(VORLIX_TESTDATA_DIR) + "/bratko-kopec.epd");
    while (std::getline(epd, line)) {
        std::istringstream words(line);
        std::string board, side, castling, ep;
        if (words >> board >> side >> castling >> ep)
            fens.push_back(board + " " + side + " " + castling + " " + ep + " 0 1");
    }
    return fens;
}

const std::vector<Position>& corpus() {
    static const std::vector<Position> positions = [] {
        initAttackTables();
        EvalParams params{};
        initEvalWeights(params, false);
        initKpkBitbase();
        std::vector<Position> result;
        std::mt19937 random(2024);
        for (const std::string& fen : corpusFens()) {
            FenFields fields;
            if (!parseFen(fen.c_str(), fields)) continue;
            Position position;
            position.clear();
            setupFromFen(position, fields);
            result.push_back(position);
            // Walk into middle games and endings.
            for (int ply = 0; ply < 80; ++ply) {
                ScoredMove list[MaxMoves];
                const int count = position.generateLegalMoves(list, position.inCheck());
                if (count == 0) break;
                UndoRecord undo;
                position.makeMove(list[random() % count].move, undo);
                if (ply % 8 == 7) result.push_back(position);
            }
        }
        return result;
    }();
    return positions;
}

void BM_Evaluate(benchmark::State& state) {
    const std::vector<Position>& positions = corpus();
    EvalParams params{};
    params.elo = 2700;
    std::unique_ptr<PawnHashTable> pawnHash(new PawnHashTable);
    pawnHash->clear();
    int64_t evaluations = 0;
    for (auto _ : state) {
        for (const Position& position : positions)
            benchmark::DoNotOptimize(evaluate(params, position, *pawnHash, -32000, 32000));
        evaluations += int64_t(positions.size());
    }
    state.counters["evals/s"] = benchmark::Counter(double(evaluations), benchmark::Counter::kIsRate);
    state.counters["positions"] = double(positions.size());
}
BENCHMARK(BM_Evaluate);

}  // namespace

BENCHMARK_MAIN();
