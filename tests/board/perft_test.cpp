// Leaf counts of the legal move tree against published figures: the start
// position, the tricky collection and the 960 Chess960 start positions.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "board/movegen_test_support.h"

namespace {

using namespace movegen_test;

const std::string startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Runs every listed depth up to the budget (always at least depth 1), and
// checks that the tree walk leaves the position exactly as it found it.
void checkPerftCase(const PerftCase& c, uint64_t budget) {
    SCOPED_TRACE(c.id + ": " + c.fen);
    Position pos;
    ASSERT_TRUE(positionFromFen(c.fen, pos));
    ASSERT_FALSE(c.counts.empty());
    const Position before = pos;
    int deepest = c.counts.front().first;
    for (const auto& dc : c.counts)
        if (dc.second <= budget)
            deepest = std::max(deepest, dc.first);
    for (const auto& dc : c.counts) {
        if (dc.first > deepest)
            continue;
        EXPECT_EQ(perft(pos, dc.first), dc.second) << "depth " << dc.first;
    }
    EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(pos)));
}

TEST(Perft, StartPositionCounts) {
    const PerftCase start{"start", startFen, {{1, 20}, {2, 400}, {3, 8902}, {4, 197281}, {5, 4865609}}};
    checkPerftCase(start, perftNodeBudget());
}

struct DetailedCounts {
    uint64_t nodes = 0, captures = 0, enPassant = 0, checks = 0, mates = 0, promotions = 0, castles = 0;
};

void perftDetailed(Position& pos, int depth, DetailedCounts& counts) {
    ScoredMove list[MaxMoves];
    const int mover = pos.sideToMove;
    const int n = pos.generateMoves(list, pos.inCheck());
    for (int i = 0; i < n; ++i) {
        const Move move = list[i].move;
        UndoRecord undo;
        pos.makeMove(move, undo);
        if (!pos.isAttacked(pos.kingSquare[mover], mover ^ 1)) {
            if (depth > 1) {
                perftDetailed(pos, depth - 1, counts);
            } else {
                ++counts.nodes;
                counts.captures += moveCaptured(move) != 0;
                counts.enPassant += isEnPassant(move);
                counts.promotions += movePromotion(move) != 0;
                counts.castles += isCastling(move);
                if (pos.inCheck()) {
                    ++counts.checks;
                    counts.mates += legalMoves(pos).empty();
                }
            }
        }
        pos.unmakeMove(move, undo);
    }
}

TEST(Perft, StartPositionDetailedDepthFour) {
    Position pos = fromFen(startFen);
    DetailedCounts counts;
    perftDetailed(pos, 4, counts);
    EXPECT_EQ(counts.nodes, 197281u);
    EXPECT_EQ(counts.captures, 1576u);
    EXPECT_EQ(counts.enPassant, 0u);
    EXPECT_EQ(counts.checks, 469u);
    EXPECT_EQ(counts.mates, 8u);
    EXPECT_EQ(counts.promotions, 0u);
    EXPECT_EQ(counts.castles, 0u);
}

// Kiwipete at depth 3 exercises every kind of move word at the leaves.
TEST(Perft, KiwipeteDetailedDepthThree) {
    Position pos = fromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
    DetailedCounts counts;
    perftDetailed(pos, 3, counts);
    EXPECT_EQ(counts.nodes, 97862u);
    EXPECT_EQ(counts.captures, 17102u);
    EXPECT_EQ(counts.enPassant, 45u);
    EXPECT_EQ(counts.checks, 993u);
    EXPECT_EQ(counts.mates, 1u);
    EXPECT_EQ(counts.promotions, 0u);
    EXPECT_EQ(counts.castles, 3162u);
}

const std::vector<PerftCase>& trickyCases() {
    static const std::vector<PerftCase> cases = readPerftFile(VORLIX_TESTDATA_DIR "/tricky.perft");
    return cases;
}

const std::vector<PerftCase>& chess960Cases() {
    static const std::vector<PerftCase> cases = readPerftFile(VORLIX_TESTDATA_DIR "/chess960.perft");
    return cases;
}

TEST(Perft, DataFilesLoad) {
    EXPECT_GE(trickyCases().size(), 19u);
    EXPECT_EQ(chess960Cases().size(), 960u);
}

class TrickyPerft : public ::testing::TestWithParam<size_t> {};

TEST_P(TrickyPerft, PublishedCounts) {
    ASSERT_LT(GetParam(), trickyCases().size());
    checkPerftCase(trickyCases()[GetParam()], perftNodeBudget());
}

std::string trickyName(const ::testing::TestParamInfo<size_t>& info) {
    std::string name = info.param < trickyCases().size() ? trickyCases()[info.param].id : "missing";
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(File, TrickyPerft, ::testing::Range<size_t>(0, trickyCases().size()), trickyName);

// The 960 positions in shards, so that CTest spreads them over the cores.
constexpr size_t chess960Shards = 16;

class Chess960Perft : public ::testing::TestWithParam<size_t> {};

TEST_P(Chess960Perft, PublishedCounts) {
    const auto& cases = chess960Cases();
    const size_t per = (cases.size() + chess960Shards - 1) / chess960Shards;
    for (size_t i = GetParam() * per; i < std::min(cases.size(), (GetParam() + 1) * per); ++i)
        checkPerftCase(cases[i], perftNodeBudget());
}

INSTANTIATE_TEST_SUITE_P(Shard, Chess960Perft, ::testing::Range<size_t>(0, chess960Shards));

// Every listed depth of both files (depth 6, billions of leaves): run by hand.
TEST(Perft, DISABLED_FullDepthAllFiles) {
    for (const auto& c : trickyCases())
        checkPerftCase(c, ~uint64_t(0));
    for (const auto& c : chess960Cases())
        checkPerftCase(c, ~uint64_t(0));
}

}  // namespace
