// Move text in coordinate and long algebraic form, and the board diagram.

#include <gtest/gtest.h>

#include <string>

#include "board/notation.h"
#include "board/position.h"

namespace {

Move castle(int kingFrom, int rookFrom) { return CastlingFlag | makeMove(kingFrom, rookFrom, King); }
Move enPassant(int from, int to) { return EnPassantFlag | makeMove(from, to, Pawn, Pawn); }

struct CoordinateCase {
    Move move;
    bool chess960;
    const char* text;
};

const CoordinateCase coordinateCases[] = {
    {NoMove, false, "0000"},
    {NoMove, true, "0000"},
    {makeMove(E2, E4, Pawn), false, "e2e4"},
    {makeMove(G1, F3, Knight), true, "g1f3"},
    {makeMove(E7, E8, Pawn, 0, Queen), false, "e7e8q"},
    {makeMove(D2, C1, Pawn, Bishop, Knight), false, "d2c1n"},
    {makeMove(B7, A8, Pawn, Rook, Rook), false, "b7a8r"},
    {makeMove(B2, B1, Pawn, 0, Bishop), false, "b2b1b"},
    {enPassant(E5, D6), false, "e5d6"},
    // Castling: the king's two-square step for a king starting on e1/e8 with
    // the rook in the corner, else the king taking its rook.
    {castle(E1, H1), false, "e1g1"},
    {castle(E1, A1), false, "e1c1"},
    {castle(E8, H8), false, "e8g8"},
    {castle(E8, A8), false, "e8c8"},
    {castle(E8, A8), true, "e8a8"},
    {castle(E1, H1), true, "e1h1"},
    {castle(B1, F1), false, "b1f1"},
    {castle(F1, H1), false, "f1h1"},   // f1g1 would read as a plain king step
    {castle(B8, A8), false, "b8a8"},
    {castle(G1, H1), false, "g1h1"},
    {castle(E1, B1), false, "e1b1"},
    {castle(F1, H1), true, "f1h1"},
};

TEST(MoveText, CoordinateForm) {
    Position pos;
    pos.clear();
    for (const CoordinateCase& c : coordinateCases) {
        pos.chess960 = c.chess960;
        char buffer[8];
        formatMove(pos, c.move, buffer);
        EXPECT_STREQ(buffer, c.text) << std::hex << c.move << " chess960 " << c.chess960;
    }
}

TEST(MoveText, CoordinateList) {
    Position pos;
    pos.clear();
    const Move moves[] = {makeMove(E2, E4, Pawn), makeMove(E7, E5, Pawn), makeMove(G1, F3, Knight),
                          castle(E8, H8)};
    char buffer[6 * 4];
    formatMoveList(pos, moves, 3, buffer);
    EXPECT_STREQ(buffer, "e2e4 e7e5 g1f3");
    formatMoveList(pos, moves, 4, buffer);
    EXPECT_STREQ(buffer, "e2e4 e7e5 g1f3 e8g8");
    pos.chess960 = 1;
    formatMoveList(pos, moves, 4, buffer);
    EXPECT_STREQ(buffer, "e2e4 e7e5 g1f3 e8h8");
    buffer[0] = 'x';
    formatMoveList(pos, moves, 0, buffer);
    EXPECT_STREQ(buffer, "");
    buffer[0] = 'x';
    formatMoveList(pos, moves, -1, buffer);
    EXPECT_STREQ(buffer, "");
}

struct LongCase {
    Move move;
    const char* text;
};

const LongCase longCases[] = {
    {NoMove, ""},
    {makeMove(G1, F3, Knight), "Ng1-f3"},
    {makeMove(E2, E4, Pawn), "e2-e4"},
    {makeMove(F1, B5, Bishop, Knight), "Bf1xb5"},
    {makeMove(D1, H5, Queen), "Qd1-h5"},
    {makeMove(A1, A8, Rook, Rook), "Ra1xa8"},
    {makeMove(E1, F2, King, Pawn), "Ke1xf2"},
    {enPassant(E5, D6), "e5xd6e.p"},
    {enPassant(D4, E3), "d4xe3e.p"},
    {makeMove(E7, E8, Pawn, 0, Queen), "e7-e8=Q"},
    {makeMove(D7, C8, Pawn, Rook, Knight), "d7xc8=N"},
    {castle(E1, H1), "O-O"},
    {castle(E8, A8), "O-O-O"},
    {castle(G1, H1), "O-O"},
    {castle(G1, A1), "O-O-O"},
    {castle(B1, A1), "O-O-O"},
};

TEST(MoveText, LongAlgebraicForm) {
    for (const LongCase& c : longCases) {
        char buffer[9];
        formatMoveLong(c.move, buffer);
        EXPECT_STREQ(buffer, c.text) << std::hex << c.move;
    }
}

TEST(MoveText, BoardDiagram) {
    Position pos;
    pos.clear();
    pos.setStartPosition();
    const std::string line = "|---|---|---|---|---|---|---|---|\n";
    const std::string empty = "|   |   |   |   |   |   |   |   |\n";
    const std::string expected = line + "| r | n | b | q | k | b | n | r |\n" + line +
                                 "| p | p | p | p | p | p | p | p |\n" + line + empty + line + empty + line + empty +
                                 line + empty + line + "| P | P | P | P | P | P | P | P |\n" + line +
                                 "| R | N | B | Q | K | B | N | R |\n" + line + "White to play\n";
    testing::internal::CaptureStdout();
    pos.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);

    pos.sideToMove = Black;
    testing::internal::CaptureStdout();
    pos.print();
    const std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.substr(text.size() - 14), "Black to play\n");
}

}  // namespace
