#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/position.h"
#include "board/types.h"
#include "eval/eval_params.h"
#include "eval/pawns.h"
#include "eval/weights.h"

namespace {

Bitboard bits(std::initializer_list<int> squares) {
    Bitboard b = 0;
    for (int s : squares) b |= Bitboard(1) << s;
    return b;
}

// Kings on e1 and e8 plus the given pawns, white to move.
Position positionWith(std::initializer_list<int> whitePawns, std::initializer_list<int> blackPawns) {
    int8_t board[64] = {};
    board[E1] = King;
    board[E8] = -King;
    for (int s : whitePawns) board[s] = Pawn;
    for (int s : blackPawns) board[s] = -Pawn;
    Position position;
    position.clear();
    position.setup(board, White, 0, 0, 0);
    return position;
}

class PawnStructure : public testing::Test {
protected:
    std::unique_ptr<PawnHashTable> table = std::make_unique<PawnHashTable>();  // zero-filled

    void SetUp() override { initEvalWeights(EvalParams{}, false); }
    void TearDown() override { initEvalWeights(EvalParams{}, false); }
};

struct StructureCase {
    const char* name;
    std::vector<int> white;
    std::vector<int> black;
    int mid;
    int end;
    Bitboard whitePassed;
    Bitboard blackPassed;
};

const std::vector<StructureCase>& structureCases() {
    static const std::vector<StructureCase> cases = {
        {"initial position",
         {A2, B2, C2, D2, E2, F2, G2, H2}, {A7, B7, C7, D7, E7, F7, G7, H7}, 0, 0, 0, 0},
        // a2 doubled, isolated and passed; a3 isolated and passed; a3's
        // piece-square value is -2.
        {"white a2 a3", {A2, A3}, {}, -32, -50, bits({A3}), 0},
        // d3 backward (stop square d4 attacked by e5, no support on c/e at
        // rank 3 or below); c4 passed; e5 isolated.
        {"backward d3", {C4, D3}, {E5}, -17, 0, bits({C4}), 0},
        // c3 supports d3 from level: no longer backward.
        {"supported d3", {C3, D3}, {E5}, -1, 15, bits({C3}), 0},
        // The colour mirror of the backward case.
        {"backward d6", {E4}, {C5, D6}, 17, 0, 0, bits({C5})},
        // Pawns on first and last ranks, which set-up from a board accepts:
        // spans ahead of a last-rank pawn are empty, never off the board.
        {"edge ranks", {B1, G7, G8}, {C8, F1}, -20, -35, bits({G8}), bits({F1})},
        // Three isolated pawns on a file, the front one blocked: the two rear
        // ones are doubled, none is passed. White: squares -1 (b3) -2 (b4),
        // doubled 2 x 10/20, isolated 3 x 10/15; black b5: square -2,
        // isolated 10/15.
        {"tripled", {B2, B3, B4}, {B5}, -53 - (-12), -85 - (-15), 0, 0},
    };
    return cases;
}

TEST_F(PawnStructure, ScoresAndPassedSets) {
    for (const StructureCase& c : structureCases()) {
        SCOPED_TRACE(c.name);
        Bitboard white = 0, black = 0;
        for (int s : c.white) white |= Bitboard(1) << s;
        for (int s : c.black) black |= Bitboard(1) << s;

        const PawnHashEntry direct = scorePawnStructure(white, black);
        EXPECT_EQ(direct.mid, c.mid);
        EXPECT_EQ(direct.end, c.end);
        EXPECT_EQ(direct.whitePassed, c.whitePassed);
        EXPECT_EQ(direct.blackPassed, c.blackPassed);

        // Through a real position and the table: first a fill, then a hit.
        int8_t board[64] = {};
        board[E1] = King;
        board[H8] = -King;
        for (int s : c.white) board[s] = Pawn;
        for (int s : c.black) board[s] = -Pawn;
        Position position;
        position.clear();
        position.setup(board, White, 0, 0, 0);
        ASSERT_NE(position.pawnKey, 0u);
        for (int probe = 0; probe < 2; ++probe) {
            const PawnHashEntry result = probePawns(position, *table);
            EXPECT_EQ(result.mid, c.mid);
            EXPECT_EQ(result.end, c.end);
            EXPECT_EQ(result.whitePassed, c.whitePassed);
            EXPECT_EQ(result.blackPassed, c.blackPassed);
        }
        EXPECT_EQ(table->slot(position.pawnKey).key, position.pawnKey);
    }
}

TEST_F(PawnStructure, StartPositionProbe) {
    Position position;
    position.clear();
    position.setStartPosition();
    const PawnHashEntry result = probePawns(position, *table);
    EXPECT_EQ(result.mid, 0);
    EXPECT_EQ(result.end, 0);
    EXPECT_EQ(result.whitePassed, 0u);
    EXPECT_EQ(result.blackPassed, 0u);
}

TEST_F(PawnStructure, KeysSharingASlotEvictEachOtherWithoutMixingScores) {
    const Bitboard aWhite = bits({A2, A3}), aBlack = 0;      // mid -32
    const Bitboard bWhite = bits({C4, D3}), bBlack = bits({E5});  // mid -17
    const uint64_t keyA = 0x123456789abc0001ULL;
    const uint64_t keyB = keyA ^ (uint64_t(1) << 40);  // same low 16 bits
    ASSERT_EQ(&table->slot(keyA), &table->slot(keyB));

    EXPECT_EQ(probePawns(keyA, aWhite, aBlack, *table).mid, -32);
    EXPECT_EQ(table->slot(keyA).key, keyA);
    EXPECT_EQ(probePawns(keyB, bWhite, bBlack, *table).mid, -17);  // not A's stored -32
    EXPECT_EQ(table->slot(keyA).key, keyB);
    const PawnHashEntry again = probePawns(keyA, aWhite, aBlack, *table);
    EXPECT_EQ(again.mid, -32);
    EXPECT_EQ(again.end, -50);
    EXPECT_EQ(again.whitePassed, bits({A3}));
    EXPECT_EQ(table->slot(keyB).key, keyA);
}

TEST_F(PawnStructure, PositionsWithoutPawnsNeverTouchTheTable) {
    // A marker in slot 0, where key 0 would land, and one elsewhere.
    table->entries[0] = PawnHashEntry{0, 1, 2, 777, 888};
    table->entries[5] = PawnHashEntry{5, 3, 4, 111, 222};
    const std::unique_ptr<PawnHashTable> before = std::make_unique<PawnHashTable>(*table);

    const Position position = positionWith({}, {});
    ASSERT_EQ(position.pawnKey, 0u);
    const PawnHashEntry result = probePawns(position, *table);
    EXPECT_EQ(result.mid, 0);
    EXPECT_EQ(result.end, 0);
    EXPECT_EQ(result.whitePassed, 0u);
    EXPECT_EQ(result.blackPassed, 0u);
    EXPECT_EQ(std::memcmp(before.get(), table.get(), sizeof(PawnHashTable)), 0);
}

TEST_F(PawnStructure, StaleEntriesAreClearedWhenTheWeightsChange) {
    // A zero-filled table was filled under no generation at all.
    EXPECT_TRUE(table->clearIfStale());
    EXPECT_FALSE(table->clearIfStale());

    const Position position = positionWith({A2, A3}, {});
    EXPECT_EQ(probePawns(position, *table).mid, -32);
    EXPECT_FALSE(table->clearIfStale());
    EXPECT_EQ(table->slot(position.pawnKey).key, position.pawnKey);

    // A personality whose file defaults raise the isolated penalty to 20.
    EvalParams params{};
    const std::string path = testing::TempDir() + "vorlix_pawns_personality.ini";
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs("Randomness=0\n", file);
    fclose(file);
    ASSERT_TRUE(params.loadPersonality(path));
    remove(path.c_str());

    // Without the clear the old score would still be served.
    EXPECT_EQ(probePawns(position, *table).mid, -32);
    EXPECT_TRUE(table->clearIfStale());
    EXPECT_EQ(table->slot(position.pawnKey).key, 0u);
    EXPECT_EQ(probePawns(position, *table).mid, -10 - 20 - 20 - 2);

    // Dropping the personality is a weight change as well.
    EXPECT_FALSE(params.loadPersonality(""));
    EXPECT_TRUE(table->clearIfStale());
    EXPECT_EQ(probePawns(position, *table).mid, -32);
}

TEST_F(PawnStructure, ClearEmptiesEveryEntry) {
    table->entries[0] = PawnHashEntry{1, 1, 1, 1, 1};
    table->entries[PawnHashSize - 1] = PawnHashEntry{2, 2, 2, 2, 2};
    table->clear();
    EXPECT_EQ(table->entries[0].key, 0u);
    EXPECT_EQ(table->entries[PawnHashSize - 1].key, 0u);
    EXPECT_EQ(table->entries[PawnHashSize - 1].mid, 0);
    EXPECT_EQ(table->weightsGeneration, evalWeightsGeneration());
}

}  // namespace
