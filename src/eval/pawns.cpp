#include "eval/pawns.h"

#include <new>

#include "board/bitops.h"
#include "eval/weights.h"

namespace {

using SquareMasks = std::array<std::array<Bitboard, 64>, 2>;  // [colour][square]

constexpr Bitboard bitAt(int file, int rank) {
    return (file < 0 || file > 7 || rank < 0 || rank > 7) ? 0 : Bitboard(1) << makeSquare(file, rank);
}

// Squares of the given files (f - 1 .. f + 1 selected by the flags) on the
// ranks strictly ahead of rank r for colour c. "Ahead" is up the board for
// white and down for black. Every square is built from a checked file and
// rank, so a pawn standing on its last rank (which set-up from a board
// accepts) simply gets an empty span instead of a square beyond the board.
constexpr Bitboard spanAhead(int c, int file, int rank, bool sides, bool own) {
    Bitboard span = 0;
    for (int r = 0; r < 8; ++r) {
        bool ahead = c == White ? r > rank : r < rank;
        if (!ahead) continue;
        if (own) span |= bitAt(file, r);
        if (sides) span |= bitAt(file - 1, r) | bitAt(file + 1, r);
    }
    return span;
}

// Squares on the neighbouring files at the pawn's rank or behind it.
constexpr Bitboard supportSpan(int c, int file, int rank) {
    Bitboard span = 0;
    for (int r = 0; r < 8; ++r) {
        bool notAhead = c == White ? r <= rank : r >= rank;
        if (notAhead) span |= bitAt(file - 1, r) | bitAt(file + 1, r);
    }
    return span;
}

// Squares from which an enemy pawn attacks the stop square (the square
// directly ahead); empty when the stop square lies beyond the board.
constexpr Bitboard stopSquareAttackers(int c, int file, int rank) {
    int attackerRank = c == White ? rank + 2 : rank - 2;
    return bitAt(file - 1, attackerRank) | bitAt(file + 1, attackerRank);
}

struct PawnMasks {
    SquareMasks front{};       // own file, ahead: an own pawn there makes this one doubled
    SquareMasks passedSpan{};  // own and neighbouring files, ahead: enemy pawns there stop it
    SquareMasks support{};     // neighbouring files, level or behind
    SquareMasks stopAttack{};  // enemy pawn squares attacking the stop square
    std::array<Bitboard, 8> neighbourFiles{};
};

constexpr PawnMasks buildPawnMasks() {
    PawnMasks m;
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < 64; ++s) {
            int f = fileOf(s), r = rankOf(s);
            m.front[c][s] = spanAhead(c, f, r, false, true);
            m.passedSpan[c][s] = spanAhead(c, f, r, true, true);
            m.support[c][s] = supportSpan(c, f, r);
            m.stopAttack[c][s] = stopSquareAttackers(c, f, r);
        }
    }
    for (int f = 0; f < 8; ++f)
        for (int r = 0; r < 8; ++r) m.neighbourFiles[f] |= bitAt(f - 1, r) | bitAt(f + 1, r);
    return m;
}

constexpr PawnMasks masks = buildPawnMasks();

struct SideScore {
    int mid = 0;
    int end = 0;
    Bitboard passed = 0;
};

SideScore scoreSide(int c, Bitboard own, Bitboard enemy) {
    SideScore score;
    const int row = c * 8 + Pawn;
    for (Bitboard b = own; b;) {
        const int s = popLowest(b);
        score.mid += pstMid[row][s];
        score.end += pstEnd[row][s];

        const bool isolated = (own & masks.neighbourFiles[fileOf(s)]) == 0;
        const bool passed = (enemy & masks.passedSpan[c][s]) == 0;
        const bool doubled = (own & masks.front[c][s]) != 0;

        if (doubled) {
            score.mid -= pawnDoubledMid;
            score.end -= pawnDoubledEnd;
        }
        if (isolated) {
            score.mid -= pawnIsolatedMid;
            score.end -= pawnIsolatedEnd;
        }
        if (passed) {
            // A doubled passer is left to the pawn in front of it.
            if (!doubled) score.passed |= Bitboard(1) << s;
        } else if (!isolated && (own & masks.support[c][s]) == 0 &&
                   (enemy & masks.stopAttack[c][s]) != 0) {
            score.mid -= pawnBackwardMid;
            score.end -= pawnBackwardEnd;
        }
    }
    return score;
}

}  // namespace

PawnHashEntry scorePawnStructure(Bitboard whitePawns, Bitboard blackPawns) {
    const SideScore black = scoreSide(Black, blackPawns, whitePawns);
    const SideScore white = scoreSide(White, whitePawns, blackPawns);
    return PawnHashEntry{0, black.passed, white.passed, white.mid - black.mid, white.end - black.end};
}

void PawnHashTable::clear() {
    std::memset(entries.data(), 0, sizeof(PawnHashEntry) * entries.size());
    weightsGeneration = evalWeightsGeneration();
}

bool PawnHashTable::clearIfStale() {
    if (weightsGeneration == evalWeightsGeneration()) return false;
    clear();
    return true;
}
