// The position record: fixed key values (opening books depend on them), the
// start position, and the castling geometry that set-up derives.

#include <gtest/gtest.h>

#include <cstring>

#include "board/position.h"
#include "eval/weights.h"

namespace {

Bitboard bit(int square) { return Bitboard(1) << square; }

struct KeyCase {
    const char* name;
    Key actual;
    Key expected;
};

TEST(ZobristKeys, ListedValues) {
    using namespace ZobristKeys;
    const KeyCase cases[] = {
        {"black pawn a1", piece[Black][Pawn][A1], 0x64d79b552a559d7fULL},
        {"white pawn a2", piece[White][Pawn][A2], 0xd361d871f4e393feULL},
        {"white pawn e2", piece[White][Pawn][E2], 0x4fec1248b5dedb65ULL},
        {"white pawn e4", piece[White][Pawn][E4], 0x61b0c87f0084129dULL},
        {"white king e1", piece[White][King][E1], 0x1a32471bd26acd7aULL},
        {"black king e8", piece[Black][King][E8], 0xe2b35bf615038253ULL},
        {"castling 1", castling[1], 0x71fddf9ef5b5def6ULL},
        {"castling 2", castling[2], 0xd4d61614cc333541ULL},
        {"castling 4", castling[4], 0xd08a0694cd7f72a7ULL},
        {"castling 8", castling[8], 0x686cfe3ea1889281ULL},
        {"castling 15", castling[15], 0x1dcd312055710b91ULL},
        {"en passant a", enPassant[1], 0x9052fed81a8ca4faULL},
        {"en passant e", enPassant[5], 0x8c9a454af9e09984ULL},
        {"en passant h", enPassant[8], 0x446ed5203696abacULL},
        {"side", side, 0xf039404e0dd3333fULL},
    };
    for (const KeyCase& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(ZobristKeys, TableShape) {
    using namespace ZobristKeys;
    // Rows of type 0 and 7 are zero, so piece[black][pawn][a1] is the first
    // non-zero entry in memory order.
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < 64; ++s) {
            EXPECT_EQ(piece[c][NoPiece][s], 0u);
            EXPECT_EQ(piece[c][7][s], 0u);
            for (int t = Pawn; t <= King; ++t) EXPECT_NE(piece[c][t][s], 0u);
        }
    }
    EXPECT_EQ(castling[0], 0u);
    EXPECT_EQ(enPassant[0], 0u);
    for (int a = 0; a < 16; ++a)
        for (int b = 0; b < 16; ++b) EXPECT_EQ(castling[a ^ b], castling[a] ^ castling[b]) << a << " " << b;
}

TEST(PositionSetup, StartPositionValues) {
    Position pos;
    pos.clear();
    pos.setStartPosition();
    EXPECT_EQ(pos.materialSignature, 0x0001222800012228ULL);
    EXPECT_EQ(pos.phase[White], 12);
    EXPECT_EQ(pos.phase[Black], 12);
    EXPECT_EQ(pos.material[White], startMaterial);
    EXPECT_EQ(pos.material[Black], startMaterial);

    Key key = ZobristKeys::castling[15], pawnKey = 0;
    for (int s = 0; s < 64; ++s) {
        const int v = startBoard[s];
        if (!v) continue;
        const int c = v > 0 ? White : Black, t = v > 0 ? v : -v;
        key ^= ZobristKeys::piece[c][t][s];
        if (t == Pawn) pawnKey ^= ZobristKeys::piece[c][t][s];
    }
    EXPECT_EQ(pos.key, key);
    EXPECT_EQ(pos.pawnKey, pawnKey);
    EXPECT_EQ(pos.occupied, 0xffff00000000ffffULL);
    EXPECT_EQ(pos.byColor[White], 0xffffULL);
    EXPECT_EQ(pos.castleEmptyMask[ShortWing][White], bit(F1) | bit(G1));
    EXPECT_EQ(pos.castleEmptyMask[LongWing][Black], bit(B8) | bit(C8) | bit(D8));
}

TEST(PositionSetup, StartPositionEqualsSetupOfStartBoard) {
    Position direct, general;
    direct.clear();
    general.clear();
    direct.setStartPosition();
    general.setup(startBoard, White, 15, 0, 0);
    EXPECT_EQ(0, std::memcmp(&direct, &general, sizeof(Position)));
}

TEST(PositionSetup, KeepsChess960AndOwnerClearZeroesThem) {
    Position pos;
    pos.clear();
    pos.chess960 = 1;
    pos.owner = reinterpret_cast<SearchThread*>(&pos);
    pos.setup(startBoard, Black, 15, 0, 0);
    EXPECT_EQ(pos.chess960, 1);
    EXPECT_EQ(pos.owner, reinterpret_cast<SearchThread*>(&pos));
    pos.setStartPosition();
    EXPECT_EQ(pos.chess960, 1);
    EXPECT_NE(pos.owner, nullptr);
    pos.clear();
    EXPECT_EQ(pos.chess960, 0);
    EXPECT_EQ(pos.owner, nullptr);
    EXPECT_EQ(pos.key, 0u);
}

TEST(PositionSetup, ValuesOutsidePieceRangeLeaveSquaresEmpty) {
    int8_t board[64] = {};
    board[E1] = King;
    board[E8] = -King;
    board[D4] = 7;
    board[D5] = -9;
    board[C3] = 100;
    Position pos;
    pos.clear();
    pos.setup(board, White, 0, 0, 0);
    EXPECT_EQ(pos.occupied, bit(E1) | bit(E8));
    EXPECT_EQ(pos.board[D4], 0);
    EXPECT_EQ(pos.board[D5], 0);
    EXPECT_EQ(pos.materialSignature, 0u);
}

TEST(PositionSetup, HalfmoveClockIsStoredAsASaturatedByte) {
    Position pos;
    pos.clear();
    pos.setup(startBoard, White, 15, 0, 300);
    EXPECT_EQ(pos.halfmoveClock, 255);
    pos.setup(startBoard, White, 15, 0, 99);
    EXPECT_EQ(pos.halfmoveClock, 99);
}

TEST(PositionSetup, SideKeyAndEnPassantTermAsGiven) {
    Position white, black;
    white.clear();
    black.clear();
    white.setup(startBoard, White, 15, 0, 0);
    black.setup(startBoard, Black, 15, 3, 0);
    // The en-passant term is taken as given, capturable or not.
    EXPECT_EQ(white.key ^ black.key, ZobristKeys::side ^ ZobristKeys::enPassant[3]);
    EXPECT_EQ(white.pawnKey, black.pawnKey);
}

// Castling geometry derived by setup from a sparse board.
struct CastlingCase {
    const char* name;
    int whiteKing;
    std::initializer_list<int> whiteRooks;
    int rights;
    int rookFile[2][2];  // [wing][colour], -1 outermost
    int expectedRights;  // white rights kept; black's are always kept
    int expectedKingStart;
    int expectedRookStart[2];   // [wing] for white
    Bitboard expectedMask[2];   // [wing] for white
};

const CastlingCase castlingCases[] = {
    {"chess960 king f1, rooks g1 h1: outermost rook h1", F1, {G1, H1}, WhiteShort, {{-1, -1}, {-1, -1}},
     WhiteShort, F1, {H1, A1}, {bit(G1), 0}},
    {"file-lettered right naming the inner rook g1", F1, {G1, H1}, WhiteShort, {{-1, G1}, {-1, -1}},
     WhiteShort, F1, {G1, A1}, {0, 0}},
    {"king b1, rook a1, long castling", B1, {A1}, WhiteLong, {{-1, -1}, {-1, -1}},
     WhiteLong, B1, {H1, A1}, {0, bit(C1) | bit(D1)}},
    {"king e2 loses both rights", E2, {A1, H1}, 15, {{-1, -1}, {-1, -1}},
     0, E1, {H1, A1}, {0, 0}},
    {"king h1 has no square to castle short", H1, {A1}, WhiteShort | WhiteLong, {{-1, -1}, {-1, -1}},
     WhiteLong, H1, {H1, A1}, {0, bit(B1) | bit(C1) | bit(D1) | bit(E1) | bit(F1) | bit(G1)}},
    {"no rook on the short side", E1, {A1}, WhiteShort | WhiteLong, {{-1, -1}, {-1, -1}},
     WhiteLong, E1, {H1, A1}, {0, bit(B1) | bit(C1) | bit(D1)}},
    {"named file without a rook drops the right", E1, {A1, H1}, WhiteShort | WhiteLong, {{-1, F1}, {-1, -1}},
     WhiteLong, E1, {H1, A1}, {0, bit(B1) | bit(C1) | bit(D1)}},
    {"standard chess", E1, {A1, H1}, WhiteShort | WhiteLong, {{-1, -1}, {-1, -1}},
     WhiteShort | WhiteLong, E1, {H1, A1}, {bit(F1) | bit(G1), bit(B1) | bit(C1) | bit(D1)}},
    {"chess960 king g1 rook h1 long rook b1", G1, {B1, H1}, WhiteShort | WhiteLong, {{-1, -1}, {-1, -1}},
     WhiteShort | WhiteLong, G1, {H1, B1}, {bit(F1), bit(C1) | bit(D1) | bit(E1) | bit(F1)}},
};

TEST(PositionSetup, CastlingGeometry) {
    for (const CastlingCase& c : castlingCases) {
        SCOPED_TRACE(c.name);
        int8_t board[64] = {};
        board[c.whiteKing] = King;
        for (int r : c.whiteRooks) board[r] = Rook;
        board[E8] = -King;
        board[A8] = -Rook;
        board[H8] = -Rook;
        const int rights = c.rights | BlackShort | BlackLong;
        Position pos;
        pos.clear();
        pos.setup(board, White, rights, 0, 0, c.rookFile);
        EXPECT_EQ(pos.castlingRights, c.expectedRights | BlackShort | BlackLong);
        EXPECT_EQ(pos.kingStart[White], c.expectedKingStart);
        EXPECT_EQ(pos.rookStart[ShortWing][White], c.expectedRookStart[ShortWing]);
        EXPECT_EQ(pos.rookStart[LongWing][White], c.expectedRookStart[LongWing]);
        EXPECT_EQ(pos.castleEmptyMask[ShortWing][White], c.expectedMask[ShortWing]);
        EXPECT_EQ(pos.castleEmptyMask[LongWing][White], c.expectedMask[LongWing]);
        EXPECT_EQ(pos.castleEmptyMask[ShortWing][Black], bit(F8) | bit(G8));
        const Key expectedKey = ZobristKeys::castling[pos.castlingRights];
        Key pieceKeys = 0;
        for (int s = 0; s < 64; ++s)
            if (board[s])
                pieceKeys ^= ZobristKeys::piece[board[s] > 0 ? White : Black][board[s] > 0 ? board[s] : -board[s]][s];
        EXPECT_EQ(pos.key, pieceKeys ^ expectedKey);
    }
}

TEST(PositionSetup, BlackKingOffBackRankLosesBlackRights) {
    int8_t board[64] = {};
    board[E1] = King;
    board[H1] = Rook;
    board[E7] = -King;
    board[H8] = -Rook;
    Position pos;
    pos.clear();
    pos.setup(board, Black, 15, 0, 0);
    EXPECT_EQ(pos.castlingRights, WhiteShort);
    EXPECT_EQ(pos.kingStart[Black], E8);
    EXPECT_EQ(pos.castleEmptyMask[ShortWing][Black], 0u);
    EXPECT_EQ(pos.castleEmptyMask[LongWing][Black], 0u);
}

}  // namespace
