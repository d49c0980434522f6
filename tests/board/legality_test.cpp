// The attack test and the pseudo-legality test of move words that come from
// outside the current generation (hash table, killers, the GUI).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "board/movegen_test_support.h"

namespace {

using namespace movegen_test;

// Slow reference: walk each ray square by square and look at the pieces.
bool attackedReference(const Position& pos, int square, int by) {
    const int file = fileOf(square), rank = rankOf(square);
    auto pieceAt = [&](int f, int r, int type) {
        if (f < 0 || f > 7 || r < 0 || r > 7)
            return false;
        const Bitboard bit = Bitboard(1) << makeSquare(f, r);
        return (pos.pieces[by][type] & bit) != 0;
    };
    const int pawnRank = by == White ? rank - 1 : rank + 1;
    if (pieceAt(file - 1, pawnRank, Pawn) || pieceAt(file + 1, pawnRank, Pawn))
        return true;
    const int knightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    for (const auto& step : knightSteps)
        if (pieceAt(file + step[0], rank + step[1], Knight))
            return true;
    for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr) {
            if (!df && !dr)
                continue;
            if (pieceAt(file + df, rank + dr, King))
                return true;
            const int slider = (df && dr) ? Bishop : Rook;
            for (int f = file + df, r = rank + dr; f >= 0 && f < 8 && r >= 0 && r < 8; f += df, r += dr) {
                if (pieceAt(f, r, slider) || pieceAt(f, r, Queen))
                    return true;
                if (pos.occupied & (Bitboard(1) << makeSquare(f, r)))
                    break;
            }
        }
    return false;
}

TEST(IsAttacked, QueenCheckAfterFoolsMate) {
    Position pos = fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const Move moves[] = {makeMove(F2, F3, Pawn), makeMove(E7, E5, Pawn), makeMove(G2, G4, Pawn),
                          makeMove(D8, H4, Queen)};
    UndoRecord undo[4];
    for (int i = 0; i < 4; ++i)
        pos.makeMove(moves[i], undo[i]);
    EXPECT_TRUE(pos.isAttacked(E1, Black));
    EXPECT_FALSE(pos.isAttacked(E2, Black));
    EXPECT_TRUE(pos.inCheck());
}

TEST(IsAttacked, PawnsAttackDiagonallyForward) {
    Position pos = fromFen("4k3/8/8/3p4/4P3/8/8/4K3 w - -");
    EXPECT_TRUE(pos.isAttacked(D5, White));
    EXPECT_TRUE(pos.isAttacked(F5, White));
    EXPECT_FALSE(pos.isAttacked(E5, White));
    EXPECT_FALSE(pos.isAttacked(D3, White));
    EXPECT_TRUE(pos.isAttacked(E4, Black));
    EXPECT_TRUE(pos.isAttacked(C4, Black));
    EXPECT_FALSE(pos.isAttacked(D4, Black));
    EXPECT_FALSE(pos.isAttacked(E6, Black));
}

TEST(IsAttacked, MatchesRayWalkOverCorpus) {
    size_t attacked = 0, total = 0;
    for (const Position& pos : corpusPositions())
        for (int square = 0; square < 64; ++square)
            for (int by : {Black, White}) {
                const bool expected = attackedReference(pos, square, by);
                ASSERT_EQ(pos.isAttacked(square, by), expected) << squareText(square) << " by " << by;
                attacked += expected;
                ++total;
            }
    EXPECT_GT(attacked, total / 10);
}

struct WordCase {
    const char* name;
    const char* fen;
    Move move;
    bool accepted;
};

// Pawns: b7 (promotes), e2 (pushes), a4 and h5 (captures that would wrap round
// the board edge); black knights a8 and a7, black pawns d5 and h4.
const char* const board1 = "n3k3/nP6/8/3p3P/P6p/8/4P3/R3K1NR w KQ -";

const WordCase wordCases[] = {
    {"NoMove", board1, NoMove, false},
    {"KnightMove", board1, makeMove(G1, F3, Knight), true},
    {"KnightWithPromotion", board1, makeMove(G1, F3, Knight, NoPiece, Queen), false},
    {"KnightWithEnPassantFlag", board1, EnPassantFlag | makeMove(G1, F3, Knight), false},
    {"KnightToNonAttackedSquare", board1, makeMove(G1, G3, Knight), false},
    {"UnusedBit22", board1, makeMove(G1, F3, Knight) | 0x400000u, false},
    {"UnusedHighBits", board1, makeMove(G1, F3, Knight) | 0x1000000u, false},
    {"WrongMovingPiece", board1, makeMove(G1, F3, Bishop), false},
    {"EmptyOrigin", board1, makeMove(C1, D2, Bishop), false},
    {"OpponentPiece", board1, makeMove(D5, D4, Pawn), false},
    {"CaptureOntoEmpty", board1, makeMove(G1, F3, Knight, Pawn), false},
    {"QuietOntoEnemy", board1, makeMove(H1, H4, Rook), false},
    {"RookCapture", board1, makeMove(H1, H4, Rook, Pawn), true},
    {"WrongCapturedType", board1, makeMove(H1, H4, Rook, Knight), false},
    {"QuietOntoOwnPiece", board1, makeMove(E1, E2, King), false},
    {"SliderThroughPiece", board1, makeMove(A1, A5, Rook), false},
    {"KingTwoSquares", board1, makeMove(E1, E3, King), false},
    {"SinglePush", board1, makeMove(E2, E3, Pawn), true},
    {"DoublePush", board1, makeMove(E2, E4, Pawn), true},
    {"DoublePushFromFourthRank", board1, makeMove(A4, A6, Pawn), false},
    {"PushWithPromotionOffLastRank", board1, makeMove(E2, E3, Pawn, NoPiece, Queen), false},
    {"PushToLastRankWithoutPromotion", board1, makeMove(B7, B8, Pawn), false},
    {"PushPromotion", board1, makeMove(B7, B8, Pawn, NoPiece, Rook), true},
    {"CapturePromotion", board1, makeMove(B7, A8, Pawn, Knight, Knight), true},
    {"CapturePromotionWrongVictim", board1, makeMove(B7, A8, Pawn, Bishop, Knight), false},
    {"PromotionToKing", board1, makeMove(B7, B8, Pawn, NoPiece, King), false},
    {"PromotionToPawn", board1, makeMove(B7, B8, Pawn, NoPiece, Pawn), false},
    {"CaptureWrapsHToA", board1, makeMove(H5, A7, Pawn, Knight), false},
    {"CaptureWrapsAToH", board1, makeMove(A4, H4, Pawn, Pawn), false},
    {"EnPassantWithoutField", board1, EnPassantFlag | makeMove(H5, G6, Pawn, Pawn), false},
    {"LongCastling", board1, 0x206000u | Move(A1) << 6 | Move(E1), true},
    {"ShortCastlingKnightInTheWay", board1, 0x206000u | Move(H1) << 6 | Move(E1), false},
    {"CastlingFlagOnRook", board1, CastlingFlag | makeMove(A1, D1, Rook), false},
    {"CastlingWithCapturedField", board1, 0x206000u | Move(Rook) << 15 | Move(A1) << 6 | Move(E1), false},
    {"CastlingToNonRookSquare", board1, 0x206000u | Move(B1) << 6 | Move(E1), false},
    {"CastlingWithoutRight", "4k3/8/8/8/8/8/8/R3K2R w K -", 0x206000u | Move(A1) << 6 | Move(E1), false},
    {"CastlingKingInCheck", "4r1k1/8/8/8/8/8/8/R3K2R w KQ -", 0x206000u | Move(H1) << 6 | Move(E1), false},
    {"CastlingKingPathAttacked", "5rk1/8/8/8/8/8/8/R3K2R w KQ -", 0x206000u | Move(H1) << 6 | Move(E1), false},
    {"CastlingKingDestinationAttacked", "2r3k1/8/8/8/8/8/8/R3K2R w KQ -", 0x206000u | Move(A1) << 6 | Move(E1),
     false},
    {"CastlingRookPathAttacked", "1r4k1/8/8/8/8/8/8/R3K2R w KQ -", 0x206000u | Move(A1) << 6 | Move(E1), true},
    {"BlackCastling", "r3k2r/8/8/8/8/8/8/4K3 b kq -", 0x206000u | Move(H8) << 6 | Move(E8), true},
    {"BlackCastlingWhiteSquares", "r3k2r/8/8/8/8/8/8/R3K2R b KQ -", 0x206000u | Move(H8) << 6 | Move(E8), false},
    {"Chess960Castling", "4k3/8/8/8/8/8/8/RK6 w A -", 0x206000u | Move(A1) << 6 | Move(B1), true},
    {"EnPassant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", EnPassantFlag | makeMove(E5, D6, Pawn, Pawn), true},
    {"EnPassantWrongFile", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", EnPassantFlag | makeMove(E5, F6, Pawn, Pawn), false},
    {"EnPassantWithoutFlag", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", makeMove(E5, D6, Pawn, Pawn), false},
    {"EnPassantFromAfar", "4k3/8/8/3p4/4P3/8/8/4K3 w - d6", EnPassantFlag | makeMove(E4, D6, Pawn, Pawn), false},
    {"KingCapture", "k7/8/8/8/8/8/8/R3K3 b - -", makeMove(A8, A1, King, Rook), false},
};

class MoveWords : public ::testing::TestWithParam<WordCase> {};

TEST_P(MoveWords, IsPseudoLegal) {
    Position pos;
    ASSERT_TRUE(positionFromFen(GetParam().fen, pos)) << GetParam().fen;
    EXPECT_EQ(pos.isPseudoLegal(GetParam().move), GetParam().accepted) << moveText(GetParam().move);
}

INSTANTIATE_TEST_SUITE_P(Table, MoveWords, ::testing::ValuesIn(wordCases),
                         [](const ::testing::TestParamInfo<WordCase>& info) { return std::string(info.param.name); });

TEST(IsPseudoLegal, RejectsKingCaptureEvenWhereGenerated) {
    ensureTables();
    int8_t board[64] = {};
    board[E1] = King;
    board[A1] = Rook;
    board[A8] = -King;
    Position pos;
    pos.clear();
    pos.setup(board, White, 0, 0, 0);
    EXPECT_FALSE(pos.isPseudoLegal(makeMove(A1, A8, Rook, King)));
}

// An en-passant field that names no capturable pawn (possible through
// Position::setup) must not let a pawn "take" another piece en passant.
TEST(IsPseudoLegal, EnPassantNeedsEnemyPawnBehindEmptyTarget) {
    ensureTables();
    for (int victim : {-Knight, -Pawn}) {
        int8_t board[64] = {};
        board[E1] = King;
        board[E8] = -King;
        board[D5] = Pawn;
        board[E5] = int8_t(victim);
        Position pos;
        pos.clear();
        pos.setup(board, White, 0, 5, 0);
        EXPECT_EQ(pos.isPseudoLegal(EnPassantFlag | makeMove(D5, E6, Pawn, Pawn)), victim == -Pawn);
    }
}

TEST(IsPseudoLegal, EveryGeneratedMoveIsAccepted) {
    for (Position pos : corpusPositions()) {
        ScoredMove list[MaxMoves];
        const bool check = pos.inCheck();
        const int lists[] = {0, 1};
        for (int which : lists) {
            const int n = which == 0 ? pos.generateMoves(list, check)
                                     : (check ? pos.generateQsearchEvasions(list) : pos.generateQuietChecks(list));
            for (int i = 0; i < n; ++i)
                ASSERT_TRUE(pos.isPseudoLegal(list[i].move)) << moveText(list[i].move);
        }
    }
}

// Over many positions: a word is accepted exactly when the capture and quiet
// generators produce it. Candidates are generated words with one field
// changed (the near misses that matter) and fully random words.
TEST(IsPseudoLegal, AcceptsExactlyTheGeneratedWords) {
    std::mt19937 random(20240611);
    const auto& positions = corpusPositions();
    size_t accepted = 0, tried = 0;
    for (size_t p = 0; p < positions.size(); p += 3) {
        const Position& pos = positions[p];
        const auto generated = capturesAndQuiets(pos);
        auto isGenerated = [&](Move m) { return std::find(generated.begin(), generated.end(), m) != generated.end(); };
        for (int k = 0; k < 40; ++k) {
            Move m;
            const unsigned choice = random() % 8;
            if (choice == 0 || generated.empty()) {
                m = Move(random());
                if (random() % 2)
                    m &= 0xbfffff;  // keep the unused bits clear
            } else {
                m = generated[random() % generated.size()];
                switch (choice) {
                case 1: m = (m & ~Move(63)) | Move(random() % 64); break;
                case 2: m = (m & ~Move(63 << 6)) | Move(random() % 64) << 6; break;
                case 3: m = (m & ~Move(7 << 12)) | Move(random() % 8) << 12; break;
                case 4: m = (m & ~Move(7 << 15)) | Move(random() % 8) << 15; break;
                case 5: m = (m & ~Move(7 << 18)) | Move(random() % 8) << 18; break;
                case 6: m ^= (random() % 2) ? CastlingFlag : EnPassantFlag; break;
                default: break;  // unchanged
                }
            }
            ++tried;
            accepted += isGenerated(m);
            ASSERT_EQ(pos.isPseudoLegal(m), isGenerated(m)) << moveText(m) << " word " << std::hex << m;
        }
    }
    EXPECT_GT(accepted, tried / 8);
}

}  // namespace
