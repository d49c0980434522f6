#pragma once
// The referee's board: every move is checked twice, against the engine
// library's own legal move generator and against the independent 0x88
// checker, and at every position the two generators must agree on the whole
// list of legal moves.

#include <string>
#include <vector>

#include "board/position.h"
#include "rules88.h"

namespace soak {

class RefereeBoard {
public:
    enum class Verdict { Legal, Illegal, OnlyEngineRules, OnlyIndependentRules };

    // The standard start, or a shuffled back rank written in Chess960
    // notation (castling as the king taking its rook).
    void start(const int backRank[8], bool chess960);
    Verdict play(const std::string& move);

    // Game over: the reason ("mate", "stalemate", "fifty moves",
    // "repetition", "material") and the winner (1 white, 0 black, -1 draw);
    // empty while the game goes on.
    std::string ending(int& winner) const;

    // Where the two generators disagree on the current position, or empty.
    std::string generatorDifference();

    std::string startFen() const { return firstFen; }
    std::string fen() const { return independent.fen(); }
    const std::vector<std::string>& moves() const { return played; }
    std::string moveText() const;  // the moves played, separated by blanks
    const Board88& rules() const { return independent; }
    int plies() const { return int(played.size()); }

private:
    std::vector<std::string> engineRulesMoves();

    Board88 independent;
    Position position;
    std::vector<std::string> played;
    std::vector<std::string> repetitionKeys;
    std::string firstFen;
};

}  // namespace soak
