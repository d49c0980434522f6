#pragma once
// King and pawn against king: a win/draw bit for every placement, computed
// once per process by retrograde analysis.
//
// Index layout (18 bits), for the position oriented so that the pawn is
// white, moves up the board and stands on files a to d:
//   bits 0-5   square of the defending king
//   bits 6-11  square of the king of the pawn's side
//   bits 12-16 pawn index, rank index x 4 + file index (ranks 2-7 give 1-6)
//   bit 17     1 when the pawn's side is to move
// A set bit means the pawn's side wins with best play. The bit of index i is
// bit (i & 31) of word (i >> 5).

#include <cstdint>

constexpr int kpkIndexCount = 1 << 18;
constexpr int kpkWordCount = kpkIndexCount / 32;

// The 8192 words of the table; computed on the first call (thread-safe),
// read-only afterwards.
const uint32_t* kpkBitbase();

// Builds the table now instead of on first use; later calls do nothing.
void initKpkBitbase();

constexpr int kpkIndex(int strongToMove, int pawnSquare, int strongKing, int weakKing) {
    return weakKing | strongKing << 6 | ((pawnSquare >> 3) * 4 + (pawnSquare & 7)) << 12 |
           strongToMove << 17;
}

// Probe for squares already oriented as above (pawn white, files a-d). A pawn
// on its first or last rank reads the never-written draw entries.
inline bool kpkProbeOriented(int pawnSquare, int strongKing, int weakKing, bool strongToMove) {
    const int index = kpkIndex(strongToMove ? 1 : 0, pawnSquare, strongKing, weakKing);
    return (kpkBitbase()[index >> 5] >> (index & 31)) & 1;
}

// Probe from the real board: the strong side (the pawn's colour), its pawn,
// both kings and the side to move. True when the pawn's side wins.
bool kpkProbe(int strongSide, int pawnSquare, int strongKing, int weakKing, int sideToMove);
