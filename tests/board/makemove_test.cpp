// Make and unmake: exact key changes for the listed cases, castling in both
// standard chess and Chess960, rights lost by rook moves and captures, and a
// walk over real positions checking that unmake restores every byte and that
// make's incremental values agree with a fresh set-up.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen_test_support.h"
#include "board/position.h"
#include "eval/weights.h"

namespace {

Bitboard bit(int square) { return Bitboard(1) << square; }

class MakeMove : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initAttackTables(); }

    static Position load(const std::string& fen) {
        FenFields fields;
        Position pos;
        pos.clear();
        EXPECT_TRUE(parseFen(fen.c_str(), fields)) << fen;
        setupFromFen(pos, fields);
        return pos;
    }
};

TEST_F(MakeMove, DoublePushChangesKeyByItsFourTerms) {
    Position pos;
    pos.clear();
    pos.setStartPosition();
    const Position before = pos;
    const Move move = makeMove(E2, E4, Pawn);
    UndoRecord undo;
    pos.makeMove(move, undo);
    using namespace ZobristKeys;
    // The en-passant term follows the double push although no black pawn can
    // take.
    EXPECT_EQ(pos.key ^ before.key, piece[White][Pawn][E2] ^ piece[White][Pawn][E4] ^ enPassant[5] ^ side);
    EXPECT_EQ(pos.pawnKey ^ before.pawnKey, piece[White][Pawn][E2] ^ piece[White][Pawn][E4]);
    EXPECT_EQ(pos.epFile, 5);
    EXPECT_EQ(pos.halfmoveClock, 0);
    EXPECT_EQ(pos.sideToMove, Black);
    EXPECT_EQ(undo.move, move);
    pos.unmakeMove(move, undo);
    EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(Position)));
}

TEST_F(MakeMove, StandardShortCastling) {
    Position pos = load("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQK2R w KQkq - 0 1");
    const Position before = pos;
    const Move move = 0x206000 | (7 << 6) | 4;
    UndoRecord undo;
    pos.makeMove(move, undo);
    using namespace ZobristKeys;
    EXPECT_EQ(pos.board[G1], King);
    EXPECT_EQ(pos.board[F1], Rook);
    EXPECT_EQ(pos.board[E1], 0);
    EXPECT_EQ(pos.board[H1], 0);
    EXPECT_EQ(pos.kingSquare[White], G1);
    EXPECT_EQ(pos.castlingRights, 12);
    EXPECT_EQ(pos.key ^ before.key, piece[White][King][E1] ^ piece[White][King][G1] ^ piece[White][Rook][H1] ^
                                        piece[White][Rook][F1] ^ castling[15] ^ castling[12] ^ side);
    EXPECT_EQ(pos.halfmoveClock, 1);
    pos.unmakeMove(move, undo);
    EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(Position)));
}

struct CastlingCase {
    const char* fen;
    int kingFrom, rookFrom, kingTo, rookTo;
};

// Every overlap of start and destination squares that Chess960 allows.
const CastlingCase castlingCases[] = {
    {"4k3/8/8/8/8/8/8/5K1R w K - 0 1", F1, H1, G1, F1},      // rook lands on the king's start
    {"4k3/8/8/8/8/8/8/4K1R1 w K - 0 1", E1, G1, G1, F1},     // king lands on the rook's start
    {"4k3/8/8/8/8/8/8/5KR1 w K - 0 1", F1, G1, G1, F1},      // the two swap squares
    {"4k3/8/8/8/8/8/8/6KR w K - 0 1", G1, H1, G1, F1},       // king does not move
    {"4k3/8/8/8/8/8/8/RK6 w Q - 0 1", B1, A1, C1, D1},
    {"4k3/8/8/8/8/8/8/2RK4 w Q - 0 1", D1, C1, C1, D1},      // long swap
    {"4k3/8/8/8/8/8/8/1R1K4 w Q - 0 1", D1, B1, C1, D1},     // rook lands on the king's start
    {"2k4r/8/8/8/8/8/8/4K3 b k - 0 1", C8, H8, G8, F8},
    {"1r4k1/8/8/8/8/8/8/4K3 b q - 0 1", G8, B8, C8, D8},
    {"4rk2/8/8/8/8/8/8/K7 b q - 0 1", F8, E8, C8, D8},
};

TEST_F(MakeMove, Chess960CastlingPlacesBothPieces) {
    for (const CastlingCase& c : castlingCases) {
        SCOPED_TRACE(c.fen);
        Position pos = load(c.fen);
        const Position before = pos;
        const int us = pos.sideToMove;
        const Move move = CastlingFlag | makeMove(c.kingFrom, c.rookFrom, King);
        UndoRecord undo;
        pos.makeMove(move, undo);
        const Bitboard expected = bit(c.kingTo) | bit(c.rookTo);
        EXPECT_EQ(pos.byColor[us], expected);
        EXPECT_EQ(pos.occupied, expected | pos.byColor[us ^ 1]);
        EXPECT_EQ(pos.pieces[us][King], bit(c.kingTo));
        EXPECT_EQ(pos.pieces[us][Rook], bit(c.rookTo));
        EXPECT_EQ(pos.board[c.kingTo], King);
        EXPECT_EQ(pos.board[c.rookTo], Rook);
        EXPECT_EQ(pos.kingSquare[us], c.kingTo);
        EXPECT_EQ(pos.castlingRights, 0);
        using namespace ZobristKeys;
        EXPECT_EQ(pos.key ^ before.key, piece[us][King][c.kingFrom] ^ piece[us][King][c.kingTo] ^
                                            piece[us][Rook][c.rookFrom] ^ piece[us][Rook][c.rookTo] ^
                                            castling[before.castlingRights] ^ side);
        pos.unmakeMove(move, undo);
        EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(Position)));
    }
}

struct RightsCase {
    const char* name;
    const char* fen;
    Move move;
    int rightsAfter;
};

const RightsCase rightsCases[] = {
    {"rook takes rook on both start squares", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
     makeMove(A1, A8, Rook, Rook), WhiteShort | BlackShort},
    {"rook leaves its start square", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", makeMove(H1, H5, Rook),
     WhiteLong | BlackShort | BlackLong},
    {"king move drops both own rights", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", makeMove(E8, D8, King),
     WhiteShort | WhiteLong},
    {"bishop takes a rook on its chess960 start square", "1r3kr1/8/8/8/8/8/B7/1R3KR1 w BGbg - 0 1",
     makeMove(A2, G8, Bishop, Rook), WhiteShort | WhiteLong | BlackLong},
    {"taking a rook that is not a castling rook keeps the rights", "r3k2r/8/8/8/8/8/r7/R3K2R w KQkq - 0 1",
     makeMove(A1, A2, Rook, Rook), WhiteShort | BlackShort | BlackLong},
    {"the inner castling rook named by file", "4k3/8/8/8/8/8/8/4KRR1 w F - 0 1", makeMove(G1, G5, Rook),
     WhiteShort},
    {"moving the named inner rook loses the right", "4k3/8/8/8/8/8/8/4KRR1 w F - 0 1", makeMove(F1, F5, Rook),
     0},
};

TEST_F(MakeMove, CastlingRightsFollowRookAndKingMoves) {
    for (const RightsCase& c : rightsCases) {
        SCOPED_TRACE(c.name);
        Position pos = load(c.fen);
        const Position before = pos;
        UndoRecord undo;
        pos.makeMove(c.move, undo);
        EXPECT_EQ(pos.castlingRights, c.rightsAfter);
        EXPECT_EQ(pos.key ^ before.key,
                  ZobristKeys::castling[before.castlingRights] ^ ZobristKeys::castling[c.rightsAfter] ^
                      ZobristKeys::side ^ ZobristKeys::piece[before.sideToMove][movePiece(c.move)][moveFrom(c.move)] ^
                      ZobristKeys::piece[before.sideToMove][movePiece(c.move)][moveTo(c.move)] ^
                      ZobristKeys::piece[pos.sideToMove][moveCaptured(c.move)][moveTo(c.move)]);
        pos.unmakeMove(c.move, undo);
        EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(Position)));
    }
}

TEST_F(MakeMove, PromotionWithCapture) {
    Position pos = load("3r3k/4P3/8/8/8/8/8/4K3 w - - 7 1");
    const Position before = pos;
    const Move move = makeMove(E7, D8, Pawn, Rook, Queen);
    UndoRecord undo;
    pos.makeMove(move, undo);
    EXPECT_EQ(pos.material[White], before.material[White] + pieceValue[Queen] - pieceValue[Pawn]);
    EXPECT_EQ(pos.material[Black], before.material[Black] - pieceValue[Rook]);
    EXPECT_EQ(pos.phase[White], before.phase[White] + 4);
    EXPECT_EQ(pos.phase[Black], before.phase[Black] - 2);
    EXPECT_EQ(before.materialSignature, 0x0000000100001000ULL);
    EXPECT_EQ(pos.materialSignature, 0x0001000000000000ULL);
    EXPECT_EQ(pos.board[D8], Queen);
    EXPECT_EQ(pos.pieces[White][Queen], bit(D8));
    EXPECT_EQ(pos.pieces[White][Pawn], 0u);
    EXPECT_EQ(pos.pieces[Black][Rook], 0u);
    EXPECT_EQ(pos.pawnKey, 0u);
    EXPECT_EQ(pos.halfmoveClock, 0);
    pos.unmakeMove(move, undo);
    EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(Position)));
}

TEST_F(MakeMove, EnPassantRemovesThePawnBehindTheTarget) {
    Position pos = load("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Position before = pos;
    const Move move = 0x809000 | (D6 << 6) | E5;
    UndoRecord undo;
    pos.makeMove(move, undo);
    EXPECT_EQ(pos.board[D5], 0);
    EXPECT_EQ(pos.board[D6], Pawn);
    EXPECT_EQ(pos.board[E5], 0);
    EXPECT_EQ(pos.occupied, bit(D6) | bit(E1) | bit(E8));
    EXPECT_EQ(pos.pieces[Black][Pawn], 0u);
    EXPECT_EQ(pos.epFile, 0);
    using namespace ZobristKeys;
    EXPECT_EQ(pos.pawnKey, piece[White][Pawn][D6]);
    EXPECT_EQ(pos.key ^ before.key,
              piece[White][Pawn][E5] ^ piece[White][Pawn][D6] ^ piece[Black][Pawn][D5] ^ enPassant[4] ^ side);
    pos.unmakeMove(move, undo);
    EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(Position)));
}

TEST_F(MakeMove, HalfmoveClockSaturatesInsteadOfWrapping) {
    Position pos = load("4k3/8/8/8/8/8/8/4K1N1 w - - 254 1");
    EXPECT_EQ(pos.halfmoveClock, 254);
    UndoRecord undo[3];
    const Move moves[3] = {makeMove(G1, F3, Knight), makeMove(E8, D8, King), makeMove(F3, G5, Knight)};
    pos.makeMove(moves[0], undo[0]);
    EXPECT_EQ(pos.halfmoveClock, 255);
    pos.makeMove(moves[1], undo[1]);
    EXPECT_EQ(pos.halfmoveClock, 255);
    pos.makeMove(moves[2], undo[2]);
    EXPECT_EQ(pos.halfmoveClock, 255);
    pos.unmakeMove(moves[2], undo[2]);
    pos.unmakeMove(moves[1], undo[1]);
    pos.unmakeMove(moves[0], undo[0]);
    EXPECT_EQ(pos.halfmoveClock, 254);
}

// What a fresh set-up of the same board computes, for the values that make
// keeps incrementally.
void expectMatchesFreshSetup(const Position& pos) {
    int8_t board[64];
    for (int s = 0; s < 64; ++s) {
        const int t = pos.board[s];
        board[s] = int8_t((pos.byColor[Black] & bit(s)) ? -t : t);
    }
    Position fresh;
    fresh.clear();
    fresh.setup(board, pos.sideToMove, pos.castlingRights, pos.epFile, pos.halfmoveClock);
    EXPECT_EQ(pos.key, fresh.key);
    EXPECT_EQ(pos.pawnKey, fresh.pawnKey);
    EXPECT_EQ(pos.material[White], fresh.material[White]);
    EXPECT_EQ(pos.material[Black], fresh.material[Black]);
    EXPECT_EQ(pos.phase[White], fresh.phase[White]);
    EXPECT_EQ(pos.phase[Black], fresh.phase[Black]);
    EXPECT_EQ(pos.materialSignature, fresh.materialSignature);
    EXPECT_EQ(pos.castlingRights, fresh.castlingRights);
    EXPECT_EQ(pos.occupied, fresh.occupied);
    EXPECT_EQ(0, std::memcmp(pos.byColor, fresh.byColor, sizeof(pos.byColor)));
    EXPECT_EQ(0, std::memcmp(pos.pieces, fresh.pieces, sizeof(pos.pieces)));
    EXPECT_EQ(pos.kingSquare[White], fresh.kingSquare[White]);
    EXPECT_EQ(pos.kingSquare[Black], fresh.kingSquare[Black]);
}

// Makes every pseudo-legal move, checks it, and recurses through the legal
// ones; returns the number of moves made.
int walk(Position& pos, int depth) {
    ScoredMove list[MaxMoves];
    const int count = pos.generateMoves(list, pos.inCheck());
    const int mover = pos.sideToMove;
    int made = 0;
    for (int i = 0; i < count; ++i) {
        const Move move = list[i].move;
        const Position before = pos;
        UndoRecord undo;
        pos.makeMove(move, undo);
        ++made;
        expectMatchesFreshSetup(pos);
        if (depth > 1 && !pos.isAttacked(pos.kingSquare[mover], mover ^ 1)) made += walk(pos, depth - 1);
        pos.unmakeMove(move, undo);
        if (std::memcmp(&before, &pos, sizeof(Position)) != 0) {
            ADD_FAILURE() << "unmake did not restore the position after " << movegen_test::moveText(move);
            pos = before;
        }
        if (::testing::Test::HasFailure()) return made;
    }
    return made;
}

void walkPerftFile(const char* file, int stride, int depth) {
    const auto cases = movegen_test::readPerftFile(std::string(VORLIX_TESTDATA_DIR) + "/" + file);
    ASSERT_FALSE(cases.empty()) << file;
    int positions = 0;
    for (size_t i = 0; i < cases.size(); i += stride) {
        SCOPED_TRACE(cases[i].id + ": " + cases[i].fen);
        FenFields fields;
        ASSERT_TRUE(parseFen(cases[i].fen.c_str(), fields));
        Position pos;
        pos.clear();
        setupFromFen(pos, fields);
        EXPECT_GT(walk(pos, depth), 0);
        ++positions;
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_GT(positions, 0);
}

TEST_F(MakeMove, UnmakeRestoresEveryByteOverTrickyPositions) {
    walkPerftFile("tricky.perft", 1, 3);
}

TEST_F(MakeMove, UnmakeRestoresEveryByteOverChess960Sample) {
    walkPerftFile("chess960.perft", 24, 2);
}

}  // namespace
