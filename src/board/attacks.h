#pragma once
// Attack lookup tables and magic-bitboard slider attacks. The computed tables
// are filled once per process by initAttackTables() (engine initialisation,
// and whatever else needs a board first) and only read afterwards, by every
// thread, without locks.

#include <cstdint>

#include "board/types.h"

namespace AttackTables {

extern Bitboard squareBit[64];
extern Bitboard pawnAttacks[2][64];  // [colour][square]
extern Bitboard knightAttacks[64];
extern Bitboard kingAttacks[64];

extern const Bitboard rookMask[64];
extern const Bitboard bishopMask[64];
// Shifts and magics of both index forms are always present, so that a 64-bit
// test binary can verify the i386 tables too; the names without a suffix are
// the ones of this build's form (aliases cost nothing at run time).
extern const int rookShift64[64];  // 64 - mask bits: one 64-bit product
extern const int bishopShift64[64];
extern const Bitboard rookMagic64[64];
extern const Bitboard bishopMagic64[64];
extern const int rookShift32[64];  // 32 - mask bits: two 32-bit products
extern const int bishopShift32[64];
extern const Bitboard rookMagic32[64];
extern const Bitboard bishopMagic32[64];

#if defined(__x86_64__)
inline constexpr const int (&rookShift)[64] = rookShift64;
inline constexpr const int (&bishopShift)[64] = bishopShift64;
inline constexpr const Bitboard (&rookMagic)[64] = rookMagic64;
inline constexpr const Bitboard (&bishopMagic)[64] = bishopMagic64;
#else
inline constexpr const int (&rookShift)[64] = rookShift32;
inline constexpr const int (&bishopShift)[64] = bishopShift32;
inline constexpr const Bitboard (&rookMagic)[64] = rookMagic32;
inline constexpr const Bitboard (&bishopMagic)[64] = bishopMagic32;
#endif

extern Bitboard rookAttackTable[102400];
extern Bitboard bishopAttackTable[5248];
extern Bitboard* rookAttackSlice[64];
extern Bitboard* bishopAttackSlice[64];

extern Bitboard between[64][64];
extern Bitboard diagonalA1H8[64];
extern Bitboard diagonalH1A8[64];

constexpr Bitboard fileMask[8] = {
    0x0101010101010101ULL << 0, 0x0101010101010101ULL << 1, 0x0101010101010101ULL << 2,
    0x0101010101010101ULL << 3, 0x0101010101010101ULL << 4, 0x0101010101010101ULL << 5,
    0x0101010101010101ULL << 6, 0x0101010101010101ULL << 7,
};
constexpr Bitboard rankMask[8] = {
    0xffULL << 0,  0xffULL << 8,  0xffULL << 16, 0xffULL << 24,
    0xffULL << 32, 0xffULL << 40, 0xffULL << 48, 0xffULL << 56,
};

}  // namespace AttackTables

// Builds every computed table on the first call in the process. Every later
// call, from any thread, returns once they are built and writes nothing, so
// an engine initialised while another one searches never rewrites what the
// other reads.
void initAttackTables();

// The build itself: fills every entry of every computed table, whatever the
// memory held, with the same result each time. initAttackTables() runs it
// once; a direct call rewrites the tables and so must not overlap any reader.
void buildAttackTables();

// Index of an occupancy subset within a square's slice.
inline unsigned magicIndex(Bitboard occupancy, Bitboard magic, int shift) {
#if defined(__x86_64__)
    return unsigned((occupancy * magic) >> shift);
#else
    // 32-bit builds: two 32-bit products, shift = 32 - mask bits.
    return (uint32_t(occupancy) * uint32_t(magic) ^
            uint32_t(occupancy >> 32) * uint32_t(magic >> 32)) >> shift;
#endif
}

inline Bitboard rookAttacks(int square, Bitboard occupied) {
    using namespace AttackTables;
    return rookAttackSlice[square][magicIndex(occupied & rookMask[square], rookMagic[square],
                                              rookShift[square])];
}

inline Bitboard bishopAttacks(int square, Bitboard occupied) {
    using namespace AttackTables;
    return bishopAttackSlice[square][magicIndex(occupied & bishopMask[square],
                                                bishopMagic[square], bishopShift[square])];
}

Bitboard queenAttacks(int square, Bitboard occupied);
