// SAN move resolution against a position.

#include <gtest/gtest.h>

#include "book/san.h"
#include "book_test_support.h"

using book_test::fromFen;
using book_test::startPosition;

namespace {

bool isLegalIn(Position& position, Move move) {
    ScoredMove list[MaxMoves];
    int count = position.generateLegalMoves(list, position.inCheck());
    for (int i = 0; i < count; ++i) {
        if (list[i].move == move)
            return true;
    }
    return false;
}

struct SanCase {
    const char* fen;
    const char* san;
    SanResult result;
    Move move;  // expected word when result is Ok
};

const char* const start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
// White pawn e5, black has just played d7-d5.
const char* const enPassant = "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3";
// White pawn on e7 ready to promote, d8 holds a black rook, e8 is empty.
const char* const promotion = "3r2k1/4P3/8/8/8/8/8/4K3 w - - 0 1";
// Knights b1 and f3 can both reach d2.
const char* const twoKnights = "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1";
// As above, but a black rook on a1 pins the b1 knight to the king on e1.
const char* const pinnedKnight = "4k3/8/8/8/8/5N2/8/rN2K3 w - - 0 1";
// The only knight that reaches d2 is pinned along the e-file.
const char* const onlyKnightPinned = "4r1k1/8/8/8/8/8/4N3/4K3 w - - 0 1";
const char* const queenMove = "4k3/8/8/8/8/8/8/3QK3 w - - 0 1";
const char* const kingsOnly = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";

constexpr Move whiteCastlesShort = makeMove(E1, H1, King) | CastlingFlag;

const SanCase sanCases[] = {
    // Plain forms.
    {start, "e4", SanResult::Ok, makeMove(E2, E4, Pawn)},
    {start, "e3", SanResult::Ok, makeMove(E2, E3, Pawn)},
    {start, "Nf3", SanResult::Ok, makeMove(G1, F3, Knight)},
    {start, "Ngf3", SanResult::Ok, makeMove(G1, F3, Knight)},
    {start, "N1f3", SanResult::Ok, makeMove(G1, F3, Knight)},
    {start, "Ng1f3", SanResult::Ok, makeMove(G1, F3, Knight)},
    {enPassant, "exd6", SanResult::Ok, makeMove(E5, D6, Pawn, Pawn) | EnPassantFlag},
    {promotion, "e8Q", SanResult::Ok, makeMove(E7, E8, Pawn, NoPiece, Queen)},
    {promotion, "e8=Q", SanResult::Ok, makeMove(E7, E8, Pawn, NoPiece, Queen)},
    {promotion, "e8=N+", SanResult::Ok, makeMove(E7, E8, Pawn, NoPiece, Knight)},
    // Longer than the seven characters a fixed field would hold.
    {promotion, "exd8=Q+!", SanResult::Ok, makeMove(E7, D8, Pawn, Rook, Queen)},
    {promotion, "exd8=R?!", SanResult::Ok, makeMove(E7, D8, Pawn, Rook, Rook)},
    {twoKnights, "Nbd2", SanResult::Ok, makeMove(B1, D2, Knight)},
    {twoKnights, "Nd2", SanResult::Ok, makeMove(B1, D2, Knight)},
    {pinnedKnight, "Nd2", SanResult::Ok, makeMove(F3, D2, Knight)},
    {queenMove, "Qh5+!?", SanResult::Ok, makeMove(D1, H5, Queen)},
    {queenMove, "Qh5!", SanResult::Ok, makeMove(D1, H5, Queen)},
    {queenMove, "Qh5#", SanResult::Ok, makeMove(D1, H5, Queen)},
    // Texts that fit no form: parse errors.
    {promotion, "e7=Q", SanResult::Unreadable, 0},
    {twoKnights, "Ne8=Q", SanResult::Unreadable, 0},
    {promotion, "e8=K", SanResult::Unreadable, 0},
    {queenMove, "Qh5!+", SanResult::Unreadable, 0},
    {start, "e4!!!", SanResult::Unreadable, 0},
    {start, "exd", SanResult::Unreadable, 0},
    {start, "Nx", SanResult::Unreadable, 0},
    {start, "Pe4", SanResult::Unreadable, 0},
    {start, "Z0", SanResult::Unreadable, 0},
    {start, "--", SanResult::Unreadable, 0},
    {start, "e4e5", SanResult::Unreadable, 0},
    {start, "O-", SanResult::Unreadable, 0},
    {start, "O-O-", SanResult::Unreadable, 0},
    {start, "e5", SanResult::Unreadable, 0},      // no pawn behind
    {start, "Nd4", SanResult::Unreadable, 0},     // no knight reaches d4
    {start, "exd5", SanResult::Unreadable, 0},    // no pawn attacks d5
    // Readable texts naming moves that are not legal: invalid moves, never
    // played onto the board.
    {start, "Nd2", SanResult::Illegal, 0},        // onto an own pawn
    {start, "exd3", SanResult::Illegal, 0},       // capture onto an empty square
    {"4k3/8/8/3p4/2P5/8/8/4K3 w - - 0 1", "exd5", SanResult::Illegal, 0},  // no pawn on e4
    {start, "e5xd6", SanResult::Unreadable, 0},
    {"4k3/8/8/8/8/4p3/4P3/4K3 w - - 0 1", "e4", SanResult::Illegal, 0},  // path blocked
    {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "e3=Q", SanResult::Unreadable, 0},
    {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "e8", SanResult::Unreadable, 0},
    {"6k1/3P4/8/8/8/8/8/4K3 w - - 0 1", "d8", SanResult::Illegal, 0},    // promotion missing
    {kingsOnly, "O-O", SanResult::Illegal, 0},    // castling without a rook
    {kingsOnly, "O-O-O", SanResult::Illegal, 0},
    {start, "O-O", SanResult::Illegal, 0},        // pieces in the way
    {onlyKnightPinned, "Nd4", SanResult::Illegal, 0},
    // Castling in its letter and digit forms.
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "O-O", SanResult::Ok, whiteCastlesShort},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "0-0", SanResult::Ok, whiteCastlesShort},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "O-0+", SanResult::Ok, whiteCastlesShort},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "O-O-O", SanResult::Ok,
     makeMove(E1, A1, King) | CastlingFlag},
    {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "0-0-0", SanResult::Ok,
     makeMove(E8, A8, King) | CastlingFlag},
};

}  // namespace

TEST(SanResolution, ReadsEveryFormAndAcceptsOnlyLegalMoves) {
    for (const SanCase& c : sanCases) {
        Position position = fromFen(c.fen);
        Key before = position.key;
        Move move = NoMove;
        SanResult result = resolveSan(position, c.san, move);
        EXPECT_EQ(int(result), int(c.result)) << c.san << " in " << c.fen;
        if (c.result == SanResult::Ok && result == SanResult::Ok) {
            EXPECT_EQ(move, c.move) << c.san << " in " << c.fen;
            EXPECT_TRUE(isLegalIn(position, move)) << c.san;
        }
        EXPECT_EQ(position.key, before) << "resolution changed the position: " << c.san;
    }
}

TEST(SanResolution, Chess960CastlingIsTheGeneratorsMoveForThatWing) {
    // King on c1 with rooks on a1 and h1; the squares between are empty.
    Position position = fromFen("r1k4r/8/8/8/8/8/8/R1K4R w KQkq - 0 1");
    Move move = NoMove;
    ASSERT_EQ(int(resolveSan(position, "O-O", move)), int(SanResult::Ok));
    EXPECT_EQ(move, makeMove(C1, H1, King) | CastlingFlag);
    ASSERT_EQ(int(resolveSan(position, "O-O-O", move)), int(SanResult::Ok));
    EXPECT_EQ(move, makeMove(C1, A1, King) | CastlingFlag);

    // A king on f8 with the short rook on g8 (not the corner).
    Position black = fromFen("5kr1/8/8/8/8/8/8/4K3 b k - 0 1");
    ASSERT_EQ(int(resolveSan(black, "O-O", move)), int(SanResult::Ok));
    EXPECT_EQ(move, makeMove(F8, G8, King) | CastlingFlag);
}

TEST(SanOrigin, PrefersTheLowestUnpinnedCandidate) {
    int from = -1, captured = -1;
    Position two = fromFen(twoKnights);
    ASSERT_TRUE(findSanOrigin(two, D2, Knight, -1, -1, from, captured));
    EXPECT_EQ(from, B1);
    EXPECT_EQ(captured, NoPiece);
    ASSERT_TRUE(findSanOrigin(two, D2, Knight, fileOf(F3), -1, from, captured));
    EXPECT_EQ(from, F3);

    Position pinned = fromFen(pinnedKnight);
    ASSERT_TRUE(findSanOrigin(pinned, D2, Knight, -1, -1, from, captured));
    EXPECT_EQ(from, F3);

    // The only candidate is taken even when pinned; the legality test then
    // rejects the move.
    Position only = fromFen(onlyKnightPinned);
    ASSERT_TRUE(findSanOrigin(only, D4, Knight, -1, -1, from, captured));
    EXPECT_EQ(from, E2);

    Position begin = startPosition();
    EXPECT_FALSE(findSanOrigin(begin, E4, Pawn, -1, -1, from, captured));
    EXPECT_FALSE(findSanOrigin(begin, D4, Knight, -1, -1, from, captured));
    ASSERT_TRUE(findSanOrigin(begin, D2, Knight, -1, -1, from, captured));
    EXPECT_EQ(captured, Pawn);
}
