#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "search/tt.h"
#include "support/log_capture.h"

namespace {

constexpr Move sentinelMove = 0xdeadbeef;
constexpr int sentinelScore = -12345;

// Keys that share one bucket: equal low 32 bits, different high halves.
Key bucketKey(int n) { return uint64_t(n + 1) << 32 | 0x1230; }

class TableTest : public testing::Test {
protected:
    TranspositionTable table;
    void SetUp() override { ASSERT_TRUE(table.resize(1)); }

    int probe(Key key, int depth, int ply, int alpha, int beta) {
        move = sentinelMove;
        score = sentinelScore;
        return table.probe(key, depth, ply, alpha, beta, move, score);
    }
    // The raw entry of a key in its bucket, or null.
    const TTEntry* find(Key key) const {
        const TTEntry* bucket = table.entries + (uint32_t(key) & table.indexMask);
        for (int i = 0; i < 4; i++)
            if ((bucket[i].check.load() ^ bucket[i].data.load()) == key) return &bucket[i];
        return nullptr;
    }
    bool present(Key key) const { return find(key) != nullptr; }

    Move move = 0;
    int score = 0;
};

TEST_F(TableTest, FreshTableMissesAndWritesNothing) {
    EXPECT_EQ(probe(0x123456789abcdefULL, 0, 0, -32001, 32001), ProbeMiss);
    EXPECT_EQ(move, sentinelMove);
    EXPECT_EQ(score, sentinelScore);
}

// One stored entry probed with various windows and depths.
TEST_F(TableTest, ProbeResultsByBoundWindowAndDepth) {
    struct Case {
        Bound bound;
        int storedScore, storedDepth;
        int probeDepth, alpha, beta;
        int expected;
        bool scoreWritten;
    };
    const Case cases[] = {
        {Exact, 37, 8, 8, -50, 50, ProbeExact, true},
        {Exact, 37, 8, 2, 100, 200, ProbeExact, true},   // any window
        {Upper, 10, 6, 6, 10, 20, ProbeFailLow, true},   // score <= alpha
        {Upper, 10, 6, 6, 9, 20, ProbeMiss, true},       // no cut, score still given
        {Lower, 10, 6, 6, 0, 10, ProbeFailHigh, true},   // score >= beta
        {Lower, 10, 6, 6, 0, 11, ProbeMiss, true},
        {Exact, 37, 6, 7, -50, 50, ProbeMiss, false},    // too shallow: move only
        {Lower, 500, 0, -2, 0, 10, ProbeMiss, false},    // depths compare unsigned
        {Exact, -3, 255, 255, -50, 50, ProbeExact, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        Key key = 0x9e3779b97f4a7c15ULL * uint64_t(++n);
        Move stored = makeMove(E2, E4, Pawn) + Move(n);
        table.store(key, stored, c.storedScore, c.storedDepth, 0, c.bound);
        EXPECT_EQ(probe(key, c.probeDepth, 0, c.alpha, c.beta), c.expected);
        EXPECT_EQ(move, stored);
        EXPECT_EQ(score, c.scoreWritten ? c.storedScore : sentinelScore);
    }
}

TEST_F(TableTest, MateScoresAreHeldRelativeToTheEntry) {
    struct Case {
        int score, storePly, probePly, held, returned;
    };
    const Case cases[] = {
        {32000 - 10, 5, 3, 31995, 31992},  // stored five higher, read back two higher
        {-(32000 - 10), 5, 5, -31995, -31990},
        {32000 - 1, 1, 7, 32000, 31993},
        {-(32000 - 20), 20, 0, -32000, -32000},
        {31744, 9, 4, 31744, 31744},        // not beyond the threshold: unchanged
        {-31744, 9, 4, -31744, -31744},
        {250, 30, 2, 250, 250},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        Key key = 0x51ed270b27f3a3d1ULL * uint64_t(++n);
        table.store(key, 1, c.score, 4, c.storePly, Exact);
        const TTEntry* entry = find(key);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entryScore(entry->data.load()), c.held);
        EXPECT_EQ(probe(key, 4, c.probePly, -32001, 32001), ProbeExact);
        EXPECT_EQ(score, c.returned);
        EXPECT_EQ(probe(key, 4, c.storePly, -32001, 32001), ProbeExact);
        EXPECT_EQ(score, c.score);  // round trip at the storing ply
    }
}

TEST_F(TableTest, SameKeyIsAlwaysOverwritten) {
    Key key = bucketKey(0);
    table.store(key, 11, 5, 20, 0, Exact);
    table.store(key, 22, -7, 2, 0, Upper);
    EXPECT_EQ(probe(key, 2, 0, -7, 50), ProbeFailLow);
    EXPECT_EQ(move, Move(22));
    EXPECT_EQ(score, -7);
}

TEST_F(TableTest, ReplacementTakesTheLowestWorthAndProtectsTheCurrentSearch) {
    table.age = 1;
    const int depths[] = {8, 6, 10, 4};
    for (int i = 0; i < 4; i++) table.store(bucketKey(i), Move(i + 1), 0, depths[i], 0, Exact);
    table.store(bucketKey(4), 5, 0, 2, 0, Exact);  // replaces the depth-4 entry
    EXPECT_FALSE(present(bucketKey(3)));
    for (int i : {0, 1, 2, 4}) EXPECT_TRUE(present(bucketKey(i))) << i;

    table.age = (table.age + 1) & 63;              // next search
    table.store(bucketKey(5), 6, 0, 1, 0, Exact);  // the depth-2 entry is now the cheapest
    EXPECT_FALSE(present(bucketKey(4)));

    // A cut by the new search refreshes the depth-8 entry; a new entry of
    // depth 1 outranks the old depth-6 and depth-10 ones.
    EXPECT_EQ(probe(bucketKey(0), 8, 0, -32001, 32001), ProbeExact);
    EXPECT_EQ(entryAge(find(bucketKey(0))->data.load()), table.age);
    table.store(bucketKey(6), 7, 0, 1, 0, Exact);
    EXPECT_FALSE(present(bucketKey(1)));
    EXPECT_TRUE(present(bucketKey(5)));
    table.store(bucketKey(7), 8, 0, 1, 0, Exact);
    EXPECT_FALSE(present(bucketKey(2)));
    EXPECT_TRUE(present(bucketKey(0)));
    EXPECT_TRUE(present(bucketKey(5)));
    EXPECT_TRUE(present(bucketKey(6)));
}

TEST_F(TableTest, AgeWrapMakesAnOldEntryCurrentAgain) {
    table.store(bucketKey(0), 1, 0, 1, 0, Exact);  // age 0
    for (int i = 0; i < 63; i++) table.age = (table.age + 1) & 63;
    for (int i = 1; i < 4; i++) table.store(bucketKey(i), Move(i + 1), 0, 20, 0, Exact);
    table.age = (table.age + 1) & 63;  // back to 0
    EXPECT_EQ(table.age, 0u);
    table.store(bucketKey(4), 5, 0, 20, 0, Exact);
    EXPECT_TRUE(present(bucketKey(0)));
    EXPECT_FALSE(present(bucketKey(1)));
}

TEST_F(TableTest, AnEntryMixedFromTwoStoresIsAbsent) {
    Key a = bucketKey(0), b = bucketKey(1);
    table.store(a, 1, 10, 4, 0, Exact);
    table.store(b, 2, 20, 4, 0, Exact);
    // Put b's data word under a's check word, as a reader sees an entry that
    // is overwritten between its two loads.
    TTEntry* bucket = table.entries + (uint32_t(a) & table.indexMask);
    bucket[0].data.store(bucket[1].data.load());
    EXPECT_EQ(probe(a, 0, 0, -32001, 32001), ProbeMiss);
    EXPECT_EQ(move, sentinelMove);
}

TEST_F(TableTest, ClearEmptiesEveryEntryAndResetsTheAge) {
    table.age = 17;
    table.store(bucketKey(0), 1, 10, 4, 0, Exact);
    table.clear();
    EXPECT_EQ(table.age, 0u);
    EXPECT_EQ(probe(bucketKey(0), 0, 0, -32001, 32001), ProbeMiss);
}

TEST(TableSize, RoundsRequestsToPowersOfTwo) {
    struct Case {
        int request;
        uint64_t megabytes;
    };
    const Case cases[] = {{-5, 1},       {0, 1},         {1, 1},        {2, 2},
                          {3, 4},        {1000, 1024},   {16384, 16384}, {16385, 32768},
                          {32768, 32768}, {32769, 1},    {40000, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(TranspositionTable::roundedMegabytes(c.request), c.megabytes) << c.request;
}

TEST(TableSize, ResizeGivesEntryCountsAndLogsTheRequest) {
    struct Case {
        int request;
        uint32_t entries;
    };
    const Case cases[] = {{1, 65536}, {0, 65536}, {3, 262144}, {40000, 65536}};
    for (const Case& c : cases) {
        LogCapture log("resize");
        TranspositionTable table;
        ASSERT_TRUE(table.resize(c.request));
        EXPECT_EQ(table.entryCount, c.entries);
        EXPECT_EQ(table.indexMask, c.entries - 4);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(table.entries) % 64, 0u);
        EXPECT_TRUE(log.contains("Init main hash table : " + std::to_string(c.request) + " Mb"));
    }
}

// An allocator that records every request and refuses those above a limit.
std::vector<size_t> requests;
size_t allocationLimit = 0;
void* limitedAllocator(size_t bytes) {
    requests.push_back(bytes);
    return bytes <= allocationLimit ? std::calloc(bytes, 1) : nullptr;
}

TEST(TableSize, RefusedSizesAreHalvedDownToWhatCanBeHad) {
    requests.clear();
    allocationLimit = (size_t(4) << 20) + 63;
    TranspositionTable table;
    LogCapture log("halve");
    ASSERT_TRUE(table.resizeWith(16384, limitedAllocator));
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.front(), (size_t(16384) << 20) + 63);
    for (size_t i = 1; i < requests.size(); i++) EXPECT_EQ(requests[i] - 63, (requests[i - 1] - 63) / 2);
    EXPECT_EQ(requests.back(), allocationLimit);
    EXPECT_EQ(table.entryCount, 262144u);
    EXPECT_EQ(table.allocationBytes(), requests.back());
    table.store(bucketKey(0), 9, 1, 1, 0, Exact);  // the memory is usable
    Move move = 0;
    int score = 0;
    EXPECT_EQ(table.probe(bucketKey(0), 1, 0, -32001, 32001, move, score), ProbeExact);
    EXPECT_FALSE(log.contains("out of memory"));
}

TEST(TableSize, NoMemoryAtAllMeansProbesMissAndStoresDoNothing) {
    requests.clear();
    allocationLimit = 0;
    TranspositionTable table;
    LogCapture log("nomem");
    EXPECT_FALSE(table.resizeWith(8, limitedAllocator));
    EXPECT_EQ(requests.size(), 4u);  // 8, 4, 2, 1 MB
    EXPECT_EQ(table.entries, nullptr);
    EXPECT_EQ(table.memory, nullptr);
    EXPECT_TRUE(log.contains("Hash table : out of memory"));
    table.store(bucketKey(0), 9, 1, 1, 0, Exact);
    Move move = sentinelMove;
    int score = sentinelScore;
    EXPECT_EQ(table.probe(bucketKey(0), 0, 0, -32001, 32001, move, score), ProbeMiss);
    EXPECT_EQ(move, sentinelMove);
    table.clear();  // harmless without memory
}

TEST(TableSize, SizesA32BitBuildCannotAddressAreNotUsed) {
    const uint64_t limit32 = UINT32_MAX;
    EXPECT_FALSE(TranspositionTable::representable(4096, limit32));  // 4 GB + 63 bytes
    EXPECT_TRUE(TranspositionTable::representable(2048, limit32));
    EXPECT_FALSE(TranspositionTable::representable(65536, UINT64_MAX));  // 2^32 entries
    EXPECT_TRUE(TranspositionTable::representable(32768, UINT64_MAX));
    EXPECT_TRUE(TranspositionTable::representable(1, limit32));
}

}  // namespace
