#include "eval/endgame.h"

#include <cstdlib>

#include "board/bitops.h"
#include "board/position.h"
#include "eval/kpk.h"
#include "eval/weights.h"

// Symmetric top to bottom, so the same table serves either colour.
const int mateCorner[64] = {
    80, 70, 60, 50, 50, 60, 70, 80,
    70, 60, 40, 30, 30, 40, 60, 70,
    60, 40, 20, 10, 10, 20, 40, 60,
    50, 30, 10,  0,  0, 10, 30, 50,
    50, 30, 10,  0,  0, 10, 30, 50,
    60, 40, 20, 10, 10, 20, 40, 60,
    70, 60, 40, 30, 30, 40, 60, 70,
    80, 70, 60, 50, 50, 60, 70, 80,
};

namespace {

int kingDistance(int a, int b) {
    const int df = std::abs(fileOf(a) - fileOf(b));
    const int dr = std::abs(rankOf(a) - rankOf(b));
    return df > dr ? df : dr;
}

// Shorthand for the endings of the table: counts of pawns, knights,
// bishops, rooks and queens for white, then for black.
constexpr uint64_t sig(int wp, int wn, int wb, int wr, int wq, int bp, int bn, int bb, int br,
                       int bq) {
    return materialSignatureOf(wp, wn, wb, wr, wq, bp, bn, bb, br, bq);
}

// Score from the side to move of an ending the strong side wins by `score`.
int fromSideToMove(const Position& position, int strongSide, int score) {
    return position.sideToMove == strongSide ? score : -score;
}

int kpkScore(const Position& position, int strongSide) {
    const int pawn = lowestBit(position.pieces[strongSide][Pawn]);
    if (!kpkProbe(strongSide, pawn, position.kingSquare[strongSide],
                  position.kingSquare[strongSide ^ 1], position.sideToMove))
        return 0;
    const int relativeRank = strongSide == White ? rankOf(pawn) : 7 - rankOf(pawn);
    return fromSideToMove(position, strongSide, pieceValue[Pawn] + 8 * relativeRank);
}

// Lone rook or queen: push the defending king to a corner, bring the kings
// together.
int mateScore(const Position& position, int strongSide, int pieceType) {
    const int weakKing = position.kingSquare[strongSide ^ 1];
    const int score = mateCorner[weakKing] + pieceValue[pieceType] +
                      kingProximity[kingDistance(weakKing, position.kingSquare[strongSide])];
    return fromSideToMove(position, strongSide, score);
}

}  // namespace

bool probeEndgame(const Position& position, int& finalScore, int& scale) {
    scale = FullScale;
    const bool noPawns = (position.pieces[White][Pawn] | position.pieces[Black][Pawn]) == 0;
    if (noPawns && position.material[White] + position.material[Black] <= pieceValue[Bishop]) {
        finalScore = 0;
        return true;
    }

    switch (position.materialSignature) {
    case sig(0, 0, 0, 0, 0, 0, 2, 0, 0, 0):
    case sig(0, 2, 0, 0, 0, 0, 0, 0, 0, 0):
    case sig(0, 1, 0, 0, 0, 0, 1, 0, 0, 0):
    case sig(0, 1, 0, 0, 0, 0, 0, 1, 0, 0):
    case sig(0, 0, 1, 0, 0, 0, 1, 0, 0, 0):
    case sig(0, 0, 1, 0, 0, 0, 0, 1, 0, 0):
        finalScore = 0;
        return true;

    case sig(1, 0, 0, 0, 0, 0, 0, 0, 0, 0):
        finalScore = kpkScore(position, White);
        return true;
    case sig(0, 0, 0, 0, 0, 1, 0, 0, 0, 0):
        finalScore = kpkScore(position, Black);
        return true;

    case sig(0, 0, 0, 1, 0, 0, 0, 0, 0, 0):
        finalScore = mateScore(position, White, Rook);
        return true;
    case sig(0, 0, 0, 0, 0, 0, 0, 0, 1, 0):
        finalScore = mateScore(position, Black, Rook);
        return true;
    case sig(0, 0, 0, 0, 1, 0, 0, 0, 0, 0):
        finalScore = mateScore(position, White, Queen);
        return true;
    case sig(0, 0, 0, 0, 0, 0, 0, 0, 0, 1):
        finalScore = mateScore(position, Black, Queen);
        return true;

    case sig(0, 1, 0, 0, 0, 1, 0, 0, 0, 0):
    case sig(0, 0, 1, 0, 0, 1, 0, 0, 0, 0):
    case sig(1, 0, 0, 0, 0, 0, 1, 0, 0, 0):
    case sig(1, 0, 0, 0, 0, 0, 0, 1, 0, 0):
    case sig(0, 1, 0, 0, 0, 0, 0, 0, 1, 0):
    case sig(0, 0, 1, 0, 0, 0, 0, 0, 1, 0):
    case sig(0, 0, 0, 1, 0, 0, 1, 0, 0, 0):
    case sig(0, 0, 0, 1, 0, 0, 0, 1, 0, 0):
        scale = 8;
        return false;

    case sig(0, 1, 0, 0, 0, 0, 0, 2, 0, 0):
    case sig(0, 0, 1, 0, 0, 0, 0, 2, 0, 0):
    case sig(0, 0, 2, 0, 0, 0, 0, 1, 0, 0):
    case sig(0, 0, 2, 0, 0, 0, 1, 0, 0, 0):
        scale = 4;
        return false;

    case sig(0, 2, 0, 0, 0, 0, 2, 0, 0, 0):
    case sig(0, 1, 0, 0, 0, 0, 1, 1, 0, 0):
    case sig(0, 1, 0, 0, 0, 0, 2, 0, 0, 0):
    case sig(0, 2, 0, 0, 0, 0, 1, 0, 0, 0):
    case sig(0, 0, 1, 0, 0, 0, 2, 0, 0, 0):
    case sig(0, 2, 0, 0, 0, 0, 0, 1, 0, 0):
    case sig(0, 0, 1, 0, 0, 0, 1, 1, 0, 0):
    case sig(0, 1, 1, 0, 0, 0, 0, 1, 0, 0):
    case sig(0, 1, 1, 0, 0, 0, 1, 0, 0, 0):
        scale = 2;
        return false;

    default:
        return false;
    }
}
