#include <gtest/gtest.h>

#include "board/bitops.h"

namespace {

struct BitCase {
    uint64_t bits;
    int count;
    int lowest;
};

const BitCase bitCases[] = {
    {0x1ULL, 1, 0},
    {0x8000000000000000ULL, 1, 63},
    {0xffffffffffffffffULL, 64, 0},
    {0x0001222800012228ULL, 10, 3},
    {0x100000000ULL, 1, 32},           // first bit of the high half
    {0xff00000000000000ULL, 8, 56},    // high half only
    {0x5555555555555555ULL, 32, 0},
    {0xaaaaaaaaaaaaaaaaULL, 32, 1},
};

TEST(BitOps, CountAndLowestBit) {
    for (const BitCase& c : bitCases) {
        EXPECT_EQ(popCount(c.bits), c.count) << std::hex << c.bits;
        EXPECT_EQ(lowestBit(c.bits), c.lowest) << std::hex << c.bits;
    }
    EXPECT_EQ(popCount(0), 0);
}

TEST(BitOps, PopLowestWalksEveryBitInOrder) {
    uint64_t b = 0x8000000100000011ULL;
    const int expected[] = {0, 4, 32, 63};
    for (int square : expected) EXPECT_EQ(popLowest(b), square);
    EXPECT_EQ(b, 0u);
}

}  // namespace
