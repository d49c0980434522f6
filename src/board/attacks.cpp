#include "board/attacks.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace AttackTables {

Bitboard squareBit[64];
Bitboard pawnAttacks[2][64];
Bitboard knightAttacks[64];
Bitboard kingAttacks[64];

Bitboard rookAttackTable[102400];
Bitboard bishopAttackTable[5248];
Bitboard* rookAttackSlice[64];
Bitboard* bishopAttackSlice[64];

Bitboard between[64][64];
Bitboard diagonalA1H8[64];
Bitboard diagonalH1A8[64];

}  // namespace AttackTables

namespace {

using namespace AttackTables;

bool onBoard(int file, int rank) {
    return file >= 0 && file < 8 && rank >= 0 && rank < 8;
}

// The bit of (file, rank) when it lies on the board, else nothing: offsets
// are applied to file and rank separately so that no step wraps an edge.
Bitboard bitAt(int file, int rank) {
    return onBoard(file, rank) ? Bitboard(1) << makeSquare(file, rank) : 0;
}

// Every square reached from `square` stepping (df, dr) until the edge, or
// until and including the first square occupied in `blockers`.
Bitboard ray(int square, int df, int dr, Bitboard blockers) {
    Bitboard result = 0;
    int f = fileOf(square) + df, r = rankOf(square) + dr;
    while (onBoard(f, r)) {
        Bitboard bit = Bitboard(1) << makeSquare(f, r);
        result |= bit;
        if (blockers & bit) break;
        f += df;
        r += dr;
    }
    return result;
}

constexpr int rookSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int bishopSteps[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};

Bitboard slideAttacks(const int (&steps)[4][2], int square, Bitboard blockers) {
    Bitboard result = 0;
    for (const auto& step : steps) result |= ray(square, step[0], step[1], blockers);
    return result;
}

void initLeaperAttacks() {
    constexpr int knightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2},
                                       {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    for (int rank = 0; rank < 8; ++rank) {
        for (int file = 0; file < 8; ++file) {
            int s = makeSquare(file, rank);
            // A white pawn on rank 8 or a black one on rank 1 attacks nothing;
            // the first-rank entries stay because attack tests read the table
            // backwards (white pawns attacking s sit on pawnAttacks[Black][s]).
            pawnAttacks[White][s] = rank < 7 ? bitAt(file - 1, rank + 1) | bitAt(file + 1, rank + 1) : 0;
            pawnAttacks[Black][s] = rank > 0 ? bitAt(file - 1, rank - 1) | bitAt(file + 1, rank - 1) : 0;

            Bitboard king = 0;
            for (int dr = -1; dr <= 1; ++dr)
                for (int df = -1; df <= 1; ++df)
                    if (df || dr) king |= bitAt(file + df, rank + dr);
            kingAttacks[s] = king;

            Bitboard knight = 0;
            for (const auto& step : knightSteps) knight |= bitAt(file + step[0], rank + step[1]);
            knightAttacks[s] = knight;
        }
    }
}

void initLines() {
    for (int s = 0; s < 64; ++s) {
        diagonalA1H8[s] = squareBit[s] | ray(s, 1, 1, 0) | ray(s, -1, -1, 0);
        diagonalH1A8[s] = squareBit[s] | ray(s, -1, 1, 0) | ray(s, 1, -1, 0);
    }
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            between[a][b] = 0;
            int df = fileOf(b) - fileOf(a), dr = rankOf(b) - rankOf(a);
            bool aligned = (df == 0) != (dr == 0) || (df != 0 && std::abs(df) == std::abs(dr));
            if (!aligned) continue;
            int stepF = (df > 0) - (df < 0), stepR = (dr > 0) - (dr < 0);
            // Walk from a toward b, stopping at b itself (b is excluded).
            between[a][b] = ray(a, stepF, stepR, squareBit[b]) & ~squareBit[b];
        }
    }
}

// Fills one slider's slices in square order with the carry-rippler
// enumeration of each mask's subsets.
void initSlider(Bitboard* table, Bitboard* slices[64], const Bitboard masks[64],
                const Bitboard magics[64], const int shifts[64], const int (&steps)[4][2]) {
    Bitboard* slice = table;
    for (int s = 0; s < 64; ++s) {
        slices[s] = slice;
        const Bitboard mask = masks[s];
        Bitboard sub = 0;
        do {
            slice[magicIndex(sub, magics[s], shifts[s])] = slideAttacks(steps, s, sub);
            sub = (sub - mask) & mask;
        } while (sub);
        slice += Bitboard(1) << __builtin_popcountll(mask);
    }
}

}  // namespace

void buildAttackTables() {
    for (int s = 0; s < 64; ++s) squareBit[s] = Bitboard(1) << s;
    initLeaperAttacks();
    initLines();
    std::memset(bishopAttackTable, 0, sizeof bishopAttackTable);
    std::memset(rookAttackTable, 0, sizeof rookAttackTable);
    initSlider(bishopAttackTable, bishopAttackSlice, bishopMask, bishopMagic, bishopShift,
               bishopSteps);
    initSlider(rookAttackTable, rookAttackSlice, rookMask, rookMagic, rookShift, rookSteps);
}

void initAttackTables() {
    static std::once_flag built;
    std::call_once(built, buildAttackTables);
}

Bitboard queenAttacks(int square, Bitboard occupied) {
    return bishopAttacks(square, occupied) | rookAttacks(square, occupied);
}
