// Static exchange values on small boards whose exchange is worked out by hand
// (values: pawn 100, knight and bishop 325, rook 500, queen 975, king 5000).

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/movegen_test_support.h"

namespace {

using namespace movegen_test;

struct SeeCase {
    const char* name;
    const char* fen;
    Move move;
    int expected;
};

const SeeCase seeCases[] = {
    {"PawnTakesDefendedKnight", "4k3/8/4p3/3n4/4P3/8/8/4K3 w - -", makeMove(E4, D5, Pawn, Knight), 225},
    {"QueenTakesPawnDefendedByPawn", "4k3/8/2p5/3p4/8/8/8/3QK3 w - -", makeMove(D1, D5, Queen, Pawn), -875},
    {"UndefendedPawn", "4k3/1p6/8/8/8/8/6B1/4K3 w - -", makeMove(G2, B7, Bishop, Pawn), 100},
    {"RookBehindRookFoundAsXray", "3r2k1/3r4/8/8/8/8/3R4/3RK3 w - -", makeMove(D2, D7, Rook, Rook), 500},
    {"RookTradeWithoutSecondRook", "3r2k1/3r4/8/8/8/8/3R4/4K3 w - -", makeMove(D2, D7, Rook, Rook), 0},
    {"KingMayNotRecaptureIntoAttack", "6k1/5p2/8/8/8/1B6/8/5RK1 w - -", makeMove(F1, F7, Rook, Pawn), 100},
    {"KingRecapturesWhenSafe", "6k1/5p2/8/8/8/8/8/5RK1 w - -", makeMove(F1, F7, Rook, Pawn), -400},
    {"EnPassantOpensFileBehindVictim", "3rk3/8/8/3pP3/8/8/8/3RK3 w - d6",
     EnPassantFlag | makeMove(E5, D6, Pawn, Pawn), 100},
    {"QuietMoveOntoPawnAttack", "4k3/8/8/8/4p3/8/8/4K1N1 w - -", makeMove(G1, F3, Knight), -325},
    // Black answers with the bishop before the queen; queen first would give 100.
    {"LeastValuableAttackerFirst", "3qk3/8/2b5/3p4/8/4N3/8/3RK3 w - -", makeMove(E3, D5, Knight, Pawn), -225},
    {"BlackToMove", "4k3/8/8/3p4/4P3/8/8/4K3 b - -", makeMove(D5, E4, Pawn, Pawn), 100},
};

class StaticExchange : public ::testing::TestWithParam<SeeCase> {};

TEST_P(StaticExchange, Value) {
    Position pos;
    ASSERT_TRUE(positionFromFen(GetParam().fen, pos)) << GetParam().fen;
    ASSERT_TRUE(pos.isPseudoLegal(GetParam().move)) << moveText(GetParam().move);
    const Position before = pos;
    EXPECT_EQ(pos.see(GetParam().move), GetParam().expected);
    EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(pos)));
}

INSTANTIATE_TEST_SUITE_P(Table, StaticExchange, ::testing::ValuesIn(seeCases),
                         [](const ::testing::TestParamInfo<SeeCase>& info) { return std::string(info.param.name); });

// Every other piece on the board stacked against one square: the exchange
// list holds one entry per capture and must not run past its end (the
// sanitizer build watches the array). Sixteen pieces a side, all aimed at e4.
TEST(StaticExchange, LongestExchangeStaysInBounds) {
    ensureTables();
    int8_t board[64] = {};
    // White from below and the left, black from above and the right.
    for (int s : {E1, E2, E3, A4, B4, C4, B1, C2, D3, H1, G2, F3})
        board[s] = Queen;
    for (int s : {D2, F2, C3, G3})
        board[s] = Knight;
    for (int s : {E6, E7, E8, F4, G4, H4, F5, G6, H7, D5, C6, B7})
        board[s] = -Queen;
    for (int s : {C5, G5, D6})
        board[s] = -Knight;
    board[E5] = -Pawn;
    board[A1] = King;
    board[A8] = -King;
    board[E4] = -Pawn;
    Position pos;
    pos.clear();
    pos.setup(board, White, 0, 0, 0);
    const int value = pos.see(makeMove(E3, E4, Queen, Pawn));
    EXPECT_GE(value, -875);
    EXPECT_LE(value, 100);
}

}  // namespace
