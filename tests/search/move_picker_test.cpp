#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "search/move_picker.h"
#include "search_test_support.h"

namespace {

using search_test::EngineOnPosition;

// Piece values written out here, apart from the engine's weight tables.
constexpr int value[8] = {0, 100, 325, 325, 500, 975, 0, 0};
constexpr int captureScoreOf(int victim, int mover, int promotion = 0) {
    return 50000 + 16 * value[victim] - value[mover] + 16 * value[promotion];
}

using Picked = std::pair<int, Move>;  // stage number, move

class Picker : public EngineOnPosition {
protected:
    void SetUp() override {
        EngineOnPosition::SetUp();
        std::memset(mainThread().history, 0, sizeof(mainThread().history));
    }

    std::vector<Picked> pickAll(bool inCheck, Move ttMove, Move killer1, Move killer2,
                                MovePicker* keep = nullptr) {
        MovePicker picker;
        picker.setUp(inCheck, ttMove, killer1, killer2);
        std::vector<Picked> out;
        Move move = NoMove;
        for (int stage; (stage = picker.next(engine->position, move)) != StageDone;) {
            out.emplace_back(stage, move);
            if (out.size() > 300) break;  // a picker that never ends
        }
        EXPECT_EQ(picker.next(engine->position, move), StageDone) << "again after the end";
        if (keep) *keep = picker;
        return out;
    }
    std::vector<Move> pseudoLegal(bool inCheck) {
        ScoredMove list[MaxMoves];
        const int count = engine->position.generateMoves(list, inCheck);
        std::vector<Move> moves;
        for (int i = 0; i < count; i++) moves.push_back(list[i].move);
        return moves;
    }
};

constexpr Move move(int from, int to, int piece, int captured = 0, int promotion = 0) {
    return makeMove(from, to, piece, captured, promotion);
}

TEST_F(Picker, CapturesComeBestFirstWithTheirScores) {
    // A pawn on g7 can promote on g8 or take the bishop on h8; rook d5 and
    // rook a8 can be taken by pawn, knight and rook.
    setFen("r3k2b/6P1/8/3r4/2P2N2/8/8/R3K3 w - - 0 1");
    MovePicker picker;
    picker.setUp(false, NoMove, NoMove, NoMove);
    Move m;
    ASSERT_EQ(picker.next(engine->position, m), StageGoodCaptures);

    const std::vector<std::pair<Move, int>> expected = {
        {move(G7, H8, Pawn, Bishop, Queen), captureScoreOf(Bishop, Pawn, Queen)},  // 70700
        {move(G7, G8, Pawn, 0, Queen), 65500},
        {move(G7, H8, Pawn, Bishop, Rook), captureScoreOf(Bishop, Pawn, Rook)},
        {move(G7, H8, Pawn, Bishop, Knight), captureScoreOf(Bishop, Pawn, Knight)},  // generator order
        {move(G7, H8, Pawn, Bishop, Bishop), captureScoreOf(Bishop, Pawn, Bishop)},  // for the tie
        {move(C4, D5, Pawn, Rook), captureScoreOf(Rook, Pawn)},
        {move(F4, D5, Knight, Rook), captureScoreOf(Rook, Knight)},
        {move(A1, A8, Rook, Rook), captureScoreOf(Rook, Rook)},
        {move(G7, G8, Pawn, 0, Rook), 4000},
        {move(G7, G8, Pawn, 0, Knight), 4000},
        {move(G7, G8, Pawn, 0, Bishop), 4000},
    };
    ASSERT_EQ(picker.count, int(expected.size()));
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(picker.moves[i].move, expected[i].first) << i;
        EXPECT_EQ(picker.moves[i].score, expected[i].second) << i;
    }
    EXPECT_EQ(m, expected[0].first);
    for (size_t i = 1; i < expected.size(); i++) {
        ASSERT_EQ(picker.next(engine->position, m), StageGoodCaptures);
        EXPECT_EQ(m, expected[i].first) << i;
    }
}

TEST_F(Picker, LosingHashCaptureIsReturnedOnceFirst) {
    // Qxd5 loses the queen to cxd5.
    setFen("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
    const Move losing = move(D1, D5, Queen, Pawn);
    auto picked = pickAll(false, NoMove, NoMove, NoMove);
    ASSERT_FALSE(picked.empty());
    EXPECT_EQ(picked.back(), Picked(StageBadCaptures, losing)) << "deferred to the end";
    for (size_t i = 0; i + 1 < picked.size(); i++) EXPECT_EQ(picked[i].first, StageQuiets);

    picked = pickAll(false, losing, NoMove, NoMove);
    EXPECT_EQ(picked.front(), Picked(StageTtMove, losing));
    EXPECT_EQ(std::count_if(picked.begin(), picked.end(),
                            [&](const Picked& p) { return p.second == losing; }),
              1);
    EXPECT_NE(picked.back().first, StageBadCaptures);
}

TEST_F(Picker, KillersFollowTheCapturesAndAreNotRepeated) {
    setFen("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
    const Move losing = move(D1, D5, Queen, Pawn);
    const Move k1 = move(D1, H5, Queen);
    const Move k2 = move(E1, F2, King);
    auto picked = pickAll(false, NoMove, k1, k2);
    ASSERT_GE(picked.size(), 3u);
    EXPECT_EQ(picked[0], Picked(StageKiller1, k1));
    EXPECT_EQ(picked[1], Picked(StageKiller2, k2));
    EXPECT_EQ(picked.back(), Picked(StageBadCaptures, losing));
    for (const Move killer : {k1, k2})
        EXPECT_EQ(std::count_if(picked.begin(), picked.end(),
                                [&](const Picked& p) { return p.second == killer; }),
                  1);

    // A killer equal to the hash move is not returned again; one that is not
    // pseudo-legal here is skipped.
    const Move foreign = move(A2, A4, Pawn);
    picked = pickAll(false, k1, k1, foreign);
    EXPECT_EQ(picked[0], Picked(StageTtMove, k1));
    EXPECT_EQ(picked[1].first, StageQuiets);
    EXPECT_EQ(std::count_if(picked.begin(), picked.end(),
                            [&](const Picked& p) { return p.second == k1 || p.second == foreign; }),
              1);
}

TEST_F(Picker, QuietMovesFollowHistoryThenGenerationOrder) {
    setFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    mainThread().history[White][Pawn][E4] = 300;
    mainThread().history[White][Knight][F3] = 200;
    mainThread().history[Black][Pawn][D4] = 9000;  // the other side's entry plays no part
    MovePicker picker;
    auto picked = pickAll(false, NoMove, NoMove, NoMove, &picker);
    const std::vector<Move> generated = pseudoLegal(false);
    ASSERT_EQ(picked.size(), generated.size());
    EXPECT_EQ(picked[0], Picked(StageQuiets, move(E2, E4, Pawn)));
    EXPECT_EQ(picked[1], Picked(StageQuiets, move(G1, F3, Knight)));
    // The rest keep the generator's order.
    std::vector<Move> rest;
    for (Move m : generated)
        if (m != move(E2, E4, Pawn) && m != move(G1, F3, Knight)) rest.push_back(m);
    for (size_t i = 0; i < rest.size(); i++) EXPECT_EQ(picked[i + 2].second, rest[i]) << i;
    EXPECT_EQ(picker.moves[0].score, 4300);
    EXPECT_EQ(picker.moves[1].score, 4200);
    EXPECT_EQ(picker.moves[2].score, 4000);
}

TEST_F(Picker, StagesSkipWhatIsMissing) {
    // No capture: the hash move, then straight to the killers.
    setFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    auto picked = pickAll(false, move(D2, D4, Pawn), move(E2, E4, Pawn), NoMove);
    EXPECT_EQ(picked[0], Picked(StageTtMove, move(D2, D4, Pawn)));
    EXPECT_EQ(picked[1], Picked(StageKiller1, move(E2, E4, Pawn)));
    EXPECT_EQ(picked.size(), 20u);

    // No quiet move (every white move captures): from the killers straight to
    // the end, with the unusable killer dropped.
    setFen("k7/8/8/8/8/6pp/6PP/5rRK w - - 0 1");
    picked = pickAll(false, NoMove, move(A2, A3, Pawn), NoMove);
    ASSERT_EQ(picked.size(), pseudoLegal(false).size());
    for (const Picked& p : picked) EXPECT_EQ(p.first, StageGoodCaptures);
}

TEST_F(Picker, EvasionsRankCapturesThenKillersThenHistory) {
    // The rook on e5 checks; the bishop can take it, the knight can block.
    setFen("4k3/8/8/4r3/8/2B5/3N4/4K3 w - - 0 1");
    const Move takeRook = move(C3, E5, Bishop, Rook);
    const Move block = move(D2, E4, Knight);
    const Move step = move(E1, F1, King);
    MovePicker picker;
    auto picked = pickAll(true, NoMove, step, block, &picker);
    ASSERT_GE(picked.size(), 4u);
    EXPECT_EQ(picked[0], Picked(StageEvasions, takeRook));
    EXPECT_EQ(picked[1], Picked(StageEvasions, step));
    EXPECT_EQ(picked[2], Picked(StageEvasions, block));
    EXPECT_EQ(picker.moves[0].score, captureScoreOf(Rook, Bishop));
    EXPECT_EQ(picker.moves[1].score, 45010);
    EXPECT_EQ(picker.moves[2].score, 45000);
    for (int i = 3; i < picker.count; i++) EXPECT_EQ(picker.moves[i].score, 4000);
    for (const Picked& p : picked) EXPECT_EQ(p.first, StageEvasions) << "killers never on their own";

    // The hash move comes first and only once.
    picked = pickAll(true, block, step, NoMove);
    EXPECT_EQ(picked[0], Picked(StageEvasionTtMove, block));
    EXPECT_EQ(std::count_if(picked.begin(), picked.end(),
                            [&](const Picked& p) { return p.second == block; }),
              1);
}

TEST_F(Picker, MatedSideHasNoEvasion) {
    setFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_TRUE(pickAll(true, NoMove, NoMove, NoMove).empty());
    // A hash move from another position is dropped without a word.
    EXPECT_TRUE(pickAll(true, move(E2, E4, Pawn), NoMove, NoMove).empty());
}

// Over many positions, with hash moves and killers taken from this position
// or from others, the picker hands out exactly the pseudo-legal moves, each
// once.
TEST_F(Picker, EveryPseudoLegalMoveExactlyOnce) {
    std::vector<std::string> fens;
    std::ifstream in(std::string(VORLIX_TESTDATA_DIR) + "/tricky.perft");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("epd ", 0) == 0) fens.push_back(line.substr(4) + " 0 1");
    ASSERT_GE(fens.size(), 10u);

    std::mt19937 random(7);
    std::vector<Move> seen;  // moves of earlier positions: foreign hash moves and killers
    int positions = 0;
    for (const std::string& fen : fens) {
        setFen(fen);
        for (int ply = 0; ply < 40; ply++, positions++) {
            const bool inCheck = engine->position.inCheck();
            std::vector<Move> expected = pseudoLegal(inCheck);
            if (expected.empty()) break;
            auto pick = [&]() -> Move {
                if (random() % 2 && !seen.empty()) return seen[random() % seen.size()];
                return expected[random() % expected.size()];
            };
            // Killers are quiet moves (only quiet cut-offs become killers).
            auto pickQuiet = [&]() -> Move {
                for (int tries = 0; tries < 8; tries++) {
                    const Move m = pick();
                    if (moveCaptured(m) == NoPiece && movePromotion(m) == NoPiece) return m;
                }
                return NoMove;
            };
            const Move tt = pick(), k1 = pickQuiet();
            Move k2 = pickQuiet();
            if (k2 == k1) k2 = NoMove;
            std::vector<Move> got;
            std::string trace;
            for (const Picked& p : pickAll(inCheck, tt, k1, k2)) {
                got.push_back(p.second);
                trace += std::to_string(p.first) + ":" + std::to_string(p.second) + " ";
            }
            std::sort(got.begin(), got.end());
            std::vector<Move> want = expected;
            // In check a pseudo-legal hash move is handed out even when it
            // does not answer the check: the legality test rejects it.
            if (inCheck && engine->position.isPseudoLegal(tt) &&
                std::find(want.begin(), want.end(), tt) == want.end())
                want.push_back(tt);
            std::sort(want.begin(), want.end());
            std::vector<Move> extra, missing;
            std::set_difference(got.begin(), got.end(), want.begin(), want.end(),
                                std::back_inserter(extra));
            std::set_difference(want.begin(), want.end(), got.begin(), got.end(),
                                std::back_inserter(missing));
            ASSERT_EQ(got, want) << fen << " ply " << ply << " extra " << extra.size() << " "
                                 << (extra.empty() ? 0 : extra[0]) << " missing " << missing.size()
                                 << " " << (missing.empty() ? 0 : missing[0]) << " tt " << tt
                                 << " k " << k1 << " " << k2 << " check " << inCheck << "\n"
                                 << trace;

            seen.insert(seen.end(), expected.begin(), expected.end());
            // Walk on with a random legal move.
            ScoredMove legal[MaxMoves];
            const int count = engine->position.generateLegalMoves(legal, inCheck);
            if (count == 0) break;
            UndoRecord undo;
            engine->position.makeMove(legal[random() % count].move, undo);
        }
    }
    EXPECT_GT(positions, 200);
}

TEST_F(Picker, QuiescenceCaptureScoresTable) {
    ScoredMove list[] = {
        {move(A7, A8, Pawn, 0, Queen), 0},          // queen push: 2000, exchange-tested
        {move(A7, B8, Pawn, Rook, Queen), 0},       // capture plus 15600
        {move(C3, D5, Knight, Bishop), 0},          // equal values: a capture score
        {move(D1, D5, Queen, Pawn), 0},             // cheaper victim: 2000
        {move(E1, E2, King, Pawn), 0},              // the king's value is 0
        {move(A7, A8, Pawn, 0, Knight), 0},         // any other move: -1
    };
    const int expected[] = {2000, captureScoreOf(Rook, Pawn) + 15600, captureScoreOf(Bishop, Knight),
                            2000, captureScoreOf(Pawn, King), -1};
    scoreCaptures(list, 6);
    // Sorted: b8 capture, N x B, K x P, then the two 2000s in list order, then -1.
    const int order[] = {1, 2, 4, 0, 3, 5};
    ScoredMove original[] = {
        {move(A7, A8, Pawn, 0, Queen), 0}, {move(A7, B8, Pawn, Rook, Queen), 0},
        {move(C3, D5, Knight, Bishop), 0}, {move(D1, D5, Queen, Pawn), 0},
        {move(E1, E2, King, Pawn), 0},     {move(A7, A8, Pawn, 0, Knight), 0},
    };
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(list[i].move, original[order[i]].move) << i;
        EXPECT_EQ(list[i].score, expected[order[i]]) << i;
    }
}

TEST_F(Picker, QuiescenceEvasionScores) {
    setFen("4k3/8/8/4r3/8/2B5/3N4/4K3 w - - 0 1");
    mainThread().history[White][King][F2] = 77;
    ScoredMove list[MaxMoves];
    const int count = engine->position.generateQsearchEvasions(list);
    scoreEvasions(engine->position, list, count);
    ASSERT_GE(count, 3);
    EXPECT_EQ(list[0].move, move(C3, E5, Bishop, Rook));
    EXPECT_EQ(list[0].score, captureScoreOf(Rook, Bishop));
    EXPECT_EQ(list[1].move, move(E1, F2, King));
    EXPECT_EQ(list[1].score, 4077);
    for (int i = 2; i < count; i++) EXPECT_EQ(list[i].score, 4000);

    ScoredMove promotions[] = {{move(B7, B8, Pawn, 0, Rook), 0}, {move(B7, B8, Pawn, 0, Queen), 0}};
    scoreEvasions(engine->position, promotions, 2);
    EXPECT_EQ(promotions[0].score, 65500);
    EXPECT_EQ(promotions[1].score, -1);
}

TEST(MoveSort, StableDescendingAndSafeOnTinyLists) {
    ScoredMove list[] = {{1, 5}, {2, 9}, {3, 5}, {4, 9}, {5, -1}};
    sortMoves(list, 5);
    const Move order[] = {2, 4, 1, 3, 5};
    for (int i = 0; i < 5; i++) EXPECT_EQ(list[i].move, order[i]);
    ScoredMove one[] = {{7, 1}};
    sortMoves(one, 1);
    sortMoves(one, 0);
    EXPECT_EQ(one[0].move, 7u);
}

}  // namespace
