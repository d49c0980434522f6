// Generation order, move-word fields and the special generators, against
// lists derived by hand and against the full generators over a corpus.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "board/movegen_sink.h"
#include "board/movegen_test_support.h"

namespace {

using namespace movegen_test;

enum class Generator { Moves, Legal, Captures, Quiets, Evasions, QsearchEvasions, QsearchCaptures, QuietChecks };

std::vector<Move> generate(Position& pos, Generator g) {
    ScoredMove list[MaxMoves];
    const bool white = pos.sideToMove == White;
    int n = 0;
    switch (g) {
    case Generator::Moves: n = pos.generateMoves(list, pos.inCheck()); break;
    case Generator::Legal: n = pos.generateLegalMoves(list, pos.inCheck()); break;
    case Generator::Captures: n = white ? pos.generateCapturesWhite(list) : pos.generateCapturesBlack(list); break;
    case Generator::Quiets: n = white ? pos.generateQuietsWhite(list) : pos.generateQuietsBlack(list); break;
    case Generator::Evasions: n = pos.generateEvasions(list); break;
    case Generator::QsearchEvasions: n = pos.generateQsearchEvasions(list); break;
    case Generator::QsearchCaptures: n = pos.generateQsearchCaptures(list); break;
    case Generator::QuietChecks: n = pos.generateQuietChecks(list); break;
    }
    return movesOf(list, n);
}

struct OrderCase {
    const char* name;
    const char* fen;
    Generator generator;
    const char* expected;  // coordinate text in generation order
};

const OrderCase orderCases[] = {
    {"StartPositionAll", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", Generator::Moves,
     "b1a3 b1c3 g1f3 g1h3 a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 e2e4 f2f4 g2g4 h2h4"},
    {"StartPositionLegal", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", Generator::Legal,
     "b1a3 b1c3 g1f3 g1h3 a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 e2e4 f2f4 g2g4 h2h4"},
    {"WhitePromotionsAreCaptures", "n1n1k3/1P6/8/8/8/8/8/4K3 w - -", Generator::Captures,
     "b7a8q b7a8r b7a8n b7a8b b7c8q b7c8r b7c8n b7c8b b7b8q b7b8r b7b8n b7b8b"},
    {"WhitePromotionsNotQuiet", "n1n1k3/1P6/8/8/8/8/8/4K3 w - -", Generator::Quiets, "e1d1 e1f1 e1d2 e1e2 e1f2"},
    {"QsearchCapturesQueenOnly", "n1n1k3/1P6/8/8/8/8/8/4K3 w - -", Generator::QsearchCaptures, "b7a8q b7c8q b7b8q"},
    {"BlackTakesTowardHFileFirst", "4k3/8/8/8/8/8/1p6/N1N1K3 b - -", Generator::Captures,
     "b2c1q b2c1r b2c1n b2c1b b2a1q b2a1r b2a1n b2a1b b2b1q b2b1r b2b1n b2b1b"},
    {"BlackPawnCapturesByGroup", "4k3/8/8/8/3p1p2/2N1N1N1/8/4K3 b - -", Generator::Captures, "d4e3 f4g3 d4c3 f4e3"},
    {"BothEnPassantCaptures", "4k3/8/8/3PpP2/8/8/8/4K3 w - e6", Generator::Captures, "d5e6 f5e6"},
    // Knights, rooks, king, pawn captures, en passant, capture-promotions,
    // push-promotions: each group complete before the next.
    {"WhiteCaptureGroups", "r3k3/1P6/8/1npP4/8/2N5/8/R3K2R w KQ c6", Generator::Captures,
     "c3b5 a1a8 d5c6 b7a8q b7a8r b7a8n b7a8b b7b8q b7b8r b7b8n b7b8b"},
    {"WhiteQuietGroups", "r3k3/1P6/8/1npP4/8/2N5/8/R3K2R w KQ c6", Generator::Quiets,
     "e1h1 e1a1 c3b1 c3d1 c3a2 c3e2 c3a4 c3e4 a1b1 a1c1 a1d1 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 "
     "h1f1 h1g1 h1h2 h1h3 h1h4 h1h5 h1h6 h1h7 h1h8 e1d1 e1f1 e1d2 e1e2 e1f2 d5d6"},
    {"BlackQuietPushes", "4k3/p3p3/8/3p4/8/8/8/4K3 b - -", Generator::Quiets,
     "e8d7 e8f7 e8d8 e8f8 d5d4 a7a6 e7e6 a7a5 e7e5"},
    // Evasions.
    {"DoubleCheckKingOnly", "4k3/8/8/8/8/5n2/8/r3K2R w K -", Generator::Evasions, "e1e2 e1f2"},
    {"KnightCheckNoInterposition", "4k3/8/8/8/8/3n4/2B5/4K3 w - -", Generator::Evasions,
     "e1d1 e1f1 e1d2 e1e2 c2d3"},
    {"RookCheckAlongRank", "4k3/8/8/8/8/2N5/8/r3K3 w - -", Generator::Evasions, "e1d2 e1e2 e1f2 c3b1 c3d1"},
    {"DoublePushInterposes", "4k3/8/8/8/r6K/3P4/4P3/8 w - -", Generator::Evasions,
     "h4g3 h4h3 h4g5 h4h5 d3d4 e2e4"},
    {"EnPassantTakesChecker", "4k3/8/8/3pP3/2P1K3/8/8/8 w - d6", Generator::Evasions,
     "e4d3 e4e3 e4f3 e4d4 e4f4 e4d5 e4f5 c4d5 e5d6"},
    {"EnPassantInterposes", "8/8/8/1k6/3Pp3/8/8/4KQ2 b - d3", Generator::Evasions, "b5a4 b5b4 b5a5 b5b6 b5c6 e4d3"},
    {"PromotionInterposes", "K6r/2P5/8/8/8/8/8/4k3 w - -", Generator::Evasions,
     "a8a7 a8b7 c7c8q c7c8r c7c8n c7c8b"},
    {"QsearchPromotionInterposes", "K6r/2P5/8/8/8/8/8/4k3 w - -", Generator::QsearchEvasions, "a8a7 a8b7 c7c8q"},
    // Quiet checks.
    {"PawnChecks", "8/8/8/4k3/8/5P2/3P4/4K3 w - -", Generator::QuietChecks, "f3f4 d2d4"},
    {"KnightDiscoversOnce", "6k1/8/8/3N4/8/8/B7/4K3 w - -", Generator::QuietChecks,
     "d5c3 d5e3 d5b4 d5f4 d5b6 d5f6 d5c7 d5e7"},
    {"KingUncoversRook", "4r3/8/8/8/8/8/8/R2K3k w - -", Generator::QuietChecks, "d1c2 d1d2 d1e2"},
    {"CastlingNeverAQuietCheck", "5k2/8/8/8/8/8/8/4K2R w K -", Generator::QuietChecks, "h1f1 h1h8"},
};

class GenerationOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(GenerationOrder, ListMatches) {
    Position pos;
    ASSERT_TRUE(positionFromFen(GetParam().fen, pos)) << GetParam().fen;
    EXPECT_EQ(listText(generate(pos, GetParam().generator)), GetParam().expected) << GetParam().fen;
}

INSTANTIATE_TEST_SUITE_P(Table, GenerationOrder, ::testing::ValuesIn(orderCases),
                         [](const ::testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

TEST(MoveWords, FieldsOfEachKind) {
    Position pos = fromFen("r3k3/1P6/8/1npP4/8/2N5/8/R3K2R w KQ c6");
    const auto captures = generate(pos, Generator::Captures);
    const auto quiets = generate(pos, Generator::Quiets);
    auto has = [](const std::vector<Move>& list, Move m) { return std::find(list.begin(), list.end(), m) != list.end(); };
    EXPECT_TRUE(has(captures, makeMove(C3, B5, Knight, Knight)));
    EXPECT_TRUE(has(captures, makeMove(A1, A8, Rook, Rook)));
    EXPECT_TRUE(has(captures, 0x809000u | Move(C6) << 6 | Move(D5)));
    EXPECT_TRUE(has(captures, makeMove(B7, A8, Pawn, Rook, Knight)));
    EXPECT_TRUE(has(captures, makeMove(B7, B8, Pawn, NoPiece, Queen)));
    EXPECT_TRUE(has(quiets, 0x206000u | Move(H1) << 6 | Move(E1)));
    EXPECT_TRUE(has(quiets, 0x206000u | Move(A1) << 6 | Move(E1)));
    EXPECT_TRUE(has(quiets, makeMove(D5, D6, Pawn)));
}

struct CastlingCase {
    const char* name;
    const char* fen;
    const char* castlingMoves;  // castling words of the quiet list, in order
};

const CastlingCase castlingCases[] = {
    {"BothWings", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1h1 e1a1"},
    {"BlackBothWings", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8h8 e8a8"},
    {"RookPathAttackedOnly", "1r2k3/8/8/8/8/8/8/R3K2R w KQ -", "e1h1 e1a1"},
    {"KingPathAttacked", "3rk3/8/8/8/8/8/8/R3K2R w KQ -", "e1h1"},
    {"KingDestinationAttacked", "4k1r1/8/8/8/8/8/8/R3K2R w KQ -", "e1a1"},
    {"KingInCheck", "4r1k1/8/8/8/8/8/8/R3K2R w KQ -", ""},
    {"PathOccupied", "4k3/8/8/8/8/8/8/RN2K1NR w KQ -", ""},
    {"NoRights", "4k3/8/8/8/8/8/8/R3K2R w - -", ""},
    {"Chess960KingOnDestination", "4k3/8/8/8/8/8/8/6KR w H -", "g1h1"},
    {"Chess960InnerRookBlocks", "4k3/8/8/8/8/8/8/5KRR w H -", ""},
    {"Chess960KingOnB", "4k3/8/8/8/8/8/8/RK6 w A -", "b1a1"},
    {"Chess960KingOnBPathAttacked", "2r1k3/8/8/8/8/8/8/RK6 w A -", ""},
    {"Chess960RookOnKingDestination", "4k3/8/8/8/8/8/8/4K1R1 w G -", "e1g1"},
};

class Castling : public ::testing::TestWithParam<CastlingCase> {};

TEST_P(Castling, GeneratedWhenAllowed) {
    Position pos;
    ASSERT_TRUE(positionFromFen(GetParam().fen, pos)) << GetParam().fen;
    std::vector<Move> castles;
    for (Move m : generate(pos, Generator::Quiets))
        if (isCastling(m)) {
            castles.push_back(m);
            EXPECT_EQ(m & ~Move(0xfff), 0x206000u);
            EXPECT_EQ(moveFrom(m), pos.kingStart[pos.sideToMove]);
        }
    EXPECT_EQ(listText(castles), GetParam().castlingMoves);
}

INSTANTIATE_TEST_SUITE_P(Table, Castling, ::testing::ValuesIn(castlingCases),
                         [](const ::testing::TestParamInfo<CastlingCase>& info) { return std::string(info.param.name); });

// A board whose en-passant field names a square that no capture can use:
// nothing may be generated, or the move would treat another piece as a pawn.
TEST(EnPassant, OnlyWithEnemyPawnBehindEmptyTarget) {
    ensureTables();
    struct Case {
        const char* name;
        int victim;  // black piece on e5
        int blocker; // piece on e6 (0 none)
        size_t expected;
    } cases[] = {{"pawn behind empty target", -Pawn, 0, 1}, {"knight behind", -Knight, 0, 0},
                 {"target occupied", -Pawn, -Bishop, 0}};
    for (const auto& c : cases) {
        int8_t board[64] = {};
        board[E1] = King;
        board[E8] = -King;
        board[D5] = Pawn;
        board[E5] = int8_t(c.victim);
        board[E6] = int8_t(c.blocker);
        Position pos;
        pos.clear();
        pos.setup(board, White, 0, 5, 0);
        size_t enPassant = 0;
        for (Move m : generate(pos, Generator::Captures))
            enPassant += isEnPassant(m);
        for (Move m : generate(pos, Generator::QsearchCaptures))
            enPassant += isEnPassant(m);
        EXPECT_EQ(enPassant, 2 * c.expected) << c.name;
        // The same through the evasions, with the knight or pawn giving check.
        board[E1] = 0;
        board[F4] = King;
        pos.setup(board, White, 0, 5, 0);
        size_t evasionEp = 0;
        for (Move m : generate(pos, Generator::Evasions))
            evasionEp += isEnPassant(m);
        EXPECT_EQ(evasionEp, c.expected) << c.name;
    }
}

TEST(EnPassant, NoneWhenNoPawnCanTake) {
    Position pos = fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    UndoRecord undo;
    pos.makeMove(makeMove(E2, E4, Pawn), undo);
    EXPECT_EQ(pos.epFile, 5);
    for (Move m : generate(pos, Generator::Captures))
        EXPECT_FALSE(isEnPassant(m));
}

TEST(Generators, KingCaptureListedWhenOpponentInCheck) {
    ensureTables();
    int8_t board[64] = {};
    board[E1] = King;
    board[A1] = Rook;
    board[A8] = -King;
    Position pos;
    pos.clear();
    pos.setup(board, White, 0, 0, 0);
    EXPECT_EQ(listText(generate(pos, Generator::Captures)), "a1a8");
    EXPECT_EQ(generate(pos, Generator::Captures).front(), makeMove(A1, A8, Rook, King));
}

TEST(Generators, InCheckFlagWithoutCheckGivesSafeKingMoves) {
    Position pos = fromFen("4k3/8/8/8/8/8/3r4/4K2R w K -");
    ScoredMove list[MaxMoves];
    const int n = pos.generateMoves(list, true);
    // d2 is attacked by nothing once the rook is taken; d1, e2, f2 by the rook.
    EXPECT_EQ(listText(movesOf(list, n)), "e1f1 e1d2");
}

TEST(Generators, MateAndStalemateHaveNoLegalMoves) {
    for (const char* fen : {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -", "7k/5Q2/6K1/8/8/8/8/8 b - -"}) {
        Position pos = fromFen(fen);
        EXPECT_TRUE(legalMoves(pos).empty()) << fen;
    }
}

TEST(Generators, RecordPositionHas218Moves) {
    Position pos = fromFen("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - -");
    EXPECT_EQ(legalMoves(pos).size(), 218u);
    EXPECT_LE(capturesAndQuiets(pos).size(), size_t(MaxMoves));
}

// Boards the engine accepts stay below the list capacity (the record above
// is 218; crowded hand-built boards stay near 250), so the writer's guard is
// tested on its own: the 257th word must stop a debug build instead of
// landing past the caller's array.
TEST(MoveSinkDeathTest, CapacityGuardInDebugBuilds) {
#ifdef NDEBUG
    GTEST_SKIP() << "the capacity guard is an assertion of debug builds";
#else
    auto fill = [](int words) {
        ScoredMove list[MaxMoves];
        MoveSink out(list);
        for (int i = 0; i < words; ++i)
            out.add(Move(i + 1));
        return out.count();
    };
    EXPECT_EQ(fill(MaxMoves), MaxMoves);
    EXPECT_DEATH(fill(MaxMoves + 1), "capacity");
#endif
}

const std::vector<Position>& corpus() { return corpusPositions(); }

std::vector<Move> legalOnly(Position& pos, const std::vector<Move>& moves) {
    std::vector<Move> legal;
    const int mover = pos.sideToMove;
    for (Move m : moves) {
        UndoRecord undo;
        pos.makeMove(m, undo);
        if (!pos.isAttacked(pos.kingSquare[mover], mover ^ 1))
            legal.push_back(m);
        pos.unmakeMove(m, undo);
    }
    return legal;
}

std::vector<Move> withoutUnderpromotions(const std::vector<Move>& moves) {
    std::vector<Move> kept;
    for (Move m : moves)
        if (movePromotion(m) == 0 || movePromotion(m) == Queen)
            kept.push_back(m);
    return kept;
}

TEST(GeneratorProperties, EvasionsAreTheLegalMovesInCheck) {
    size_t checked = 0;
    for (Position pos : corpus()) {
        if (!pos.inCheck())
            continue;
        ++checked;
        const auto evasions = generate(pos, Generator::Evasions);
        std::set<Move> fromEvasions, fromAll;
        for (Move m : legalOnly(pos, evasions))
            fromEvasions.insert(m);
        for (Move m : legalOnly(pos, capturesAndQuiets(pos)))
            fromAll.insert(m);
        EXPECT_EQ(fromEvasions, fromAll) << listText(evasions);
        EXPECT_EQ(std::set<Move>(evasions.begin(), evasions.end()).size(), evasions.size());
        for (Move m : evasions)
            if (movePiece(m) == King) {
                EXPECT_EQ(legalOnly(pos, {m}).size(), 1u) << moveText(m);
            }
        EXPECT_EQ(generate(pos, Generator::QsearchEvasions), withoutUnderpromotions(evasions));
    }
    EXPECT_GT(checked, 100u);
}

TEST(GeneratorProperties, QsearchCapturesDropOnlyUnderpromotions) {
    for (Position pos : corpus())
        EXPECT_EQ(generate(pos, Generator::QsearchCaptures), withoutUnderpromotions(generate(pos, Generator::Captures)));
}

TEST(GeneratorProperties, LegalListIsTheFilteredList) {
    for (Position pos : corpus()) {
        const Position before = pos;
        EXPECT_EQ(generate(pos, Generator::Legal), legalOnly(pos, generate(pos, Generator::Moves)));
        EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(pos)));
    }
}

std::string fenOf(const Position& pos) {
    char buffer[FenBufferSize];
    toFen(pos, 0, buffer);
    return buffer;
}

bool givesCheck(Position& pos, Move m) {
    UndoRecord undo;
    pos.makeMove(m, undo);
    const bool check = pos.inCheck();
    pos.unmakeMove(m, undo);
    return check;
}

// A discoverer that moves along the line it blocks keeps the line shut; its
// direct checks from there are not listed (discoverers only list moves off
// the line).
bool discovererStaysOnLine(const Position& pos, Move m) {
    if (movePiece(m) == Pawn)
        return false;
    const int us = pos.sideToMove, king = pos.kingSquare[us ^ 1];
    const Bitboard sliders = pos.pieces[us][Bishop] | pos.pieces[us][Rook] | pos.pieces[us][Queen];
    for (Bitboard s = sliders; s; s &= s - 1) {
        const int slider = __builtin_ctzll(s);
        const Bitboard line = AttackTables::between[king][slider];
        if ((line & pos.occupied) == AttackTables::squareBit[moveFrom(m)] &&
            (line & AttackTables::squareBit[moveTo(m)]))
            return true;
    }
    return false;
}

TEST(GeneratorProperties, QuietChecksAreExactlyTheQuietCheckingMoves) {
    size_t listed = 0;
    for (Position pos : corpus()) {
        if (pos.inCheck())
            continue;
        const auto checks = generate(pos, Generator::QuietChecks);
        const auto quiets = generate(pos, Generator::Quiets);
        std::set<Move> checkSet(checks.begin(), checks.end());
        EXPECT_EQ(checkSet.size(), checks.size()) << listText(checks);
        for (Move m : checks) {
            EXPECT_NE(std::find(quiets.begin(), quiets.end(), m), quiets.end()) << moveText(m);
            EXPECT_FALSE(isCastling(m));
            EXPECT_TRUE(givesCheck(pos, m)) << moveText(m);
        }
        // A king "checking" the other king is never legal: compare legal moves.
        for (Move m : legalOnly(pos, quiets))
            if (!isCastling(m) && givesCheck(pos, m) && !discovererStaysOnLine(pos, m)) {
                EXPECT_TRUE(checkSet.count(m)) << "missing " << moveText(m) << " in " << fenOf(pos);
            }
        listed += checks.size();
    }
    EXPECT_GT(listed, 1000u);
}

}  // namespace
