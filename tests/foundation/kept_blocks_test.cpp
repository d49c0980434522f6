// The kept blocks: a block given back serves the next request of its size
// and alignment, and only that; zero-filled blocks are zero however they were
// used before; alignment holds; the newest block is kept whatever the bound
// makes room for.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/kept_blocks.h"

namespace {

// Sizes no other part of the program asks for.
constexpr size_t oddBytes = 5003;
constexpr size_t maxAlign = alignof(std::max_align_t);

bool alignedTo(const void* block, size_t alignment) {
    return reinterpret_cast<uintptr_t>(block) % alignment == 0;
}

TEST(KeptBlocks, ABlockGivenBackServesTheNextRequestOfItsSizeAndAlignment) {
    void* block = takeBlock(oddBytes, 64);
    ASSERT_NE(block, nullptr);
    giveBackBlock(block, oddBytes, 64);
    void* again = takeBlock(oddBytes, 64);
    EXPECT_EQ(again, block);
    giveBackBlock(again, oddBytes, 64);
}

TEST(KeptBlocks, OtherSizesAndAlignmentsGetBlocksOfTheirOwn) {
    void* block = takeBlock(oddBytes, 64);
    ASSERT_NE(block, nullptr);
    giveBackBlock(block, oddBytes, 64);

    const struct {
        size_t bytes;
        size_t alignment;
    } others[] = {{oddBytes + 1, 64}, {oddBytes - 1, 64}, {oddBytes, maxAlign}, {oddBytes, 128}};
    std::vector<void*> taken;
    for (const auto& other : others) {
        void* otherBlock = takeBlock(other.bytes, other.alignment);
        ASSERT_NE(otherBlock, nullptr);
        EXPECT_NE(otherBlock, block) << other.bytes << " " << other.alignment;
        EXPECT_TRUE(alignedTo(otherBlock, other.alignment)) << other.bytes << " " << other.alignment;
        taken.push_back(otherBlock);
    }
    EXPECT_EQ(takeBlock(oddBytes, 64), block);

    giveBackBlock(block, oddBytes, 64);
    for (size_t i = 0; i < taken.size(); i++)
        giveBackBlock(taken[i], others[i].bytes, others[i].alignment);
}

TEST(KeptBlocks, ZeroFilledBlocksAreZeroAfterAnyUse) {
    constexpr size_t bytes = oddBytes + 7;
    auto* block = static_cast<unsigned char*>(takeZeroedBlock(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(std::all_of(block, block + bytes, [](unsigned char c) { return c == 0; }));
    std::memset(block, 0xa5, bytes);
    giveBackBlock(block, bytes, maxAlign);

    auto* again = static_cast<unsigned char*>(takeZeroedBlock(bytes));
    ASSERT_EQ(again, block);
    EXPECT_TRUE(std::all_of(again, again + bytes, [](unsigned char c) { return c == 0; }));
    giveBackBlock(again, bytes, maxAlign);
}

// However many blocks, and however large, were given back before, the last
// one within the bound is kept.
TEST(KeptBlocks, TheNewestBlockIsKept) {
    const size_t sizes[] = {1000, KeptBlockBytes / 3, KeptBlockBytes, 2000};
    for (const size_t bytes : sizes) {
        std::vector<void*> earlier;
        for (int i = 0; i < 40; i++) earlier.push_back(takeBlock(oddBytes + 100 + size_t(i), 64));
        for (int i = 0; i < 40; i++) giveBackBlock(earlier[size_t(i)], oddBytes + 100 + size_t(i), 64);

        void* block = takeBlock(bytes, 64);
        ASSERT_NE(block, nullptr);
        giveBackBlock(block, bytes, 64);
        void* again = takeBlock(bytes, 64);
        EXPECT_EQ(again, block) << bytes;
        giveBackBlock(again, bytes, 64);
    }
}

}  // namespace
