#pragma once
// Shared support for the evaluation tests: positions from FEN, the built-in
// weights, a pawn hash, colour mirroring and a corpus of positions (the test
// data files plus short random walks from them).

#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "board/types.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/weights.h"

namespace eval_test {

constexpr int Infinity = 32000;

inline void ensureTables() { initAttackTables(); }

// Built-in weights, no personality, full strength, engine playing white.
inline EvalParams plainParams() {
    EvalParams params{};
    params.elo = 2700;
    params.ownColour = White;
    return params;
}

// A personality with the file defaults, with `changes` applied on top.
inline EvalParams personality(std::initializer_list<std::pair<int, int>> changes) {
    EvalParams params = plainParams();
    for (int i = 0; i < EvalParams::ValueCount; ++i) params.values[i] = personalityDefaults[i];
    for (const auto& change : changes) params.values[change.first] = change.second;
    params.loaded = true;
    return params;
}

inline bool positionFromFen(const std::string& fen, Position& position) {
    ensureTables();
    FenFields fields;
    if (!parseFen(fen.c_str(), fields)) return false;
    position.clear();
    setupFromFen(position, fields);
    return true;
}

// Signed board of a position: +type white, -type black.
inline void signedBoardOf(const Position& position, int8_t board[64]) {
    for (int s = 0; s < 64; ++s) {
        const int type = position.board[s];
        board[s] = int8_t((position.byColor[White] >> s) & 1 ? type : -type);
    }
}

// The board flipped top to bottom with the colours swapped, the other side to
// move and the castling rights exchanged between the colours.
inline Position mirrored(const Position& position) {
    int8_t board[64], flipped[64];
    signedBoardOf(position, board);
    for (int s = 0; s < 64; ++s) flipped[s ^ 56] = int8_t(-board[s]);
    const int rights = position.castlingRights;
    const int swapped = (rights & 3) << 2 | (rights >> 2 & 3);
    Position result;
    result.clear();
    result.setup(flipped, position.sideToMove ^ 1, swapped, position.epFile,
                 position.halfmoveClock);
    return result;
}

// The same pieces and side to move without castling rights, en passant or
// clock.
inline Position withoutStateFields(const Position& position) {
    int8_t board[64];
    signedBoardOf(position, board);
    Position result;
    result.clear();
    result.setup(board, position.sideToMove, 0, 0, 0);
    return result;
}

struct CorpusFen {
    std::string fen;
    bool walk;  // start random walks from it
};

// The data files' positions. The 960 start positions are much alike, so
// only every tenth of them starts walks.
inline std::vector<CorpusFen> readFens() {
    std::vector<CorpusFen> fens;
    std::string line;
    std::ifstream tricky(std::string(VORLIX_TESTDATA_DIR) + "/tricky.perft");
    while (std::getline(tricky, line))
        if (line.rfind("epd ", 0) == 0) fens.push_back({line.substr(4) + " 0 1", true});
    std::ifstream chess960(std::string(VORLIX_TESTDATA_DIR) + "/chess960.perft");
    for (int n = 0; std::getline(chess960, line);)
        if (line.rfind("epd ", 0) == 0) fens.push_back({line.substr(4) + " 0 1", n++ % 10 == 0});
    std::ifstream epd(std::string(VORLIX_TESTDATA_DIR) + "/bratko-kopec.epd");
    while (std::getline(epd, line)) {
        std::istringstream words(line);
        std::string board, side, castling, ep;
        if (words >> board >> side >> castling >> ep)
            fens.push_back({board + " " + side + " " + castling + " " + ep + " 0 1", true});
    }
    return fens;
}

// Endings, promoted material and the middle-game patterns, which the data
// files hardly reach.
inline const std::vector<std::string>& extraFens() {
    static const std::vector<std::string> fens = {
        "7k/8/8/4K3/8/8/8/R7 w - - 0 1",
        "8/P7/8/8/8/2K5/8/7k w - - 0 1",
        "2b1k3/8/8/8/8/8/8/R3K3 w - - 0 1",
        "4k3/8/8/8/8/8/6N1/2B1K3 w - - 0 1",
        "4k3/8/8/3n4/8/8/P7/4K3 b - - 0 1",
        "4k3/2n5/8/8/8/8/8/1NB1K3 w - - 0 1",
        "4k3/3p4/8/8/8/8/8/3RK3 b - - 0 1",
        "4k3/8/8/8/8/3N4/4P3/4K3 w - - 0 1",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "QQbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - 0 1",
        "rnbqkbnr/ppp1pppp/3b4/8/8/3B4/PPPPPPPP/RN1QK1NR w KQkq - 0 1",
        "4k3/Np5p/p6N/8/8/8/8/4K3 w - - 0 1",
        "4k3/B6B/1p4p1/8/8/1P4P1/b6b/4K3 w - - 0 1",
        "rk4r1/8/8/8/8/8/8/RK4R1 w - - 0 1",
        "4k1r1/R6p/8/3N4/4P3/8/P6r/4K3 w - - 0 1",
        "P3k3/8/8/8/8/8/8/4K2p w - - 0 1",
        "4k3/8/8/4p3/2P5/3P4/8/4K3 w - - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 1",
        "6k1/5ppp/8/8/8/8/5PPP/1q4K1 w - - 0 1",
    };
    return fens;
}

// Every file position and extra position, then `walks` random walks of up to
// `plies` legal moves from each, every visited position kept.
inline std::vector<Position> corpus(int walks, int plies, uint32_t seed = 12345) {
    std::vector<Position> positions;
    std::mt19937 random(seed);
    std::vector<CorpusFen> fens = readFens();
    for (const std::string& fen : extraFens()) fens.push_back({fen, true});
    for (const CorpusFen& entry : fens) {
        Position start;
        if (!positionFromFen(entry.fen, start)) continue;
        positions.push_back(start);
        for (int w = 0; entry.walk && w < walks; ++w) {
            Position position = start;
            for (int ply = 0; ply < plies; ++ply) {
                ScoredMove list[MaxMoves];
                const int count = position.generateLegalMoves(list, position.inCheck());
                if (count == 0) break;
                UndoRecord undo;
                position.makeMove(list[random() % count].move, undo);
                positions.push_back(position);
            }
        }
    }
    return positions;
}

// A pawn hash for a test, zero-filled as a new search thread's.
inline std::unique_ptr<PawnHashTable> newPawnHash() {
    std::unique_ptr<PawnHashTable> table(new PawnHashTable);
    table->clear();
    return table;
}

}  // namespace eval_test
