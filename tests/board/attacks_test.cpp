#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "board/attacks.h"
#include "board/bitops.h"

namespace {

using namespace AttackTables;

constexpr Bitboard bit(int square) { return Bitboard(1) << square; }

// Independent reference: slides a single bit with board shifts (masking the
// file that would wrap) instead of walking file and rank coordinates.
enum Direction { North, South, East, West, NorthEast, NorthWest, SouthEast, SouthWest };

constexpr Bitboard fileA = 0x0101010101010101ULL;
constexpr Bitboard fileH = 0x8080808080808080ULL;

Bitboard shifted(Bitboard b, Direction d) {
    switch (d) {
        case North: return b << 8;
        case South: return b >> 8;
        case East: return (b & ~fileH) << 1;
        case West: return (b & ~fileA) >> 1;
        case NorthEast: return (b & ~fileH) << 9;
        case NorthWest: return (b & ~fileA) << 7;
        case SouthEast: return (b & ~fileH) >> 7;
        case SouthWest: return (b & ~fileA) >> 9;
    }
    return 0;
}

Bitboard slide(int square, Bitboard occupied, const std::vector<Direction>& directions) {
    Bitboard result = 0;
    for (Direction d : directions) {
        Bitboard b = bit(square);
        while ((b = shifted(b, d)) != 0) {
            result |= b;
            if (b & occupied) break;
        }
    }
    return result;
}

const std::vector<Direction> rookDirections = {North, South, East, West};
const std::vector<Direction> bishopDirections = {NorthEast, NorthWest, SouthEast, SouthWest};

Bitboard referenceRook(int s, Bitboard occ) { return slide(s, occ, rookDirections); }
Bitboard referenceBishop(int s, Bitboard occ) { return slide(s, occ, bishopDirections); }

class AttackTablesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initAttackTables(); }
};

// The two index forms, computed here explicitly so that one 64-bit test
// binary checks the constants of both the 64-bit and the i386 builds.
unsigned index64(Bitboard subset, Bitboard magic, int shift) {
    return unsigned((subset * magic) >> shift);
}

unsigned index32(Bitboard subset, Bitboard magic, int shift) {
    uint32_t low = uint32_t(subset) * uint32_t(magic);
    uint32_t high = uint32_t(subset >> 32) * uint32_t(magic >> 32);
    return uint32_t(low ^ high) >> shift;
}

struct MagicSet {
    const char* name;
    const Bitboard* masks;
    const Bitboard* magics;
    const int* shifts;
    int wordBits;  // 64 or 32: shift = wordBits - mask bits
    unsigned (*index)(Bitboard, Bitboard, int);
    Bitboard (*reference)(int, Bitboard);
};

const MagicSet magicSets[] = {
    {"rook 64-bit", rookMask, rookMagic64, rookShift64, 64, index64, referenceRook},
    {"bishop 64-bit", bishopMask, bishopMagic64, bishopShift64, 64, index64, referenceBishop},
    {"rook 32-bit", rookMask, rookMagic32, rookShift32, 32, index32, referenceRook},
    {"bishop 32-bit", bishopMask, bishopMagic32, bishopShift32, 32, index32, referenceBishop},
};

// Every subset of every mask lands inside its slice, and two subsets share an
// index only when their attack sets agree.
TEST(MagicNumbers, NoSubsetCollidesDestructivelyInEitherIndexForm) {
    for (const MagicSet& set : magicSets) {
        for (int s = 0; s < 64; ++s) {
            const Bitboard mask = set.masks[s];
            const int bits = popCount(mask);
            ASSERT_EQ(set.shifts[s], set.wordBits - bits) << set.name << " square " << s;
            std::vector<Bitboard> seen(size_t(1) << bits);
            std::vector<bool> used(size_t(1) << bits, false);
            int collisions = 0;
            Bitboard sub = 0;
            do {
                const unsigned i = set.index(sub, set.magics[s], set.shifts[s]);
                ASSERT_LT(i, seen.size()) << set.name << " square " << s;
                const Bitboard attacks = set.reference(s, sub);
                if (used[i] && seen[i] != attacks) ++collisions;
                used[i] = true;
                seen[i] = attacks;
                sub = (sub - mask) & mask;
            } while (sub);
            EXPECT_EQ(collisions, 0) << set.name << " square " << s << std::hex
                                     << " magic 0x" << set.magics[s];
        }
    }
}

TEST(MagicNumbers, GivenValuesAndBuildSelection) {
    struct Given {
        const Bitboard* table;
        int square;
        Bitboard value;
    };
    const Given given[] = {
        {rookMagic64, A1, 0x180001420804001ULL},   {rookMagic64, B1, 0x2040200010004000ULL},
        {rookMagic64, C1, 0x6100082001001441ULL},  {rookMagic64, D1, 0x2100180420100100ULL},
        {bishopMagic64, A1, 0xda0200a428908b0ULL}, {bishopMagic64, B1, 0x203100c01007003ULL},
        {bishopMagic64, C1, 0x208080102300b24ULL}, {bishopMagic64, D1, 0x88204040600000ULL},
        {rookMagic32, A1, 0x18008450202280ULL},    {bishopMagic32, A1, 0x141840c004ea7063ULL},
    };
    for (const Given& g : given) EXPECT_EQ(g.table[g.square], g.value) << "square " << g.square;

#if defined(__x86_64__)
    EXPECT_EQ(&rookMagic[0], &rookMagic64[0]);
    EXPECT_EQ(&bishopMagic[0], &bishopMagic64[0]);
    EXPECT_EQ(&rookShift[0], &rookShift64[0]);
    EXPECT_EQ(&bishopShift[0], &bishopShift64[0]);
#endif
}

TEST(MagicNumbers, MasksAndShifts) {
    EXPECT_EQ(rookMask[A1], 0x101010101017eULL);
    EXPECT_EQ(bishopMask[A1], 0x40201008040200ULL);
    EXPECT_EQ(rookMask[D4], 0x8080876080800ULL);

    // A mask is the empty-board attack set without the squares on the board
    // edge that lie beyond it on each ray.
    for (int s = 0; s < 64; ++s) {
        const int file = fileOf(s), rank = rankOf(s);
        Bitboard rookEdges = 0;
        if (file != 0) rookEdges |= fileA;
        if (file != 7) rookEdges |= fileH;
        if (rank != 0) rookEdges |= 0xffULL;
        if (rank != 7) rookEdges |= 0xffULL << 56;
        EXPECT_EQ(rookMask[s], referenceRook(s, 0) & ~rookEdges) << s;
        const Bitboard border = fileA | fileH | 0xffULL | 0xffULL << 56;
        EXPECT_EQ(bishopMask[s], referenceBishop(s, 0) & ~border) << s;
    }

    // Shifts by square class: corners, other edge squares, inside.
    EXPECT_EQ(rookShift64[A1], 52);
    EXPECT_EQ(rookShift64[H8], 52);
    EXPECT_EQ(rookShift64[E1], 53);
    EXPECT_EQ(rookShift64[D4], 54);
    EXPECT_EQ(bishopShift64[D4], 55);
    EXPECT_EQ(bishopShift64[E5], 55);
    EXPECT_EQ(bishopShift64[B1], 59);
    EXPECT_EQ(rookShift32[A1], 20);
    EXPECT_EQ(bishopShift32[D4], 23);
}

TEST_F(AttackTablesTest, SlicesAreContiguousInSquareOrder) {
    size_t rookOffset = 0, bishopOffset = 0;
    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(rookAttackSlice[s], rookAttackTable + rookOffset) << s;
        EXPECT_EQ(bishopAttackSlice[s], bishopAttackTable + bishopOffset) << s;
        rookOffset += size_t(1) << popCount(rookMask[s]);
        bishopOffset += size_t(1) << popCount(bishopMask[s]);
    }
    EXPECT_EQ(rookOffset, sizeof rookAttackTable / sizeof rookAttackTable[0]);
    EXPECT_EQ(bishopOffset, sizeof bishopAttackTable / sizeof bishopAttackTable[0]);
}

TEST_F(AttackTablesTest, ListedEdgeCases) {
    struct Case {
        const char* what;
        Bitboard actual;
        Bitboard expected;
    };
    const Case cases[] = {
        {"rook a1 empty", rookAttacks(A1, 0), 0x1010101010101feULL},
        {"bishop a1 empty", bishopAttacks(A1, 0), 0x8040201008040200ULL},
        {"rook a1 blocker a3", rookAttacks(A1, bit(A3)), bit(A2) | bit(A3) | 0xfeULL},
        {"queen d4 empty", queenAttacks(D4, 0), referenceRook(D4, 0) | referenceBishop(D4, 0)},
        {"between a1 h8", between[A1][H8],
         bit(B2) | bit(C3) | bit(D4) | bit(E5) | bit(F6) | bit(G7)},
        {"between h8 a1", between[H8][A1],
         bit(B2) | bit(C3) | bit(D4) | bit(E5) | bit(F6) | bit(G7)},
        {"between a1 b3", between[A1][B3], 0},
        {"between e1 e1", between[E1][E1], 0},
        {"between e1 e2", between[E1][E2], 0},
        {"between a1 a8", between[A1][A8], 0x0001010101010100ULL},
        {"between h1 a8", between[H1][A8], bit(G2) | bit(F3) | bit(E4) | bit(D5) | bit(C6) | bit(B7)},
        {"white pawn a2", pawnAttacks[White][A2], bit(B3)},
        {"black pawn h7", pawnAttacks[Black][H7], bit(G6)},
        {"white pawn e1", pawnAttacks[White][E1], bit(D2) | bit(F2)},
        {"white pawn e8", pawnAttacks[White][E8], 0},
        {"black pawn e8", pawnAttacks[Black][E8], bit(D7) | bit(F7)},
        {"black pawn e1", pawnAttacks[Black][E1], 0},
        {"knight a1", knightAttacks[A1], bit(B3) | bit(C2)},
        {"king h8", kingAttacks[H8], bit(G8) | bit(G7) | bit(H7)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;

    const Bitboard blocked = rookAttacks(A1, bit(A3));
    EXPECT_TRUE(blocked & bit(A3));
    EXPECT_FALSE(blocked & bit(A4));
}

TEST_F(AttackTablesTest, SlidersMatchRayWalkOnRandomOccupancies) {
    std::mt19937_64 random(20240611);
    for (int s = 0; s < 64; ++s) {
        for (int n = 0; n < 600; ++n) {
            // Vary the density from sparse to nearly full.
            Bitboard occ = random();
            for (int k = n % 4; k > 0; --k) occ &= random();
            if (n % 5 == 4) occ |= random();
            ASSERT_EQ(rookAttacks(s, occ), referenceRook(s, occ)) << s << std::hex << " " << occ;
            ASSERT_EQ(bishopAttacks(s, occ), referenceBishop(s, occ)) << s << std::hex << " " << occ;
            ASSERT_EQ(queenAttacks(s, occ), referenceRook(s, occ) | referenceBishop(s, occ)) << s;
        }
    }
}

TEST_F(AttackTablesTest, LeapersLinesAndBetweenMatchGeometry) {
    for (int a = 0; a < 64; ++a) {
        EXPECT_EQ(squareBit[a], bit(a));
        Bitboard knight = 0, king = 0, whitePawn = 0, blackPawn = 0, diag = 0, anti = 0;
        for (int c = 0; c < 64; ++c) {
            const int df = fileOf(c) - fileOf(a), dr = rankOf(c) - rankOf(a);
            const int adf = std::abs(df), adr = std::abs(dr);
            if (adf * adr == 2) knight |= bit(c);
            if (std::max(adf, adr) == 1) king |= bit(c);
            if (adf == 1 && dr == 1 && rankOf(a) < 7) whitePawn |= bit(c);
            if (adf == 1 && dr == -1 && rankOf(a) > 0) blackPawn |= bit(c);
            if (df == dr) diag |= bit(c);
            if (df == -dr) anti |= bit(c);
        }
        EXPECT_EQ(knightAttacks[a], knight) << a;
        EXPECT_EQ(kingAttacks[a], king) << a;
        EXPECT_EQ(pawnAttacks[White][a], whitePawn) << a;
        EXPECT_EQ(pawnAttacks[Black][a], blackPawn) << a;
        EXPECT_EQ(diagonalA1H8[a], diag) << a;
        EXPECT_EQ(diagonalH1A8[a], anti) << a;

        for (int b = 0; b < 64; ++b) {
            // c lies strictly between a and b on a shared line: collinear,
            // on the segment's inside, and the line is a rank, file or diagonal.
            const int bf = fileOf(b) - fileOf(a), br = rankOf(b) - rankOf(a);
            const bool line = bf == 0 || br == 0 || std::abs(bf) == std::abs(br);
            Bitboard expected = 0;
            for (int c = 0; line && c < 64; ++c) {
                const int cf = fileOf(c) - fileOf(a), cr = rankOf(c) - rankOf(a);
                const int cross = cf * br - cr * bf, dot = cf * bf + cr * br;
                if (cross == 0 && dot > 0 && dot < bf * bf + br * br) expected |= bit(c);
            }
            ASSERT_EQ(between[a][b], expected) << a << " " << b;
        }
    }
}

// A build writes every table to the same contents, even over scribbled
// memory (unused slice entries included).
TEST_F(AttackTablesTest, RebuildingGivesTheSameTables) {
    std::vector<Bitboard> rook(rookAttackTable, rookAttackTable + 102400);
    std::vector<Bitboard> bishop(bishopAttackTable, bishopAttackTable + 5248);
    std::vector<Bitboard> betweenCopy(&between[0][0], &between[0][0] + 64 * 64);
    std::vector<Bitboard> knights(knightAttacks, knightAttacks + 64);

    std::memset(rookAttackTable, 0xa5, sizeof rookAttackTable);
    std::memset(bishopAttackTable, 0xa5, sizeof bishopAttackTable);
    std::memset(between, 0xa5, sizeof between);
    std::memset(knightAttacks, 0xa5, sizeof knightAttacks);
    buildAttackTables();

    EXPECT_EQ(0, std::memcmp(rook.data(), rookAttackTable, sizeof rookAttackTable));
    EXPECT_EQ(0, std::memcmp(bishop.data(), bishopAttackTable, sizeof bishopAttackTable));
    EXPECT_EQ(0, std::memcmp(betweenCopy.data(), between, sizeof between));
    EXPECT_EQ(0, std::memcmp(knights.data(), knightAttacks, sizeof knightAttacks));
}

// Once built, the tables are never written again: an engine initialised while
// another one searches (protocol handshakes, processes that run many engines)
// leaves what that search reads alone. Marked entries show any rewrite.
TEST_F(AttackTablesTest, LaterCallsWriteNothing) {
    Bitboard* const entries[] = {&rookAttackTable[0], &bishopAttackTable[0], &knightAttacks[G1],
                                 &between[A1][H8], &squareBit[E4]};
    std::vector<Bitboard> built;
    for (Bitboard* entry : entries) {
        built.push_back(*entry);
        *entry = ~*entry;
    }
    std::vector<std::thread> callers;
    for (int k = 0; k < 4; ++k) callers.emplace_back(initAttackTables);
    for (std::thread& caller : callers) caller.join();
    initAttackTables();

    for (size_t k = 0; k < built.size(); ++k) {
        EXPECT_EQ(~built[k], *entries[k]) << k;
        *entries[k] = built[k];
    }
}

// Threads that all need the tables at once each find them complete on
// return. (Run alone, as ctest runs it, this test makes the first calls of
// the process.)
TEST(AttackTablesBuild, FirstCallsFromSeveralThreadsSeeFinishedTables) {
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> users;
    for (int t = 0; t < 4; ++t)
        users.emplace_back([t, &wrong] {
            initAttackTables();
            std::mt19937_64 random(t + 1);
            for (int s = 0; s < 64; ++s)
                for (int n = 0; n < 20; ++n) {
                    const Bitboard occ = random() & random();
                    if (queenAttacks(s, occ) != (referenceRook(s, occ) | referenceBishop(s, occ)) ||
                        knightAttacks[s] == 0)
                        ++wrong[t];
                }
        });
    for (std::thread& user : users) user.join();
    EXPECT_EQ(std::vector<int>(4, 0), wrong);
}

}  // namespace
