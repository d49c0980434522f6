// The perft runner's leaf count over positions full of pins, discovered
// checks through en passant, promotions and Chess960 castling: its counting
// loop skips the attack test for moves that cannot expose their own king,
// and these positions are where a wrong shortcut shows.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/movegen_test_support.h"
#include "board/perft.h"

namespace {

using namespace movegen_test;

// Each listed depth whose published count is at most `budget` (the first one
// always), and the position left byte for byte as it was.
void checkRunner(const PerftCase& c, uint64_t budget) {
    SCOPED_TRACE(c.id + ": " + c.fen);
    Position pos;
    ASSERT_TRUE(positionFromFen(c.fen, pos));
    ASSERT_FALSE(c.counts.empty());
    const Position before = pos;
    PerftRunner runner;
    runner.position = &pos;
    for (const auto& dc : c.counts) {
        if (dc.first != c.counts.front().first && dc.second > budget)
            break;
        EXPECT_EQ(runner.countLeaves(dc.first), dc.second) << "depth " << dc.first;
    }
    EXPECT_EQ(0, std::memcmp(&before, &pos, sizeof(pos)));
    runner.position = nullptr;
}

TEST(PerftLeaves, TrickyPositions) {
    const auto cases = readPerftFile(VORLIX_TESTDATA_DIR "/tricky.perft");
    ASSERT_GE(cases.size(), 19u);
    for (const auto& c : cases) checkRunner(c, 4000000);
}

TEST(PerftLeaves, Chess960Positions) {
    const auto cases = readPerftFile(VORLIX_TESTDATA_DIR "/chess960.perft");
    ASSERT_EQ(cases.size(), 960u);
    for (const auto& c : cases) checkRunner(c, 15000);
}

// Positions made for the cases the loop treats apart: a pinned piece that may
// only move along its pin, an en-passant capture that would open the king's
// rank, a king walking along a checking line, and double check.
TEST(PerftLeaves, PinsAndDiscoveries) {
    struct Case {
        const char* fen;
        int depth;
        uint64_t leaves;
    };
    const Case cases[] = {
        // The en-passant capture exd3 would leave the king on a4 open to h4:
        // five king moves and e3.
        {"8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1", 1, 6},
        // Published counts of small positions with pins and discovered checks.
        {"3k4/3p4/8/K1P4r/8/8/8/8 b - - 0 1", 6, 1134888},
        {"8/8/4k3/8/2p5/8/B2P2K1/8 w - - 0 1", 6, 1015133},
        {"8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1", 6, 1440467},
        {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", 6, 661072},
        {"3k4/8/8/8/8/8/8/R3K3 w Q - 0 1", 6, 803711},
        {"r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq - 0 1", 4, 1274206},
        {"2K2r2/4P3/8/8/8/8/8/3k4 w - - 0 1", 6, 3821001},
        {"8/8/1P2K3/8/2n5/1q6/8/5k2 b - - 0 1", 5, 1004658},
        {"4k3/1P6/8/8/8/8/K7/8 w - - 0 1", 6, 217342},
        {"8/k1P5/8/1K6/8/8/8/8 w - - 0 1", 7, 567584},
        {"K1k5/8/P7/8/8/8/8/8 w - - 0 1", 6, 2217},
        {"8/8/2k5/5q2/5n2/8/5K2/8 b - - 0 1", 4, 23527},
    };
    for (const Case& c : cases) {
        Position pos;
        ASSERT_TRUE(positionFromFen(c.fen, pos)) << c.fen;
        PerftRunner runner;
        runner.position = &pos;
        EXPECT_EQ(runner.countLeaves(c.depth), c.leaves) << c.fen;
        runner.position = nullptr;
    }
}

}  // namespace
