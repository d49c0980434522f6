// The book in the root search: a book move is played at once (depth 1, no
// nodes), an unusable one is ignored, a book move ends a ponder search as a
// finished one, and loads on another thread never pull the entries from
// under a probe.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "book/opening_book.h"
#include "search/engine.h"

namespace {

struct DoneCall {
    StopState state;
    Move best, ponder;
    int depth;
    uint64_t nodes;
};

class DoneRecorder : public SearchListener {
public:
    std::vector<DoneCall> done;
    int lines = 0;
    void onSearchDone(StopState state, Move best, Move ponder, int depth, int, uint64_t nodes,
                      double) override {
        done.push_back({state, best, ponder, depth, nodes});
    }
    void onPv(int, int, const Move*, int, uint64_t, double, int, Bound) override { lines++; }
};

// Writes a book file of `entries` (sorted as the builder sorts them).
std::string writeBook(const std::string& name, std::vector<BookEntry> entries) {
    std::sort(entries.begin(), entries.end(), [](const BookEntry& a, const BookEntry& b) {
        return compareBookEntries(&a, &b) < 0;
    });
    const std::string path =
        testing::TempDir() + "vorlix_booksearch_" + std::to_string(getpid()) + "_" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    const uint32_t version = bookVersion;
    const int32_t count = int32_t(entries.size());
    std::fwrite("BOOK", 1, 4, file);
    std::fwrite(&version, 4, 1, file);
    std::fwrite(&count, 4, 1, file);
    if (!entries.empty()) std::fwrite(entries.data(), sizeof(BookEntry), entries.size(), file);
    std::fclose(file);
    return path;
}

const Move e2e4 = makeMove(12, 28, Pawn);
const Move d2d4 = makeMove(11, 27, Pawn);
const Move e7e5 = makeMove(52, 36, Pawn);

class BookSearch : public testing::Test {
protected:
    Engine engine;
    DoneRecorder recorder;
    std::vector<std::string> files;

    void SetUp() override {
        engine.init(1);
        engine.newGame();
        engine.setLimits(Depth);
        engine.depthLimit = 3;
        engine.inputThreadInUse = true;
        recorder.engine = &engine;
        engine.listener = &recorder;
    }
    void TearDown() override {
        engine.listener = &engine.nullListener;
        engine.release();
        for (const std::string& path : files) std::remove(path.c_str());
    }
    void load(const std::string& name, const std::vector<BookEntry>& entries) {
        files.push_back(writeBook(name, entries));
        ASSERT_EQ(engine.book.load(engine, files.back()), 1);
    }
    Key keyAfter(const char* moves) {
        Engine scratch;
        scratch.init(1);
        EXPECT_TRUE(scratch.applyMoves(moves));
        const Key key = scratch.position.key;
        scratch.release();
        return key;
    }
};

TEST_F(BookSearch, BookMoveIsPlayedWithDepthOneAndNoNodes) {
    const Key start = engine.position.key;
    load("start.bin", {{start, d2d4, 10, 12}, {start, e2e4, 30, 50}});
    engine.stopState = PonderStopped;  // the end of an earlier ponder search
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].state, Stopped);
    EXPECT_EQ(recorder.done[0].best, e2e4);  // the best-scored entry
    EXPECT_EQ(recorder.done[0].depth, 1);
    EXPECT_EQ(recorder.done[0].nodes, 0u);
    EXPECT_EQ(recorder.lines, 0);
    ASSERT_EQ(engine.gameHistory.size(), 1u);
    EXPECT_EQ(engine.gameHistory[0].move, e2e4);
    EXPECT_EQ(engine.searchCount, 0);  // book moves are not searches
}

TEST_F(BookSearch, UnusableBookMovesAreSearchedInstead) {
    const Key start = engine.position.key;
    // e2e5 is no move of the start position.
    load("illegal.bin", {{start, makeMove(12, 36, Pawn), 5, 10}});
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].depth, 3);
    EXPECT_GT(recorder.done[0].nodes, 0u);
    EXPECT_NE(recorder.done[0].best, makeMove(12, 36, Pawn));

    // Past the book's ply limit the book is not asked.
    load("start.bin", {{start, e2e4, 1, 2}, {keyAfter("e2e4"), e7e5, 1, 2}});
    engine.newGame();
    engine.setLimits(Depth);
    engine.depthLimit = 2;
    engine.bookPlyLimit = 1;
    ASSERT_TRUE(engine.applyMoves("e2e4"));
    engine.think(0);
    EXPECT_EQ(recorder.done.back().depth, 2);

    // A failed load switches the book off.
    EXPECT_EQ(engine.book.load(engine, files.back() + ".missing"), 0);
    engine.newGame();
    engine.setLimits(Depth);
    engine.depthLimit = 2;
    engine.think(0);
    EXPECT_EQ(recorder.done.back().depth, 2);
    EXPECT_FALSE(engine.bookInUse);
}

// A book hit ends a ponder search as a finished one, with the pondered move
// taken back and the book move reported.
TEST_F(BookSearch, BookMoveEndsAPonderSearchAsFinished) {
    load("ponder.bin", {{keyAfter("e2e4"), e7e5, 3, 6}});
    engine.ponderAllowed = true;
    ASSERT_TRUE(engine.applyMoves("e2e4"));
    engine.think(1);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].state, PonderFinished);
    EXPECT_EQ(recorder.done[0].best, e7e5);
    EXPECT_NE(recorder.done[0].ponder, NoMove);
    EXPECT_TRUE(engine.gameHistory.empty());
    EXPECT_FALSE(engine.ponderSearch);
}

// Loads on a second thread (good files, bad files, the book switched off)
// while the searching thread probes: never a read of freed entries.
TEST_F(BookSearch, ConcurrentLoadsWhileTheSearchProbes) {
    const Key start = engine.position.key;
    const std::string good = writeBook("good.bin", {{start, e2e4, 3, 6}});
    const std::string other = writeBook("other.bin", {{start, d2d4, 3, 6}, {start + 1, e2e4, 1, 1}});
    files = {good, other};
    engine.depthLimit = 1;
    std::atomic<bool> done{false};
    std::thread loader([&] {
        for (int k = 0; !done.load(); k++) {
            switch (k % 4) {
                case 0: engine.book.load(engine, good); break;
                case 1: engine.book.load(engine, other); break;
                case 2: engine.book.load(engine, good + ".missing"); break;
                default: engine.book.clear(); break;
            }
        }
    });
    for (int k = 0; k < 300; k++) {
        engine.think(0);
        ASSERT_TRUE(engine.takeBack());
    }
    done = true;
    loader.join();
    ASSERT_EQ(recorder.done.size(), 300u);
    for (const DoneCall& call : recorder.done) EXPECT_NE(call.best, NoMove);
}

}  // namespace
