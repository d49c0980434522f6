#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "eval/weights.h"
#include "search/engine.h"
#include "search/reductions.h"
#include "support/log_capture.h"

namespace {

// Records the messages the engine hands to its listener.
class MessageListener : public SearchListener {
public:
    std::vector<std::string> messages;
    void onMessage(const char* text) override { messages.push_back(text); }
};

// Everything that makes up the game state, for before/after comparisons.
struct GameSnapshot {
    std::string fen;
    Key key, pawnKey;
    size_t historyLength;
    std::vector<Key> repKeys;

    bool operator==(const GameSnapshot& other) const {
        return fen == other.fen && key == other.key && pawnKey == other.pawnKey &&
               historyLength == other.historyLength && repKeys == other.repKeys;
    }
};

class EngineGame : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    MessageListener messages;

    void SetUp() override {
        engine->init(1);
        engine->newGame();
        engine->listener = &messages;
    }
    void TearDown() override {
        engine->listener = &engine->nullListener;
        engine->release();
    }

    std::string fen() const {
        char buffer[FenBufferSize];
        engine->toFen(engine->position, buffer);
        return buffer;
    }
    GameSnapshot snapshot() const {
        return {fen(), engine->position.key, engine->position.pawnKey, engine->gameHistory.size(),
                std::vector<Key>(engine->repKeys, engine->repKeys + engine->repKeyCount)};
    }
    Key keyAfter(const char* fenText, const char* moves) {
        Engine other;
        other.init(1);
        EXPECT_TRUE(other.setFen(fenText));
        EXPECT_TRUE(other.applyMoves(moves));
        Key key = other.position.key;
        other.release();
        return key;
    }
};

constexpr const char* startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TEST_F(EngineGame, EmptyTextPlaysNothing) {
    EXPECT_TRUE(engine->applyMoves(""));
    EXPECT_TRUE(engine->gameHistory.empty());
}

TEST_F(EngineGame, BlanksSeparateMoves) {
    EXPECT_TRUE(engine->applyMoves("e2e4 e7e5  g1f3 "));
    EXPECT_EQ(engine->gameHistory.size(), 3u);
    EXPECT_EQ(fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 3");
}

TEST_F(EngineGame, PromotionNeedsALowerCaseLetter) {
    ASSERT_TRUE(engine->setFen("7k/4P3/8/8/8/8/8/K7 w - - 0 1"));
    EXPECT_FALSE(engine->applyMoves("e7e8Q"));
    EXPECT_TRUE(engine->gameHistory.empty());
    EXPECT_TRUE(engine->applyMoves("e7e8q"));
    EXPECT_EQ(engine->position.board[E8], Queen);
    EXPECT_TRUE(engine->takeBack());
    EXPECT_TRUE(engine->applyMoves("e7e8n"));
    EXPECT_EQ(engine->position.board[E8], Knight);
}

TEST_F(EngineGame, CastlingIsReadInEveryNotation) {
    const char* opening = "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6";
    ASSERT_TRUE(engine->applyMoves(opening));
    const GameSnapshot before = snapshot();
    std::vector<std::string> results;
    for (const char* castle : {"e1g1", "e1h1", "O-O"}) {
        SCOPED_TRACE(castle);
        ASSERT_TRUE(engine->applyMoves(castle));
        EXPECT_TRUE(isCastling(engine->gameHistory.back().move));
        results.push_back(fen());
        ASSERT_TRUE(engine->takeBack());
        EXPECT_TRUE(snapshot() == before);
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
    EXPECT_EQ(engine->position.board[G1], NoPiece);

    ASSERT_TRUE(engine->applyMoves("e1g1 d7d6 b1c3 c8e6 d2d3 d8d7 c1e3 O-O-O"));
    EXPECT_EQ(engine->position.board[C8], King);
    EXPECT_EQ(engine->position.board[D8], Rook);
    EXPECT_EQ(engine->position.board[A8], NoPiece);
}

TEST_F(EngineGame, IllegalMoveIsReportedAndEarlierMovesStay) {
    LogCapture log("illegal");
    EXPECT_FALSE(engine->applyMoves("e2e4 e7e5 e1e3"));
    EXPECT_EQ(engine->gameHistory.size(), 2u);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "Illegal move: e1e3");
    EXPECT_TRUE(log.contains("Illegal move: e1e3"));
}

TEST_F(EngineGame, ReportShowsFiveCharactersUnlessTheFifthIsABlankOrMissing) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"e2e5 g8f6", "Illegal move: e2e5"},
        {"e2e5", "Illegal move: e2e5"},
        {"e7e8q", "Illegal move: e7e8q"},
        {"O-O", "Illegal move: O-O"},
        {"e2", "Illegal move: e2"},
        {"e2e4x", "Illegal move: e2e4x"},
    };
    for (const auto& c : cases) {
        messages.messages.clear();
        EXPECT_FALSE(engine->applyMoves(c.text)) << c.text;
        ASSERT_EQ(messages.messages.size(), 1u) << c.text;
        EXPECT_EQ(messages.messages[0], c.message);
    }
}

// Moves whose word a plausibility test might pass but that are not legal: the
// game must stay exactly as it was, keys included.
TEST_F(EngineGame, OnlyMovesOfTheLegalGeneratorArePlayed) {
    const struct {
        const char* fen;
        const char* setup;
        const char* move;
    } cases[] = {
        {startFen, "", "e1g1"},                                       // pieces in the way
        {startFen, "", "e2e5"},                                       // no such pawn move
        {startFen, "", "e7e5"},                                       // the opponent's pawn
        {startFen, "", "d1d2"},                                       // onto an own piece
        {startFen, "", "a1a1"},
        {startFen, "", "e2e4q"},                                      // promotion letter on a push
        {startFen, "", "g1f3n"},
        {"7k/4P3/8/8/8/8/8/K7 w - - 0 1", "", "e7e8"},                // promotion without a piece
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e6 0 1", "", "d2e3"},  // stale en-passant file
        {startFen, "e2e4 d7d5 e4e5 f7f5", "e5d6"},                    // en passant on the wrong file
        {"7k/8/8/KPp4r/8/8/8/8 w - c6 0 1", "", "b5c6"},              // en passant exposing the king
        {"4k3/8/8/8/8/8/4r3/R3K2R w KQ - 0 1", "", "e1g1"},           // castling out of check
        {"4k3/8/8/8/8/8/5r2/R3K2R w KQ - 0 1", "", "O-O"},            // castling through check
        {"4k3/8/8/8/8/8/6r1/R3K2R w KQ - 0 1", "", "e1h1"},           // castling into check
        {"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", "", "e1c1"},            // no castling right
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "", "e1e2q"},               // promotion of a king
        {"4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1", "", "e2c3"},            // pinned knight
        {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", "", "e1e2"},              // into the queen's reach
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fen) + " | " + c.setup + " | " + c.move);
        ASSERT_TRUE(engine->setFen(c.fen));
        ASSERT_TRUE(engine->applyMoves(c.setup));
        const GameSnapshot before = snapshot();
        messages.messages.clear();
        EXPECT_FALSE(engine->applyMoves(c.move));
        EXPECT_EQ(messages.messages.size(), 1u);
        EXPECT_TRUE(snapshot() == before);
    }
}

TEST_F(EngineGame, LegalSpecialMovesArePlayed) {
    ASSERT_TRUE(engine->applyMoves("e2e4 d7d5 e4e5 f7f5 e5f6"));  // en passant
    EXPECT_TRUE(isEnPassant(engine->gameHistory.back().move));
    EXPECT_EQ(engine->position.board[F5], NoPiece);
    ASSERT_TRUE(engine->setFen("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"));
    EXPECT_TRUE(engine->applyMoves("e1c1"));
    EXPECT_EQ(engine->position.board[D1], Rook);
}

TEST_F(EngineGame, RepetitionKeysFollowTheReversibleMoves) {
    const Key initial = engine->position.key;
    ASSERT_TRUE(engine->applyMoves("g1f3 g8f6 f3g1 f6g8"));
    ASSERT_EQ(engine->repKeyCount, 4);
    EXPECT_EQ(engine->repKeys[0], initial);
    EXPECT_EQ(engine->position.key, initial);

    ASSERT_TRUE(engine->takeBack());
    EXPECT_EQ(engine->repKeyCount, 3);
    EXPECT_EQ(engine->position.key, keyAfter(startFen, "g1f3 g8f6 f3g1"));

    engine->newGame();
    ASSERT_TRUE(engine->applyMoves("e2e4"));
    EXPECT_EQ(engine->repKeyCount, 0);
    const Key afterE4 = engine->position.key;
    ASSERT_TRUE(engine->applyMoves("g8f6"));
    ASSERT_EQ(engine->repKeyCount, 1);
    EXPECT_EQ(engine->repKeys[0], afterE4);
    ASSERT_TRUE(engine->applyMoves("e1e2"));  // king moves are reversible
    EXPECT_EQ(engine->repKeyCount, 2);
    ASSERT_TRUE(engine->applyMoves("f6e4"));  // capture
    EXPECT_EQ(engine->repKeyCount, 0);
}

TEST_F(EngineGame, TakeBackRestoresEveryEarlierState) {
    const char* moves[] = {"e2e4", "d7d5", "e4e5", "f7f5", "e5f6", "g8h6", "f6g7", "b8c6",
                           "g7h8q", "c8e6", "f1e2", "d8d6", "g1f3", "e8c8", "e1g1", "d6b4"};
    std::vector<GameSnapshot> states{snapshot()};
    for (const char* move : moves) {
        ASSERT_TRUE(engine->applyMoves(move)) << move;
        states.push_back(snapshot());
    }
    for (size_t k = states.size() - 1; k > 0; k--) {
        ASSERT_TRUE(engine->takeBack());
        EXPECT_TRUE(snapshot() == states[k - 1]) << k;
    }
    EXPECT_FALSE(engine->takeBack());
    EXPECT_TRUE(snapshot() == states[0]);
}

TEST_F(EngineGame, RepetitionKeysStayBoundedOverALongGame) {
    const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::vector<Key> keysBefore;
    for (int ply = 0; ply < 1000; ply++) {
        keysBefore.push_back(engine->position.key);
        ASSERT_TRUE(engine->applyMoves(cycle[ply % 4])) << ply;
        ASSERT_LE(engine->repKeyCount, MaxRepetitionKeys);
    }
    EXPECT_EQ(engine->gameHistory.size(), 1000u);
    ASSERT_EQ(engine->repKeyCount, MaxRepetitionKeys);
    // The newest keys, in game order.
    for (int k = 0; k < MaxRepetitionKeys; k++)
        EXPECT_EQ(engine->repKeys[k], keysBefore[1000 - MaxRepetitionKeys + k]) << k;

    ASSERT_TRUE(engine->takeBack());
    ASSERT_EQ(engine->repKeyCount, MaxRepetitionKeys);
    for (int k = 0; k < MaxRepetitionKeys; k++)
        EXPECT_EQ(engine->repKeys[k], keysBefore[999 - MaxRepetitionKeys + k]) << k;
}

TEST_F(EngineGame, RejectedFenLeavesTheGameUnchanged) {
    ASSERT_TRUE(engine->applyMoves("g1f3 g8f6"));
    const GameSnapshot before = snapshot();
    const char* texts[] = {
        "",
        "8/8/8/8/8/8/8/8w",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
        "4k3/8/8/8/8/8/8/8 w - - 0 1",            // no white king
        "4k3/8/8/8/8/8/8/3KK3 w - - 0 1",         // two white kings
        "4k3/8/8/8/8/8/4Q3/4K3 w - - 0 1",        // the side not to move is in check
        "4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1",  // nine black pawns
    };
    for (const char* text : texts) {
        LogCapture log("fen");
        EXPECT_FALSE(engine->setFen(text)) << text;
        EXPECT_TRUE(log.contains(std::string("Invalid FEN string : '") + text + "'")) << text;
        EXPECT_TRUE(snapshot() == before) << text;
    }
    EXPECT_TRUE(engine->setFen("4k3/8/8/8/8/8/8/4K3 b - - 7 30"));
    EXPECT_TRUE(engine->gameHistory.empty());
    EXPECT_EQ(engine->repKeyCount, 0);
    EXPECT_EQ(fen(), "4k3/8/8/8/8/8/8/4K3 b - - 7 0");
}

TEST_F(EngineGame, NewGameResetsTheGameButNotTheSettings) {
    ASSERT_TRUE(engine->applyMoves("e2e4 g8f6 g1f3"));
    engine->stopState = Aborted;
    engine->npsLimit = 777;
    engine->multiPv = 3;
    engine->setLimits(Infinite);
    engine->searchCount = 9;
    engine->transpositionTable.store(1234567, 1, 2, 3, 0, Exact);
    engine->transpositionTable.age = 5;
    engine->newGame();
    EXPECT_EQ(engine->stopState, Aborted);
    EXPECT_EQ(engine->npsLimit, 777u);
    EXPECT_EQ(engine->multiPv, 3);
    EXPECT_EQ(engine->limits(), LimitSet(MoveTime));
    EXPECT_EQ(engine->depthLimit, 8);
    EXPECT_EQ(engine->searchCount, 0);
    EXPECT_EQ(engine->clock[0], 300000.0f);
    EXPECT_EQ(engine->clock[1], 300000.0f);
    EXPECT_TRUE(engine->gameHistory.empty());
    EXPECT_EQ(engine->repKeyCount, 0);
    EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");
    EXPECT_EQ(engine->transpositionTable.age, 0u);
    Move move = 0;
    int score = 0;
    EXPECT_EQ(engine->transpositionTable.probe(1234567, 0, 0, -32001, 32001, move, score),
              ProbeMiss);
}

TEST(EngineConstruction, DefaultsBeforeInit) {
    Engine engine;
    EXPECT_EQ(engine.listener, &engine.nullListener);
    EXPECT_EQ(engine.nullListener.engine, nullptr);
    EXPECT_EQ(engine.evalParams.elo, 2700);
    EXPECT_FALSE(engine.evalParams.reducedStrength);
    EXPECT_EQ(engine.npsLimit, 0u);
    EXPECT_EQ(engine.limits(), LimitSet(MoveTime));
    EXPECT_EQ(engine.stopState, Running);
    EXPECT_EQ(engine.transpositionTable.memory, nullptr);
    EXPECT_EQ(engine.threadPool.threadCount, 1);
    EXPECT_GE(engine.gameHistory.capacity(), 512u);
    EXPECT_EQ(engine.settings.hashMb, 32);
    EXPECT_EQ(engine.settings.bookFile, "vorlixbook-20.bin");
    EXPECT_TRUE(engine.mutex.initialised);
    EXPECT_TRUE(engine.condition.initialised);
    EXPECT_TRUE(engine.bookInUse);
    EXPECT_TRUE(engine.useNullMove);
    EXPECT_TRUE(engine.useLmr);
}

TEST(EngineInit, RepeatedInitGivesTheSameTablesAndAFreshGame) {
    Engine engine;
    LogCapture log("init");
    engine.init(3);
    EXPECT_EQ(engine.transpositionTable.entryCount, 262144u);
    EXPECT_TRUE(log.contains("Init main hash table : 3 Mb"));
    EXPECT_TRUE(log.contains("Pawns hash table size : 2048 Kb by thread"));
    std::vector<Bitboard> rooks(AttackTables::rookAttackTable, AttackTables::rookAttackTable + 102400);
    std::vector<int32_t> reductions(&lmrTable[0][0], &lmrTable[0][0] + 64 * 64);
    ASSERT_TRUE(engine.applyMoves("e2e4"));
    engine.init(0);
    EXPECT_EQ(engine.transpositionTable.entryCount, 65536u);
    EXPECT_TRUE(log.contains("Init main hash table : 0 Mb"));
    EXPECT_TRUE(std::equal(rooks.begin(), rooks.end(), AttackTables::rookAttackTable));
    EXPECT_TRUE(std::equal(reductions.begin(), reductions.end(), &lmrTable[0][0]));
    EXPECT_TRUE(engine.gameHistory.empty());
    EXPECT_EQ(engine.repKeyCount, 0);
    char buffer[FenBufferSize];
    engine.toFen(engine.position, buffer);
    EXPECT_STREQ(buffer, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");
    EXPECT_EQ(engine.position.owner, engine.threadPool.mainThread);
    EXPECT_EQ(engine.perftRunner.engine, &engine);
    EXPECT_EQ(engine.perftRunner.position, &engine.position);
    engine.release();
}

TEST(EngineInit, ThreadsFollowTheCountAndReleaseGivesEverythingBack) {
    Engine engine;
    engine.threadPool.threadCount = 3;
    engine.init(1);
    ASSERT_EQ(engine.threadPool.threads.size(), 3u);
    EXPECT_EQ(engine.threadPool.threads[0], engine.threadPool.mainThread);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(engine.threadPool.threads[i]->index, i);
        EXPECT_EQ(engine.threadPool.threads[i]->bit, uint64_t(1) << i);
    }
    EXPECT_EQ(engine.position.owner, engine.threadPool.mainThread);

    engine.threadPool.setThreadCount(0);
    EXPECT_EQ(engine.threadPool.threads.size(), 1u);
    engine.threadPool.setThreadCount(100);
    EXPECT_EQ(engine.threadPool.threadCount, 64);
    EXPECT_EQ(engine.threadPool.threads.size(), 64u);

    engine.release();
    EXPECT_TRUE(engine.threadPool.threads.empty());
    EXPECT_EQ(engine.transpositionTable.memory, nullptr);
    EXPECT_EQ(engine.perftRunner.engine, nullptr);
    EXPECT_EQ(engine.position.owner, nullptr);

    engine.init(1);  // usable again
    EXPECT_NE(engine.transpositionTable.memory, nullptr);
    EXPECT_EQ(engine.threadPool.threads.size(), 64u);
    EXPECT_TRUE(engine.applyMoves("e2e4 e7e5"));
    engine.release();
}

TEST(EngineInit, BuiltInWeightsReplaceAnyEarlierOnes) {
    Engine engine;
    engine.init(1);
    pieceValue[Knight] = 999;
    engine.init(1);
    EXPECT_EQ(pieceValue[Knight], 325);
    EXPECT_EQ(startMaterial, 4075);
    engine.release();
}

TEST(EngineInit, ReductionTablesFollowTheirRule) {
    Engine engine;
    engine.init(1);
    // Row i: the column at which each value is first reached.
    const struct {
        int row;
        std::vector<int> firstColumns;
    } rows[] = {
        {1, {}}, {2, {32}}, {3, {9}}, {4, {6, 32}}, {8, {4, 11, 32}}, {16, {3, 6, 14, 32}},
        {63, {2, 4, 6, 11, 19, 33, 58}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        for (size_t v = 0; v < r.firstColumns.size(); v++) {
            EXPECT_LT(lmrTable[r.row][r.firstColumns[v] - 1], int(v + 1));
            EXPECT_GE(lmrTable[r.row][r.firstColumns[v]], int(v + 1));
        }
        EXPECT_EQ(lmrTable[r.row][63], int(r.firstColumns.size()));
    }
    for (int i = 0; i < 64; i++) EXPECT_EQ(lmrTable[i][0] + lmrTable[0][i], 0);
    EXPECT_EQ(lmrTable[3][9], 1);
    EXPECT_EQ(lmrTable[3][3], 0);
    const int32_t counts[16] = {3, 5, 8, 14, 21, 30, 41, 53, 68, 84, 102, 122, 143, 167, 192, 219};
    EXPECT_EQ(std::memcmp(lateMoveCount, counts, sizeof(counts)), 0);
    engine.release();
}

}  // namespace
