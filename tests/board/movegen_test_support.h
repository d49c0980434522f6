#pragma once
// Shared support for the move-generation tests: positions from FEN, move
// text, a reference perft and the perft data files.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "board/types.h"

namespace movegen_test {

inline void ensureTables() { initAttackTables(); }

inline bool positionFromFen(const std::string& fen, Position& pos) {
    ensureTables();
    FenFields fields;
    if (!parseFen(fen.c_str(), fields))
        return false;
    pos.clear();
    setupFromFen(pos, fields);
    return true;
}

inline Position fromFen(const std::string& fen) {
    Position pos;
    if (!positionFromFen(fen, pos))
        pos.clear();
    return pos;
}

inline std::string squareText(int square) {
    return std::string(1, char('a' + fileOf(square))) + char('1' + rankOf(square));
}

// Coordinate text; castling shows the king taking its rook, as stored.
inline std::string moveText(Move move) {
    std::string text = squareText(moveFrom(move)) + squareText(moveTo(move));
    if (movePromotion(move))
        text += "0pnbrqk"[movePromotion(move)];
    return text;
}

inline std::vector<Move> movesOf(const ScoredMove* list, int count) {
    std::vector<Move> moves;
    for (int i = 0; i < count; ++i)
        moves.push_back(list[i].move);
    return moves;
}

inline std::string listText(const std::vector<Move>& moves) {
    std::string text;
    for (Move m : moves) {
        if (!text.empty())
            text += ' ';
        text += moveText(m);
    }
    return text;
}

inline std::vector<Move> pseudoLegalMoves(const Position& pos) {
    ScoredMove list[MaxMoves];
    return movesOf(list, pos.generateMoves(list, pos.inCheck()));
}

inline std::vector<Move> legalMoves(Position& pos) {
    ScoredMove list[MaxMoves];
    return movesOf(list, pos.generateLegalMoves(list, pos.inCheck()));
}

// Every pseudo-legal move of the side to move that is not an evasion shortcut:
// captures followed by quiet moves, whatever the check state.
inline std::vector<Move> capturesAndQuiets(const Position& pos) {
    ScoredMove list[MaxMoves];
    int n = pos.sideToMove == White ? pos.generateCapturesWhite(list) : pos.generateCapturesBlack(list);
    n += pos.sideToMove == White ? pos.generateQuietsWhite(list + n) : pos.generateQuietsBlack(list + n);
    return movesOf(list, n);
}

// Reference perft: every pseudo-legal move is made and kept when the mover's
// king is not attacked afterwards.
inline uint64_t perft(Position& pos, int depth) {
    ScoredMove list[MaxMoves];
    const int mover = pos.sideToMove;
    const int count = pos.generateMoves(list, pos.inCheck());
    uint64_t nodes = 0;
    for (int i = 0; i < count; ++i) {
        UndoRecord undo;
        pos.makeMove(list[i].move, undo);
        if (!pos.isAttacked(pos.kingSquare[mover], mover ^ 1))
            nodes += depth <= 1 ? 1 : perft(pos, depth - 1);
        pos.unmakeMove(list[i].move, undo);
    }
    return nodes;
}

struct PerftCase {
    std::string id;
    std::string fen;
    std::vector<std::pair<int, uint64_t>> counts;  // (depth, leaves), ascending depth
};

inline std::vector<PerftCase> readPerftFile(const std::string& path) {
    std::vector<PerftCase> cases;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "id") {
            cases.push_back(PerftCase{});
            words >> cases.back().id;
        } else if (key == "epd" && !cases.empty()) {
            std::getline(words >> std::ws, cases.back().fen);
        } else if (key == "perft" && !cases.empty()) {
            int depth = 0;
            unsigned long long leaves = 0;
            words >> depth >> leaves;
            cases.back().counts.emplace_back(depth, leaves);
        }
    }
    return cases;
}

// Positions up to two plies from every position of the tricky collection and
// the start position: thousands of boards with every kind of move.
inline const std::vector<Position>& corpusPositions() {
    static const std::vector<Position> positions = [] {
        std::vector<Position> found;
        std::vector<std::string> fens{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"};
        for (const auto& c : readPerftFile(VORLIX_TESTDATA_DIR "/tricky.perft"))
            fens.push_back(c.fen);
        for (const auto& fen : fens) {
            Position root;
            if (!positionFromFen(fen, root))
                continue;
            found.push_back(root);
            for (Move m1 : legalMoves(root)) {
                UndoRecord u1;
                root.makeMove(m1, u1);
                found.push_back(root);
                for (Move m2 : legalMoves(root)) {
                    UndoRecord u2;
                    root.makeMove(m2, u2);
                    found.push_back(root);
                    root.unmakeMove(m2, u2);
                }
                root.unmakeMove(m1, u1);
            }
        }
        return found;
    }();
    return positions;
}

// Leaf budget of the published-count tests; sanitizer runs lower it.
inline uint64_t perftNodeBudget() {
    const char* text = std::getenv("VORLIX_PERFT_MAX_NODES");
    if (text && *text) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (end && *end == '\0' && value > 0)
            return value;
    }
    return 10000000;
}

}  // namespace movegen_test
