// FEN reading and writing: accepted and rejected texts, positions the engine
// could not play from, and round trips over standard and Chess960 positions.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen_test_support.h"
#include "board/position.h"

namespace {

class Fen : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initAttackTables(); }
};

struct AcceptCase {
    const char* text;
    int side, rights, epFile, halfmoves;
};

const AcceptCase acceptCases[] = {
    {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", Black, 15, 5, 0},
    {"4k3/8/8/8/8/8/8/4K3 w", White, 0, 0, 0},                       // stops after the side
    {"4k3/8/8/8/8/8/8/4K w - - 0 1", White, 0, 0, 0},                // short last rank
    {"4k3/8/8/8/8/8/8/4K3 b -", Black, 0, 0, 0},                     // stops after a castling dash
    {"4k3/8/8/8/8/8/8/4K3 w  - 7 1", White, 0, 0, 7},                // empty castling field
    {"r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", White, 15, 0, 0},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq", White, 15, 0, 0},             // four letters, then the end
    {"1r4k1/8/8/8/8/8/8/1R4K1 w Bb - 0 1", White, WhiteLong | BlackLong, 0, 0},
    {"4k3/8/8/8/8/8/8/4K3 w - - 100 80", White, 0, 0, 100},          // every digit of the clock
    {"4k3/8/8/8/8/8/8/4K3 w - - 300 80", White, 0, 0, 255},          // saturates at 255
    {"4k3/8/8/8/8/8/8/4K3 w - - 123456789012345 1", White, 0, 0, 255},
    {"4k3/8/8/8/8/8/8/4K3 w - - - 1", White, 0, 0, 0},
    {"4k3/8/8/8/8/8/8/4K3 w - -", White, 0, 0, 0},
    {"P3k3/8/8/8/8/8/8/4K2p w - - 0 1", White, 0, 0, 0},             // pawns on the edge ranks
    {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 3 1", White, 0, 4, 3},
    {"4k3/8/8/8/4Pp2/8/8/4K3 b - e3 0 1", Black, 0, 5, 0},
    // En-passant targets no capture could use are read as none.
    {"4k3/8/8/8/8/8/8/4K3 w - e6 0 1", White, 0, 0, 0},              // no pawn behind the target
    {"4k3/8/4n3/4p3/8/8/8/4K3 w - e6 0 1", White, 0, 0, 0},          // target occupied
    {"4k3/8/8/4P3/8/8/8/4K3 w - e6 0 1", White, 0, 0, 0},            // own pawn behind the target
    {"4k3/8/8/4n3/8/8/8/4K3 w - e6 0 1", White, 0, 0, 0},            // a knight, not a pawn
    {"NNNNNNNN/NNNNNNN1/8/8/8/8/8/K6k w - - 0 1", White, 0, 0, 0},   // 16 men is the limit
};

TEST_F(Fen, AcceptedTexts) {
    for (const AcceptCase& c : acceptCases) {
        SCOPED_TRACE(c.text);
        FenFields fields;
        ASSERT_TRUE(parseFen(c.text, fields));
        EXPECT_EQ(fields.side, c.side);
        EXPECT_EQ(fields.castlingRights, c.rights);
        EXPECT_EQ(fields.epFile, c.epFile);
        EXPECT_EQ(fields.halfmoveClock, c.halfmoves);
    }
}

TEST_F(Fen, BoardAndShortRanks) {
    FenFields fields;
    ASSERT_TRUE(parseFen("4k3/8/8/8/8/8/8/4K w - - 0 1", fields));
    int8_t expected[64] = {};
    expected[E1] = King;
    expected[E8] = -King;
    EXPECT_EQ(0, std::memcmp(fields.board, expected, 64));

    ASSERT_TRUE(parseFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", fields));
    EXPECT_EQ(0, std::memcmp(fields.board, startBoard, 64));
}

const char* const syntaxErrors[] = {
    "8/8/8/8/8/8/8/8w",                                          // full board not followed by a blank
    "4k3/8/8/8/8/8/8/4K3 w KQ",                                  // text ends after castling letters
    "4k3/8/8/8/8/8/8/4K3 b - e6 0 1",                            // rank does not fit the side
    "4k3/8/8/8/8/8/8/4K3 w - e3 0 1",
    "4k3/8/8/8/8/8/8/4K3 w - i6 0 1",
    "4k3/8/8/8/8/8/8/4K3 w - 6 0 1",
    "4k3/8/8/8/8/8/8/4K3 x - - 0 1",                             // side letter
    "4k3/8/8/8/8/8/8/4K3 w KX - 0 1",                            // castling letter
    "4k3/8/8/8/8/8/8/4K3 w K- - 0 1",
    "4k3/8/8/8/8/8/8/4K3",                                       // text ends inside the board
    "4k3/8/8/8/8/8/8/4K3 ",                                      // no side
    "4k3/8/8/8/8/8/8/4K0 w - - 0 1",                             // unknown board characters
    "4k3/8/8/8/8/8/8/4K9 w - - 0 1",
    "4k3/8/8/8/8/8/8/4Kx2 w - - 0 1",
    // Ranks describing more than eight squares.
    "4k3/8/54p/8/8/8/8/4K3 w - - 0 1",
    "4k3/ppppppppp/8/8/8/8/8/4K3 w - - 0 1",
    "rnbqkbnrp/8/8/8/8/8/8/4K3 w - - 0 1",
    "4k3/8/8/8/8/8/8/4K3R w - - 0 1",
    "4k3/8/8/8/8/8/8/4K2R1 w - - 0 1",
    "4k3/8/8/8/8/8/7p8/4K3 w - - 0 1",
};

TEST_F(Fen, SyntaxErrorsAreRejected) {
    for (const char* text : syntaxErrors) {
        FenFields fields;
        EXPECT_FALSE(parseFen(text, fields)) << text;
    }
    FenFields fields;
    EXPECT_FALSE(parseFen(nullptr, fields));
}

const char* const unplayable[] = {
    "8/8/8/8/8/8/8/4K3 w - - 0 1",                               // no black king
    "4k3/8/8/8/8/8/8/8 b - - 0 1",                               // no white king
    "4k3/8/8/8/8/8/8/8/ w - - 0 1",
    "3kk3/8/8/8/8/8/8/4K3 w - - 0 1",                            // two black kings
    "4k3/8/8/8/8/8/8/K3K3 w - - 0 1",
    "NNNNNNNN/NNNNNNNN/8/8/8/8/8/K6k w - - 0 1",                 // 17 white men
    "4K3/8/8/8/8/n7/nnnnnnnn/nnnnnnnk b - - 0 1",                // 17 black men
    "4k3/8/8/8/8/P7/PPPPPPPP/4K3 w - - 0 1",                     // nine white pawns
    "4k3/pppppppp/p7/8/8/8/8/4K3 b - - 0 1",                     // nine black pawns
    "4k3/8/8/8/8/8/8/4K2r b - - 0 1",                            // white, not to move, in check
    "4k2R/8/8/8/8/8/8/4K3 w - - 0 1",                            // black, not to move, in check
    "8/8/8/8/8/8/3k4/4K3 w - - 0 1",                             // kings side by side
    "4k3/3P4/8/8/8/8/8/4K3 w - - 0 1",                           // pawn check on the waiting king
};

TEST_F(Fen, PositionsTheEngineCannotPlayAreRejected) {
    for (const char* text : unplayable) {
        FenFields fields;
        EXPECT_FALSE(parseFen(text, fields)) << text;
    }
    // The side to move may be in check.
    FenFields fields;
    EXPECT_TRUE(parseFen("4k3/8/8/8/8/8/8/4K2r w - - 0 1", fields));
}

TEST_F(Fen, FileLetterNamesTheCastlingRook) {
    FenFields fields;
    Position pos;
    pos.clear();
    // C names the inner rook on c1; Q would name the outermost, a1.
    ASSERT_TRUE(parseFen("4k3/8/8/8/8/8/8/R1R1K3 w C - 0 1", fields));
    EXPECT_EQ(fields.castlingRights, WhiteLong);
    EXPECT_EQ(fields.rookFile[LongWing][White], 2);
    setupFromFen(pos, fields);
    EXPECT_EQ(pos.rookStart[LongWing][White], C1);
    EXPECT_EQ(pos.castleEmptyMask[LongWing][White], (Bitboard(1) << D1));

    ASSERT_TRUE(parseFen("4k3/8/8/8/8/8/8/R1R1K3 w Q - 0 1", fields));
    setupFromFen(pos, fields);
    EXPECT_EQ(pos.rookStart[LongWing][White], A1);

    // Chess960 inner rook on the short side for black.
    ASSERT_TRUE(parseFen("2k1r1r1/8/8/8/8/8/8/4K3 w e - 0 1", fields));
    setupFromFen(pos, fields);
    EXPECT_EQ(pos.castlingRights, BlackShort);
    EXPECT_EQ(pos.rookStart[ShortWing][Black], E8);
}

std::string fenOf(const Position& pos, int history) {
    char buffer[FenBufferSize];
    EXPECT_TRUE(toFen(pos, history, buffer));
    return buffer;
}

TEST_F(Fen, WriterStartPositionAndDoublePush) {
    Position pos;
    pos.clear();
    pos.setStartPosition();
    EXPECT_EQ(fenOf(pos, 0), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");
    UndoRecord undo;
    pos.makeMove(makeMove(E2, E4, Pawn), undo);
    EXPECT_EQ(fenOf(pos, 1), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
}

TEST_F(Fen, WriterFitsItsBuffer) {
    FenFields fields;
    ASSERT_TRUE(parseFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 1", fields));
    Position pos;
    pos.clear();
    setupFromFen(pos, fields);
    pos.epFile = 1;  // the longest fields at once
    const std::string text = fenOf(pos, 2147483647);
    EXPECT_EQ(text, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq a6 255 2147483647");
    EXPECT_LE(int(text.size()), FenMaxLength);
}

TEST_F(Fen, WriterNamesAnInnerCastlingRookByFile) {
    const char* cases[][2] = {
        {"4k3/8/8/8/8/8/8/4KRR1 w F - 0 1", "4k3/8/8/8/8/8/8/4KRR1 w F - 0 0"},
        {"r1r1k3/8/8/8/8/8/8/4K3 w c - 0 1", "r1r1k3/8/8/8/8/8/8/4K3 w c - 0 0"},
        {"r1r1k3/8/8/8/8/8/8/4K3 w a - 0 1", "r1r1k3/8/8/8/8/8/8/4K3 w q - 0 0"},
        {"1r4k1/8/8/8/8/8/8/1R4K1 w Bb - 0 1", "1r4k1/8/8/8/8/8/8/1R4K1 w Qq - 0 0"},
    };
    for (const auto& c : cases) {
        FenFields fields;
        ASSERT_TRUE(parseFen(c[0], fields)) << c[0];
        Position pos;
        pos.clear();
        setupFromFen(pos, fields);
        EXPECT_EQ(fenOf(pos, 0), c[1]);
    }
}

// Parse, set up, write, read back: the same position, and the board and side
// fields exactly as given.
void roundTrip(const char* file) {
    const auto cases = movegen_test::readPerftFile(std::string(VORLIX_TESTDATA_DIR) + "/" + file);
    ASSERT_FALSE(cases.empty()) << file;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id + ": " + c.fen);
        FenFields fields;
        ASSERT_TRUE(parseFen(c.fen.c_str(), fields));
        Position first, second;
        first.clear();
        second.clear();
        setupFromFen(first, fields);
        const std::string written = fenOf(first, 0);
        ASSERT_TRUE(parseFen(written.c_str(), fields)) << written;
        setupFromFen(second, fields);
        EXPECT_EQ(0, std::memcmp(&first, &second, sizeof(Position))) << written;
        const size_t boardAndSide = c.fen.find(' ') + 2;
        EXPECT_EQ(written.substr(0, boardAndSide), c.fen.substr(0, boardAndSide));
        if (::testing::Test::HasFailure()) return;
    }
}

TEST_F(Fen, RoundTripTrickyPositions) { roundTrip("tricky.perft"); }

TEST_F(Fen, RoundTripChess960Positions) { roundTrip("chess960.perft"); }

}  // namespace
